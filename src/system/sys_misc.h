// Privileges and administrator rights, the browser's URL history and the online
// process-information page.
#pragma once

#include <cstdint>
#include <string>

namespace tidemark {

// Enables (or disables) SeDebugPrivilege and then SeSecurityPrivilege on the process token;
// true when both adjustments report no error.
bool SetDebugPrivileges(bool enable);

// Whether the process has administrator rights. On Vista and later the token's elevation tells
// (an administrator's program started without the elevation prompt has none); on NT before
// Vista, membership of the Administrators group; the 9x family knows no rights (true). The
// system is asked once.
bool HasAdminRights();
// Puts query in the system's place (under Wine every process is an administrator, so tests
// need another answer); null puts the system's answer back. Answers the query it replaces.
using AdminRightsQuery = bool (*)();
AdminRightsQuery SetAdminRightsQuery(AdminRightsQuery query);
// A refusal that administrator rights would lift: access denied or a privilege not held, while
// the process has none. Any other error, or any refusal while it has them, is a plain failure.
bool NeedsAdminRights(unsigned long error);

// Counts, while it lives, the removals and configuration changes the system refused for want of
// administrator rights (NeedsAdminRights): the removal service and the configuration writers
// report each refusal with NoteRefusal. Every live tally counts (they nest). A walk reports each
// record right after handling it, so a sink that calls TakeNew as each record is reported learns
// whether that record was refused for want of rights.
class AdminRefusalTally {
public:
    AdminRefusalTally();
    ~AdminRefusalTally();
    AdminRefusalTally(const AdminRefusalTally&) = delete;
    AdminRefusalTally& operator=(const AdminRefusalTally&) = delete;

    std::uint64_t Total() const { return total_; }
    // The refusals counted since the last call (or since the tally began).
    std::uint64_t TakeNew();

private:
    friend void NoteRefusal(unsigned long error);
    std::uint64_t total_ = 0;
    std::uint64_t taken_ = 0;
    AdminRefusalTally* outer_;
};
// Reports a removal or change the system refused with error: counted by every live tally when
// the refusal needs administrator rights.
void NoteRefusal(unsigned long error);

// Clears the browser's URL history through the system's history store. False when the store
// cannot be created (the caller decides what to tell); the clear itself is not checked.
[[nodiscard]] bool ClearUrlHistory();

// The address of the maker's process-information page for the file-name part of path
// (appended as it is, not escaped); empty for an empty path.
std::wstring ProcessInfoPageUrl(const std::wstring& path);
// Opens that address with the shell's default action.
void OpenProcessInfoPage(const std::wstring& path);

}  // namespace tidemark
