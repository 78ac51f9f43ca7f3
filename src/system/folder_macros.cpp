#include "system/folder_macros.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "system/text_case.h"
#include "system/text_util.h"
#include "system/win_info.h"

namespace tidemark {

const std::array<const wchar_t*, kFolderMacroCount> FolderMacroNames = {
    L"%windir%", L"%winsystem%", L"%winsystem32%", L"%windriver%", L"%programfiles%",
    L"%programfilescommon%", L"%windownload%", L"%wintemp%", L"%userdir%", L"%userprogram%",
    L"%userdesktop%", L"%userstartup%", L"%userstartmenu%", L"%userapp%", L"%userfav%",
    L"%usertemp%", L"%userlocalapp%", L"%usermydoc%", L"%alluserdir%", L"%alluserprogram%",
    L"%alluserdesktop%", L"%alluserstartup%", L"%alluserstartmenu%", L"%alluserapp%",
    L"%alluserfav%", L"%allusertemp%", L"%usercookies%", L"%useriehistory%", L"%userietemp%",
    L"%userprofile%",
};

namespace {

// The desktop's "My Documents" item; where the shell gives no path for it, the 9x table falls
// back to the drive's "My Documents". MinGW's CSIDL_MYDOCUMENTS is the newer SDKs' alias of
// CSIDL_PERSONAL (0x05), a different folder.
constexpr int kMyDocumentsIcon = 0x0C;

// The folder one level up ("C:\Users\me\Desktop" gives "C:\Users\me").
std::wstring ParentOf(const std::wstring& folder) {
    const auto slash = folder.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

std::wstring TempPathWithBackslash() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    return n > 0 && n <= MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

// #0 to #3, alike on both families.
void FillWindowsFolders(TSysDir& dir) {
    const std::wstring windows = GetWinInfo().WindowsDir;
    dir.SetValue(MacroWindir, windows);
    dir.SetValue(MacroWinSystem, windows + L"\\System");
    dir.SetValue(MacroWinSystem32, windows + L"\\System32");
    dir.SetValue(MacroWinDriver, windows.empty() ? std::wstring() : windows.substr(0, 1) + L":");
}

}  // namespace

const std::wstring& TSysDir::Value(int index) const {
    static const std::wstring empty;
    return index >= 0 && index < kFolderMacroCount ? values_[index] : empty;
}

void TSysDir::SetValue(int index, const std::wstring& text) {
    if (index >= 0 && index < kFolderMacroCount) values_[index] = text;
}

std::wstring TSysDir::Expand(const std::wstring& path) const {
    // The closing "%" is looked for from the third character on, so "%%x%" names "%%x%".
    const auto close = path.size() > 2 ? path.find(L'%', 2) : std::wstring::npos;
    if (close == std::wstring::npos) return path;
    const std::wstring head = LowerCased(path.substr(0, close + 1));
    for (int i = 0; i < kFolderMacroCount; ++i)
        if (head == FolderMacroNames[i]) return values_[i] + path.substr(close + 1);
    return path;
}

TSysDir9x::TSysDir9x() {
    FillWindowsFolders(*this);
    const std::wstring windows = Value(MacroWindir);
    SetValue(MacroProgramFiles, Value(MacroWinDriver) + L"\\Program Files");
    SetValue(MacroProgramFilesCommon, Value(MacroProgramFiles) + L"\\Common Files");
    SetValue(MacroWinDownload, windows + L"\\Downloaded Program Files");
    SetValue(MacroWinTemp, windows + L"\\temp");
    SetValue(MacroUserDir, windows);
    SetValue(MacroUserDesktop, GetSpecialFolder(CSIDL_DESKTOPDIRECTORY));
    SetValue(MacroUserStartMenu, GetSpecialFolder(CSIDL_STARTMENU));
    SetValue(MacroUserProgram, GetSpecialFolder(CSIDL_PROGRAMS));
    SetValue(MacroUserStartup, GetSpecialFolder(CSIDL_STARTUP));
    SetValue(MacroUserApp, GetSpecialFolder(CSIDL_APPDATA));
    SetValue(MacroUserFav, GetSpecialFolder(CSIDL_FAVORITES));
    SetValue(MacroUserTemp, TempPathWithBackslash());
    SetValue(MacroUserLocalApp, windows + L"\\Local Settings\\Application Data");
    std::wstring myDocuments = GetSpecialFolder(kMyDocumentsIcon);
    if (myDocuments.empty()) myDocuments = Value(MacroWinDriver) + L"\\My Documents";
    SetValue(MacroUserMyDoc, myDocuments);
    // One user on 9x: the all-users folders are the user's own.
    SetValue(MacroAllUserDesktop, Value(MacroUserDesktop));
    SetValue(MacroAllUserDir, Value(MacroUserDir));
    SetValue(MacroAllUserStartMenu, Value(MacroUserStartMenu));
    SetValue(MacroAllUserProgram, Value(MacroUserProgram));
    SetValue(MacroAllUserStartup, Value(MacroUserStartup));
    SetValue(MacroAllUserApp, Value(MacroUserApp));
    SetValue(MacroAllUserFav, Value(MacroUserFav));
    SetValue(MacroAllUserTemp, Value(MacroUserTemp));
    SetValue(MacroUserCookies, GetSpecialFolder(CSIDL_COOKIES));
    SetValue(MacroUserIeHistory, GetSpecialFolder(CSIDL_HISTORY));
    SetValue(MacroUserIeTemp, GetSpecialFolder(CSIDL_INTERNET_CACHE));
    SetValue(MacroUserProfile, GetSpecialFolder(CSIDL_PROFILE));
}

TSysDir2k::TSysDir2k() {
    FillWindowsFolders(*this);
    const std::wstring windows = Value(MacroWindir);
    SetValue(MacroProgramFiles, GetFolderPath(CSIDL_PROGRAM_FILES));
    SetValue(MacroProgramFilesCommon, GetFolderPath(CSIDL_PROGRAM_FILES_COMMON));
    SetValue(MacroWinDownload, windows + L"\\Downloaded Program Files");
    SetValue(MacroWinTemp, windows + L"\\temp");
    SetValue(MacroUserDesktop, GetFolderPath(CSIDL_DESKTOPDIRECTORY));
    SetValue(MacroUserDir, ParentOf(Value(MacroUserDesktop)));
    SetValue(MacroUserStartMenu, GetFolderPath(CSIDL_STARTMENU));
    SetValue(MacroUserProgram, GetFolderPath(CSIDL_PROGRAMS));
    SetValue(MacroUserStartup, GetFolderPath(CSIDL_STARTUP));
    SetValue(MacroUserApp, GetFolderPath(CSIDL_APPDATA));
    SetValue(MacroUserFav, GetFolderPath(CSIDL_FAVORITES));
    SetValue(MacroUserTemp, TempPathWithBackslash());
    SetValue(MacroUserLocalApp, GetFolderPath(CSIDL_LOCAL_APPDATA));
    SetValue(MacroUserMyDoc, GetFolderPath(CSIDL_PERSONAL));
    SetValue(MacroAllUserDesktop, GetFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY));
    SetValue(MacroAllUserDir, ParentOf(Value(MacroAllUserDesktop)));
    SetValue(MacroAllUserStartMenu, GetFolderPath(CSIDL_COMMON_STARTMENU));
    SetValue(MacroAllUserProgram, GetFolderPath(CSIDL_COMMON_PROGRAMS));
    SetValue(MacroAllUserStartup, GetFolderPath(CSIDL_COMMON_STARTUP));
    SetValue(MacroAllUserApp, GetFolderPath(CSIDL_COMMON_APPDATA));
    SetValue(MacroAllUserFav, GetFolderPath(CSIDL_COMMON_FAVORITES));
    SetValue(MacroAllUserTemp, Value(MacroAllUserDir) + L"\\temp");
    SetValue(MacroUserCookies, GetFolderPath(CSIDL_COOKIES));
    SetValue(MacroUserIeHistory, GetFolderPath(CSIDL_HISTORY));
    SetValue(MacroUserIeTemp, GetFolderPath(CSIDL_INTERNET_CACHE));
    SetValue(MacroUserProfile, GetFolderPath(CSIDL_PROFILE));
}

const TSysDir& GetFolderMacros() {
    static const std::unique_ptr<TSysDir> macros =
        GetWindowsFamily() == 2 ? std::unique_ptr<TSysDir>(new TSysDir2k)
                                : std::unique_ptr<TSysDir>(new TSysDir9x);
    return *macros;
}

std::wstring ReplaceDirTokens(const std::wstring& text, bool includeProgDir) {
    const TWinInfo& info = GetWinInfo();
    struct Token { const wchar_t* name; std::wstring value; };
    const Token tokens[] = {
        {L"$WINDIR", UpperCased(info.WindowsDir)},
        {L"$SYSDIR", UpperCased(info.SystemDir)},
        {L"$PROGDIR", UpperCased(info.Drive) + L":\\PROGRAM FILES"},
    };
    std::wstring result = text;
    for (int i = 0; i < (includeProgDir ? 3 : 2); ++i) {
        const std::wstring name = tokens[i].name;
        const auto pos = result.find(name);
        if (pos != std::wstring::npos) result.replace(pos, name.size(), tokens[i].value);
    }
    return result;
}

}  // namespace tidemark
