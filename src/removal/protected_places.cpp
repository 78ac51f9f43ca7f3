#include "removal/protected_places.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "system/file_ops.h"
#include "system/folder_macros.h"
#include "system/reg_paths.h"
#include "system/win_info.h"

namespace tidemark {

namespace {

void AddIfKnown(ProtectedPlaces& places, const std::wstring& folder) {
    if (!folder.empty()) places.AddFolder(folder);
}

std::wstring ParentFolder(const std::wstring& folder) {
    std::wstring text = folder;
    while (!text.empty() && text.back() == L'\\') text.pop_back();
    const auto slash = text.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : text.substr(0, slash);
}

std::wstring EnvironmentFolder(const wchar_t* name) {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH + 1);
    return n > 0 && n <= MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

// A profile's documents and application-data roots, as Windows 9x–XP and Vista and later name them.
void AddProfileFolders(ProtectedPlaces& places, const std::wstring& profile) {
    if (profile.empty()) return;
    for (const wchar_t* below : {L"My Documents", L"Documents", L"Application Data", L"Local Settings",
                                 L"Local Settings\\Application Data", L"AppData", L"AppData\\Roaming",
                                 L"AppData\\Local", L"AppData\\LocalLow"}) {
        places.AddFolder(profile + L"\\" + below);
    }
}

void AddProfiles(ProtectedPlaces& places) {
    const std::wstring listKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    std::wstring text;
    for (const wchar_t* name : {L"ProfilesDirectory", L"AllUsersProfile", L"DefaultUserProfile", L"Default", L"Public"}) {
        RegReadText(HKEY_LOCAL_MACHINE, listKey, name, text);
        if (!text.empty()) {
            const std::wstring folder = ExpandEnvPath(text);
            // "AllUsersProfile" and "DefaultUserProfile" are names inside the profiles folder.
            if (folder.find(L'\\') == std::wstring::npos) {
                std::wstring profiles;
                RegReadText(HKEY_LOCAL_MACHINE, listKey, L"ProfilesDirectory", profiles);
                if (!profiles.empty()) AddIfKnown(places, ExpandEnvPath(profiles) + L"\\" + folder);
            } else {
                AddIfKnown(places, folder);
            }
        }
    }
    std::vector<std::wstring> roots;
    std::vector<std::wstring> users;
    if (RegListSubKeys(HKEY_LOCAL_MACHINE, listKey, users)) {
        for (const std::wstring& user : users) {
            RegReadText(HKEY_LOCAL_MACHINE, listKey + L"\\" + user, L"ProfileImagePath", text);
            if (!text.empty()) {
                AddIfKnown(places, ExpandEnvPath(text));
                roots.push_back(ExpandEnvPath(text));
            }
        }
    }
    for (const std::wstring& root : roots) AddProfileFolders(places, root);
    const std::wstring profile = GetFolderPath(CSIDL_PROFILE);
    AddIfKnown(places, profile);
    AddIfKnown(places, ParentFolder(profile));
    for (const wchar_t* name : {L"USERPROFILE", L"ALLUSERSPROFILE", L"PUBLIC"}) AddIfKnown(places, EnvironmentFolder(name));
}

}  // namespace

ProtectedPlaces ProtectedFoldersOfSystem() {
    ProtectedPlaces places;
    const TWinInfo& info = GetWinInfo();
    AddIfKnown(places, info.WindowsDir);
    if (!info.SystemDir.empty()) places.AddTree(info.SystemDir);
    if (!info.WindowsDir.empty()) {
        // Sysnative: the name a 32-bit program on 64-bit Windows reaches the 64-bit System32 by.
        for (const wchar_t* tree : {L"\\system32", L"\\SysWOW64", L"\\Sysnative", L"\\WinSxS"})
            places.AddTree(info.WindowsDir + tree);
        for (const wchar_t* folder : {L"\\system", L"\\Fonts", L"\\inf"}) places.AddFolder(info.WindowsDir + folder);
    }
    const TSysDir& macros = GetFolderMacros();
    for (int macro : {MacroWindir, MacroWinSystem, MacroWinSystem32, MacroProgramFiles,
                      MacroProgramFilesCommon, MacroUserProfile}) {
        AddIfKnown(places, macros.Value(macro));
    }
    for (int csidl : {CSIDL_PERSONAL, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA,
                      CSIDL_COMMON_DOCUMENTS, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILES_COMMON, CSIDL_FONTS}) {
        AddIfKnown(places, GetFolderPath(csidl));
    }
    for (const wchar_t* name : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432", L"CommonProgramFiles",
                                L"CommonProgramFiles(x86)", L"CommonProgramW6432", L"SystemRoot", L"APPDATA",
                                L"LOCALAPPDATA", L"ProgramData"}) {
        AddIfKnown(places, EnvironmentFolder(name));
    }
    if (info.Kind >= 2) {
        AddProfiles(places);
    } else {
        AddIfKnown(places, info.WindowsDir + L"\\Profiles");
    }
    return places;
}

bool ReachedThroughReparsePoint(const std::wstring& path) {
    std::wstring text = path;
    for (wchar_t& c : text) {
        if (c == L'/') c = L'\\';
    }
    while (text.size() > 3 && text.back() == L'\\') text.pop_back();
    // Each folder on the way, from the first below the root to the last one's parent.
    std::size_t start = 0;
    if (text.rfind(L"\\\\", 0) == 0) {
        const std::size_t server = text.find(L'\\', 2);
        start = server == std::wstring::npos ? text.size() : text.find(L'\\', server + 1);
        if (start == std::wstring::npos) return false;
    } else {
        start = text.find(L'\\');
        if (start == std::wstring::npos) return false;
    }
    const std::size_t last = text.find_last_of(L'\\');
    for (std::size_t slash = text.find(L'\\', start + 1); slash != std::wstring::npos && slash <= last;
         slash = text.find(L'\\', slash + 1)) {
        const std::wstring folder = text.substr(0, slash);
        const DWORD attributes = GetFileAttributesW(ExtendedPath(folder).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return false;  // nothing further exists
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    }
    return false;
}

}  // namespace tidemark
