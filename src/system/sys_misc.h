// Privileges, the browser's URL history and the online process-information page.
#pragma once

#include <string>

namespace tidemark {

// Enables (or disables) SeDebugPrivilege and then SeSecurityPrivilege on the process token;
// true when both adjustments report no error.
bool SetDebugPrivileges(bool enable);

// Clears the browser's URL history through the system's history store. False when the store
// cannot be created (the caller decides what to tell); the clear itself is not checked.
[[nodiscard]] bool ClearUrlHistory();

// The address of the maker's process-information page for the file-name part of path
// (appended as it is, not escaped); empty for an empty path.
std::wstring ProcessInfoPageUrl(const std::wstring& path);
// Opens that address with the shell's default action.
void OpenProcessInfoPage(const std::wstring& path);

}  // namespace tidemark
