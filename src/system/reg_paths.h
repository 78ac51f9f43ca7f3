// Registry keys and values named by one text, root first ("HKEY_LOCAL_MACHINE\SOFTWARE\...\Run\"
// + value name), and the operations on them. Keys of the current user can be redirected to
// another user's hive; a key under HKEY_LOCAL_MACHINE that survives deletion goes to the
// boot-time deletion list.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tidemark {

// The five full root names, any letter case; no short forms. An unknown root leaves root as it was.
void SplitRootPath(const std::wstring& text, HKEY& root, std::wstring& path);
// SplitRootPath, then the value name is what follows the key path's last backslash.
void SplitValuePath(const std::wstring& text, HKEY& root, std::wstring& path, std::wstring& name);
// The full name of a predefined root ("HKEY_LOCAL_MACHINE"); empty for anything else.
std::wstring RootFullName(HKEY root);

bool RegKeyExists(HKEY root, const std::wstring& path);
bool RegValueExists(HKEY root, const std::wstring& path, const std::wstring& name);
// Strings as stored, expandable strings expanded; text empty for anything else.
void RegReadText(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& text);
// Writes text unless the value holds an integer or binary data (then false, nothing written).
bool RegWriteTextIfText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);
bool RegWriteExpandIfText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);
std::int32_t RegReadIntIfInt(HKEY root, const std::wstring& path, const std::wstring& name);
bool RegEnsureInt(HKEY root, const std::wstring& path, const std::wstring& name, std::int32_t number);
// The binary value's bytes followed by one zero byte; nothing when it is not binary.
std::optional<std::vector<unsigned char>> RegReadBinary(HKEY root, const std::wstring& path, const std::wstring& name);
bool RegListSubKeys(HKEY root, const std::wstring& path, std::vector<std::wstring>& list);
bool RegListValueNames(HKEY root, const std::wstring& path, std::vector<std::wstring>& list);
bool RegDeleteKeyTree(HKEY root, const std::wstring& path);
// The same with the removal of one key (with what is below it) supplied by the caller; the
// system's own is SHDeleteKey. Lets tests stand in for a key the system refuses to delete.
using KeyRemover = bool (*)(HKEY root, const std::wstring& key);
bool RegDeleteKeyTreeUsing(HKEY root, const std::wstring& path, KeyRemover remove);
bool RegDeleteValueChecked(HKEY root, const std::wstring& path, const std::wstring& name);

bool DeleteKeyPath(const std::wstring& fullKeyPath);
bool DeleteValuePath(const std::wstring& fullValuePath);
bool KeyPathExists(const std::wstring& fullKeyPath);
bool ValuePathExists(const std::wstring& fullValuePath);
void ReadValuePath(const std::wstring& fullValuePath, std::wstring& text);

// Redirection of the current user's keys to HKEY_USERS\<userKeyName>, for the two operations
// that apply it (RegKeyExists, RegDeleteKeyTree).
void SetUserHiveRedirect(bool on, const std::wstring& userKeyName);
void ApplyUserHiveRedirect(HKEY& root, std::wstring& path);

}  // namespace tidemark
