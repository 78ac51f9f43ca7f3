// Facts about the running system: Windows kind and version, interface language, folders, user.
#pragma once

#include <cstdint>
#include <string>

namespace tidemark {

enum WinLanguage : std::uint8_t { LangSimplified = 0, LangOther = 1, LangTraditional = 2 };

// Kind 0 = Windows 95/98, 1 = ME, 2 = NT 4/2000 (and 6.0), 3 = XP (and 6.1), 4 = the rest.
// A kind below 2 means the 9x family.
struct TWinInfo {
    std::uint8_t Language = LangOther;
    std::uint8_t Kind = 0;
    std::wstring Drive;       // one upper-case letter, no colon
    std::wstring WindowsDir;  // no trailing backslash
    std::wstring SystemDir;
    std::wstring TempDir;
    std::wstring UserName;    // empty when the system cannot tell
};

// The record of this process, built on the first call and kept until exit.
const TWinInfo& GetWinInfo();
// Builds a fresh record (what GetWinInfo caches).
TWinInfo BuildWinInfo();

std::uint8_t LanguageFromLangId(unsigned langId);
std::uint8_t WindowsKindOf(unsigned platformId, unsigned minorVersion);

// Detailed version codes.
enum WinVersionCode : int {
    VerUnknown = 0, VerWin95 = 1, VerWin95OSR2 = 2, VerWin98 = 3, VerWin98SE = 4, VerNT3 = 5,
    VerNT4 = 6, VerWin2000 = 7, VerWinME = 8, VerWinXP = 9, VerWin2003 = 10, VerVista = 11,
    VerServer6 = 12, VerWin7 = 13
};

struct VersionFacts {
    unsigned PlatformId = 0;
    unsigned Major = 0;
    unsigned Minor = 0;
    std::wstring ServicePackText;
    unsigned ProductType = 0;
};
int VersionCodeOf(const VersionFacts& facts);

int GetWindowsVersionCode(int& servicePackMajor);
int GetWindowsVersionCode();
// -1 unknown, 1 the 9x family, 2 the NT family.
int GetWindowsFamily();
int FamilyOfVersionCode(int code);

bool IsSafeMode();

// True when the program runs on Wine, whose file search reads wildcards in its own way.
bool RunningUnderWine();

// Environment variables expanded. The result is not cut at MAX_PATH.
std::wstring ExpandEnvPath(const std::wstring& text);
// The long form of a path, or the path unchanged when the system cannot convert it.
std::wstring GetLongPath(const std::wstring& path);
// Special folders: the shell's older call (used on 9x; never creates the folder) and the
// folder-path call (used on NT; empty when it fails).
std::wstring GetSpecialFolder(int csidl);
std::wstring GetFolderPath(int csidl);

}  // namespace tidemark
