// The application identity the maker's library "qkWin7.dll" gives the main window on Windows 7
// (taskbar grouping), when the library lies in the program's folder.
#pragma once

#include <windows.h>

#include <string>

namespace tidemark {

// The identity handed to the library.
inline constexpr wchar_t kWin7AppId[] = L"CorvaneAppId";

// Loads folder + "qkWin7.dll", calls Win7_SetAppID(window, kWin7AppId) and unloads it again.
// Loading, the call and unloading are guarded (system/guarded_call.h): a missing or faulting
// library changes nothing else. folder ends with a backslash. True when the call returned.
bool SetWin7AppIdentity(HWND window, const std::wstring& folder);

}  // namespace tidemark
