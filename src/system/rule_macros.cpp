#include "system/rule_macros.h"

#include <windows.h>

#include "system/folder_macros.h"
#include "system/handles.h"

namespace tidemark {

const std::array<const wchar_t*, kRuleMacroCount> RuleMacroNames = {
    L"%windriver%", L"%windir%", L"%userdir%", L"%usermydoc%", L"%userfav%", L"%userdesktop%",
    L"%userprogram%", L"%alluserprogram%", L"%usertemp%", L"%usertempInternetFiles%",
    L"%usertempHistory%", L"%useriecookies%", L"%APPDATA%", L"%CommonProgramFiles%",
    L"%ProgramFiles%", L"%SystemRoot%", L"%USERPROFILE%", L"%UserRecent%",
};

std::array<std::wstring, kRuleMacroCount> SpecialFolders;

namespace {

// The folder macro behind each of the first 17 rule macros.
constexpr int kFolderMacroOf[kRuleMacroCount - 1] = {
    MacroWinDriver, MacroWindir, MacroUserDir, MacroUserMyDoc, MacroUserFav, MacroUserDesktop,
    MacroUserProgram, MacroAllUserProgram, MacroUserTemp, MacroUserIeTemp, MacroUserIeHistory,
    MacroUserCookies, MacroUserApp, MacroProgramFilesCommon, MacroProgramFiles, MacroWindir,
    MacroUserProfile,
};

constexpr wchar_t kShellFoldersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// The "Recent" value as stored (not expanded); empty when it is missing.
std::wstring StoredRecentFolder() {
    UniqueHKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kShellFoldersKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_QUERY_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return {};
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), L"Recent", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.get(), L"Recent", nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &size) != ERROR_SUCCESS)
        return {};
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

}  // namespace

void BuildSpecialFolders() {
    const TSysDir& macros = GetFolderMacros();
    for (int i = 0; i < kRuleMacroCount - 1; ++i)
        SpecialFolders[i] = UpperCased(macros.Expand(FolderMacroNames[kFolderMacroOf[i]]));
    SpecialFolders[kRuleMacroCount - 1].clear();
    SpecialFolders[kRuleMacroCount - 1] = ExpandRuleMacros(StoredRecentFolder());
}

std::wstring ExpandRuleMacros(const std::wstring& text) {
    std::wstring result = text;
    for (int i = 0; i < kRuleMacroCount; ++i) {
        result = UpperCased(std::move(result));
        const std::wstring name = UpperCased(RuleMacroNames[i]);
        const std::wstring& folder = SpecialFolders[i];
        for (auto pos = result.find(name); pos != std::wstring::npos;
             pos = result.find(name, pos + folder.size()))
            result.replace(pos, name.size(), folder);
    }
    return result;
}

}  // namespace tidemark
