// What no clean may delete, whatever a rule, definition, routine or plug-in says: a drive root,
// the Windows, system and program-files folders, the folder of the user profiles and every
// profile root with its documents and application-data folders (nor a folder above one of them,
// whose removal would take them along); the system folders (system32, SysWOW64, WinSxS) and every
// folder below them; and the files of the running system's own file list. Pure text: the
// folders and files are handed in (ProtectedFoldersOfSystem in removal/protected_places.h reads
// them from the running system), so the packer and the tests judge exactly as the program does.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tidemark {

enum class TargetVerdict {
    Allowed,
    NotFullPath,              // relative, a "." or ".." step, a device form, an empty name
    DriveRoot,                // "C:\", "C:", "\\server\share"
    ProtectedFolder,          // one of the protected folders itself
    HoldsProtectedFolder,     // a folder above a protected one
    SystemFile,               // a file of the system's own file list
    BroadWildcard,            // a wildcard naming everything of a protected folder or a root
    ThroughReparsePoint,      // a folder on the way is a junction or symbolic link
};
const char* TargetVerdictName(TargetVerdict verdict);

struct ProtectedPlaces {
    // Full paths; any case, with or without a trailing "\". Kept folded (ComparablePath).
    void AddFolder(std::wstring_view folder);
    // A folder that is protected together with every folder below it (the files in them are not:
    // a rogue library in system32 may go, system32\drivers may not).
    void AddTree(std::wstring_view folder);
    void AddSystemFile(std::wstring_view file);
    const std::vector<std::wstring>& Folders() const { return folders_; }
    const std::vector<std::wstring>& Trees() const { return trees_; }
    bool IsSystemFile(std::wstring_view path) const;

private:
    std::vector<std::wstring> folders_;
    std::vector<std::wstring> trees_;
    std::unordered_set<std::wstring> systemFiles_;
};

// The form paths are compared in: "/" read as "\", repeated "\" collapsed (a leading "\\" of a
// share kept), a leading "\\?\" dropped, no trailing "\", A-Z and the other letters with a
// simple upper case of their own upper-cased.
std::wstring ComparablePath(std::wstring_view path);

// A folder whose tree is to be removed (with or without a trailing "\").
TargetVerdict JudgeFolderTarget(std::wstring_view folder, const ProtectedPlaces& places);
// A file to be deleted.
TargetVerdict JudgeFileTarget(std::wstring_view file, const ProtectedPlaces& places);
// A path with "*" or "?" that is expanded into the files and folders it matches: refused when
// its folder part is itself refused as a folder target, or is a protected folder (a pattern
// such as "%windir%\*.exe" would take every program of Windows with it).
TargetVerdict JudgeWildcardTarget(std::wstring_view pattern, const ProtectedPlaces& places);

}  // namespace tidemark
