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

#include "system/reg_ops.h"

namespace tidemark {

// The five full root names, any letter case; no short forms. An unknown root leaves root as it was.
void SplitRootPath(const std::wstring& text, HKEY& root, std::wstring& path);
// SplitRootPath, then the value name is what follows the key path's last backslash.
void SplitValuePath(const std::wstring& text, HKEY& root, std::wstring& path, std::wstring& name);
// The full name of a predefined root ("HKEY_LOCAL_MACHINE"); empty for anything else.
std::wstring RootFullName(HKEY root);

// Existence as the system tells it: false only when it says "not found" (or for a null root or
// a path with an empty part, which names no key). A key or value it refuses to open exists;
// whoever deletes it learns of the refusal then.
bool RegKeyExists(HKEY root, const std::wstring& path, KeyOpener open = OpenRegKey);
bool RegValueExists(HKEY root, const std::wstring& path, const std::wstring& name, KeyOpener open = OpenRegKey);
// Strings as stored, expandable strings expanded; text empty for anything else.
void RegReadText(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& text);
// Writes text unless the value holds an integer or binary data (then false, nothing written).
// A key the system refuses to open for writing is reported to the refusal tallies (NoteRefusal),
// here and in RegEnsureInt.
bool RegWriteTextIfText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);
bool RegWriteExpandIfText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);
std::int32_t RegReadIntIfInt(HKEY root, const std::wstring& path, const std::wstring& name);
bool RegEnsureInt(HKEY root, const std::wstring& path, const std::wstring& name, std::int32_t number);
// The binary value's bytes followed by one zero byte; nothing when it is not binary.
std::optional<std::vector<unsigned char>> RegReadBinary(HKEY root, const std::wstring& path, const std::wstring& name);
// False when the key cannot be opened or the listing stopped on an error (see EnumSubKeyNames).
bool RegListSubKeys(HKEY root, const std::wstring& path, std::vector<std::wstring>& list);
bool RegListValueNames(HKEY root, const std::wstring& path, std::vector<std::wstring>& list);
// Deletes the key with its whole tree; true when it is gone (or was never there, or the root
// is unknown). A root alone and a path that is not exact (IsExactKeyPath, checked before and
// after the redirection) are refused: false, nothing deleted. A key the system refuses to open, list or
// delete survives: false, and under HKEY_LOCAL_MACHINE the top key goes to the boot-time list.
bool RegDeleteKeyTree(HKEY root, const std::wstring& path);
// The same with the removal of one key (with what is below it) supplied by the caller; the
// system's own is SHDeleteKey. Lets tests stand in for a key the system refuses to delete, and
// (with open) for one it refuses to open.
using KeyRemover = bool (*)(HKEY root, const std::wstring& key);
bool RegDeleteKeyTreeUsing(HKEY root, const std::wstring& path, KeyRemover remove, KeyOpener open = OpenRegKey);
// True when the value is gone afterwards: deleted, or missing with its key. A key the system
// refuses to open for writing, a deletion it refuses, and a key path with an empty part
// (refused) are failures. An empty path is the root's own value.
bool RegDeleteValueChecked(HKEY root, const std::wstring& path, const std::wstring& name,
                           KeyOpener open = OpenRegKey);

// The operations above on a full path (SplitRootPath); DeleteKeyPath refuses "HKEY_CURRENT_USER"
// or "HKEY_CURRENT_USER\" alone as RegDeleteKeyTree does.
bool DeleteKeyPath(const std::wstring& fullKeyPath);
bool DeleteValuePath(const std::wstring& fullValuePath);
bool KeyPathExists(const std::wstring& fullKeyPath);
bool ValuePathExists(const std::wstring& fullValuePath);
void ReadValuePath(const std::wstring& fullValuePath, std::wstring& text);

// Whether a full key or value path may name a different key in each registry view of 64-bit
// Windows: the machine's software branch, and the class registrations the system keeps apart
// per view (CLSID, DirectShow, Interface, Media Type, MediaFoundation below either classes
// root or the current user's classes). Services, the rest of the current user's keys and the
// other class keys are one key in both views. By the text alone.
bool PathMayDifferByView(const std::wstring& fullPath);
// Whether the key of a full key path is there in both views and is the same key (the system
// names it alike, so the views share it). False on 32-bit Windows.
bool KeyPathSharedByViews(const std::wstring& fullKeyPath);

// The full name of root\key as a program that knows no registry views names it (the registry
// editor, a tool run at boot): in the 32-bit view of 64-bit Windows a key that view keeps apart
// is named through Wow6432Node ("HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\X"); anywhere else,
// and when the key cannot be opened, the root's full name and key.
std::wstring KeyNameOutsideViews(HKEY root, const std::wstring& key);

// Redirection of the current user's keys to HKEY_USERS\<userKeyName>, for the two operations
// that apply it (RegKeyExists, RegDeleteKeyTree).
void SetUserHiveRedirect(bool on, const std::wstring& userKeyName);
void ApplyUserHiveRedirect(HKEY& root, std::wstring& path);

}  // namespace tidemark
