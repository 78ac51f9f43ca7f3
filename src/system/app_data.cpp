#include "system/app_data.h"

#include <windows.h>
#include <shlobj.h>

#include "system/win_info.h"

namespace tidemark {

namespace {

bool EnsureFolder(const std::wstring& folder) {
    if (CreateDirectoryW(folder.c_str(), nullptr)) return true;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring Below(const std::wstring& base, const wchar_t* name, bool create) {
    if (base.empty()) return {};
    const std::wstring folder = base + L"\\" + name;
    if (create && !EnsureFolder(folder)) return {};
    return folder;
}

}  // namespace

std::wstring ProgramDataFolder(bool create) {
    std::wstring appData = GetFolderPath(CSIDL_APPDATA);
    while (!appData.empty() && appData.back() == L'\\') appData.pop_back();
    return Below(Below(appData, L"Corvane", create), L"Tidemark", create);
}

std::wstring ProgramBackupFolder(bool create) { return Below(ProgramDataFolder(create), L"Backup", create); }

}  // namespace tidemark
