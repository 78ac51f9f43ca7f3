#include "system/rule_macros.h"

#include <windows.h>

#include "system/folder_macros.h"
#include "system/handles.h"
#include "system/reg_ops.h"

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
    UniqueHKey key = CreateRegKey(HKEY_CURRENT_USER, kShellFoldersKey, KEY_QUERY_VALUE);
    if (!key) return {};
    return QueryStringValue(key.get(), L"Recent").value_or(std::wstring());
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
