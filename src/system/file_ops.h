// File and folder operations. Paths longer than MAX_PATH work wherever the system call does
// (they are passed on in the \\?\ form); shell calls are limited to MAX_PATH by the shell.
#pragma once

#include <cstdint>
#include <string>

namespace tidemark {

// The form of path to hand to file-system calls. Absolute paths get the exact \\?\ form
// (\\?\UNC\ for shares) when they are long, or when a name would not survive the plain form:
// one ending in a dot or a blank, or one the system takes for a device ("nul.tmp", "com1.txt").
// A short path with "." / ".." steps, a relative path and one already in a device form
// (\\?\, \\.\, \??\) are returned unchanged.
std::wstring ExtendedPath(const std::wstring& path);

// True when a find-first search for pattern finds anything (wildcards allowed, folders count).
bool FileExistsAny(const std::wstring& pattern);
// Low 32 bits of the size of the first match; 0 when nothing matches.
std::uint32_t FileSizeByFind(const std::wstring& path);
// -1 when nothing matches or the first match is a folder, else the low 32 bits of its size.
std::int32_t FileSizeOrNone(const std::wstring& path);
// Opens the file for reading (others may read); 0 when it cannot be opened.
std::uint32_t FileSizeByOpen(const std::wstring& path);

// The deletion primitives below refuse (false, nothing touched) an empty path, control
// characters, a path ending in a "." or ".." step, a bare drive ("C:"), the root of a drive,
// volume or share however spelt, and a name the plain form would change or take for a device
// where the exact form cannot be used (relative paths, "." / ".." steps).

// Attributes reset to normal, then deleted. False when either step fails. A folder is not
// deleted and keeps its attributes; a link (reparse point) is removed itself.
bool DeleteFileForce(const std::wstring& path);
// Deletes a folder with everything in it; true when there is no folder at path (a file there
// is left alone), false when the system cannot tell. Refuses relative paths as well. Stops
// deleting at the first entry that survives. Never enters a junction or symbolic link: the link
// itself is removed, and where the system cannot remove it without following it, it stays (false).
bool RemoveFolderTree(const std::wstring& path);
// Removes a reparse point (junction, symbolic link) itself, never what it points to. False
// when path is not a reparse point or the system would only reach the target.
bool RemoveReparsePoint(const std::wstring& path);
bool IsReparsePoint(const std::wstring& path);
// True when path names something that is there and is not a folder.
bool IsPlainFile(const std::wstring& path);
// The shell deletes path (file or whole folder) silently, without undo; true when it returns 0.
// Refuses what RemoveFolderTree refuses, wildcards, and names that need the exact form.
bool ShellDeletePath(const std::wstring& path);
// Registers path for deletion at the next restart.
bool DeleteAtReboot(const std::wstring& path);

// The whole content of a file (shared with others who only read it); empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);

// The bytes of resource name of type type in module (null: the program itself).
struct ResourceBytes {
    bool found = false;
    const void* data = nullptr;
    unsigned long size = 0;
};
ResourceBytes FindResourceBytes(void* module, const wchar_t* type, const wchar_t* name);
// Writes bytes to path, creating the file (createNew: only when none exists yet). A write that
// fails leaves no file behind.
bool WriteBytesToFile(const std::wstring& path, const void* data, unsigned long size, bool createNew);

// Writes bytes beside path ("path.new") and then puts that file in path's place in one step: a
// crash leaves the old file or the new one, never a part.
bool WriteFileReplacing(const std::wstring& path, const std::string& bytes);
// Puts the file fresh in place of target (replacing it; across volumes by copy), write-through.
bool ReplaceFileWith(const std::wstring& fresh, const std::wstring& target);
// Copies a file to a new name (never over one) and checks the copy's SHA-256 against digest
// (the source's when digest is empty); a copy that differs is removed. False with the system's
// error set otherwise.
bool CopyFileVerified(const std::wstring& from, const std::wstring& to, const std::string& digest = {});
// Moves a file to a new name: a rename on one volume; across volumes a verified copy, then the
// original goes (when it cannot, the copy goes instead and nothing has moved).
bool MoveFileVerified(const std::wstring& from, const std::wstring& to, const std::string& digest = {});
// Renames a folder with everything in it; one volume only (false, nothing moved, otherwise).
bool MoveFolder(const std::wstring& from, const std::wstring& to);

// Writes the program's own resource name of type type to path. A missing resource gives false
// and leaves an existing file alone; otherwise an existing file is replaced, and a write that
// fails leaves no file behind.
bool ExtractResourceToFile(const wchar_t* type, const wchar_t* name, const std::wstring& path);

// "CompanyName" of the file's version resource, in its first translation. False (company
// untouched) only when the version block cannot be loaded; company is emptied when the
// translation or the entry is missing.
bool GetFileCompanyName(const std::wstring& path, std::wstring& company);

}  // namespace tidemark
