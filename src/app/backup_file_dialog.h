// The save dialog that asks where the WinSock2 repair writes its backup.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "repair/winsock2.h"

namespace tidemark {

// The filter as the dialog wants it: pairs separated by zeros, ended by two ("a|b" -> "a\0b\0\0").
std::wstring DialogFilter(const std::wstring& filter);
// Shows the dialog (owned by owner) with the request's title, filter, extension and proposed
// name; confirms overwriting, hides the read-only box, needs an existing folder, can be resized.
// Nothing when the user cancels.
std::optional<std::wstring> AskBackupFile(HWND owner, const BackupFileRequest& request);

}  // namespace tidemark
