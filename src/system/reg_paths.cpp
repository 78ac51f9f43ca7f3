#include "system/reg_paths.h"

#include "system/change_recorder.h"

#include <shlwapi.h>

#include <algorithm>

#include "system/boot_list.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/reg_view.h"
#include "system/sys_misc.h"
#include "system/text_case.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

bool g_redirect = false;
std::wstring g_userKeyName;

// A path with an empty part (or a zero, where the system's reading would end) names no key,
// whatever the system makes of it.
bool NamesNoKey(const std::wstring& path) {
    return !path.empty() && (path.front() == L'\\' || path.back() == L'\\' || path.find(L"\\\\") != std::wstring::npos ||
                             path.find(L'\0') != std::wstring::npos);
}

// A value's type; nothing when the value is missing. A value the system will not read for
// another reason counts as present: only "not found" says it is not there.
std::optional<DWORD> ValueType(HKEY key, const std::wstring& name) {
    DWORD type = 0;
    const LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, nullptr);
    if (IsMissingError(rc)) return std::nullopt;
    return rc == ERROR_SUCCESS ? type : REG_NONE;
}

bool IsIntegerOrBinary(DWORD type) {
    return type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN || type == REG_QWORD || type == REG_BINARY;
}

bool WriteTextIfText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text, DWORD type) {
    LONG error = ERROR_SUCCESS;
    UniqueHKey key = CreateRegKey(root, path, KEY_QUERY_VALUE | KEY_SET_VALUE, &error);
    if (!key) {
        NoteRefusal(static_cast<unsigned long>(error));
        return false;
    }
    const auto existing = ValueType(key.get(), name);
    if (existing && IsIntegerOrBinary(*existing)) return false;
    // The same text of the same type already: nothing to write (or to record).
    if (existing == type) {
        DWORD stored = 0;
        if (auto now = QueryStringValue(key.get(), name, &stored); now && *now == text && stored == type) return true;
    }
    if (!RecordValueWrite(root, path, name)) return false;
    return SetStringValue(key.get(), name, text, type);
}

bool ListNames(HKEY root, const std::wstring& path, std::vector<std::wstring>& list, bool subKeys) {
    UniqueHKey key = OpenRegKey(root, path, KEY_READ);
    if (!key) return false;
    return subKeys ? EnumSubKeyNames(key.get(), list) : EnumValueNames(key.get(), list);
}

// Gone only when the system says so: a key it refuses to open is still there.
bool KeyGone(HKEY root, const std::wstring& path, KeyOpener open) {
    LONG error = ERROR_SUCCESS;
    return !open(root, path, KEY_READ, &error) && IsMissingError(error);
}

struct TreeDeletion {
    HKEY root;
    std::wstring topKey;
    KeyRemover remove;
    KeyOpener open;
};

// Deletes key by the rule: children from the last to the first, stopping at the first that
// survives, then the key itself with whatever is left below it.
bool DeleteKeyStep(const TreeDeletion& d, const std::wstring& key) {
    if (KeyGone(d.root, key, d.open)) return true;
    std::vector<std::wstring> children;
    UniqueHKey handle = d.open(d.root, key, KEY_READ, nullptr);
    // A key whose children cannot be listed is not emptied out of order: it survives.
    bool listed = handle && EnumSubKeyNames(handle.get(), children);
    handle.reset();
    if (listed) {
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if (!DeleteKeyStep(d, key + L"\\" + *it)) return false;
        d.remove(d.root, key);
        if (KeyGone(d.root, key, d.open)) return true;
    } else if (KeyGone(d.root, key, d.open)) {
        return true;  // it went away while we looked
    }
    // The tool at boot knows no views: a key of the 32-bit view goes by its Wow6432Node name.
    if (d.root == HKEY_LOCAL_MACHINE) {
        const std::wstring name = KeyNameOutsideViews(d.root, d.topKey);
        RecordBootDelete(BootRecordKey, L"HKLM" + name.substr(name.find(L'\\')));
    }
    return false;
}

}  // namespace

void SplitRootPath(const std::wstring& text, HKEY& root, std::wstring& path) {
    const auto slash = text.find(L'\\');
    const std::wstring name = UpperCased(slash == std::wstring::npos ? text : text.substr(0, slash));
    path = slash == std::wstring::npos ? std::wstring() : text.substr(slash + 1);
    static const struct { const wchar_t* name; HKEY root; } roots[] = {
        {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKEY_USERS", HKEY_USERS},                 {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    };
    for (const auto& r : roots)
        if (name == r.name) root = r.root;
}

void SplitValuePath(const std::wstring& text, HKEY& root, std::wstring& path, std::wstring& name) {
    SplitRootPath(text, root, path);
    const auto slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) {
        // A value directly below a root: the whole remainder names the value.
        name = path;
        path.clear();
        return;
    }
    name = path.substr(slash + 1);
    path = path.substr(0, slash);
}

std::wstring RootFullName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return L"HKEY_LOCAL_MACHINE";
    if (root == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
    if (root == HKEY_USERS) return L"HKEY_USERS";
    if (root == HKEY_CLASSES_ROOT) return L"HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_CONFIG) return L"HKEY_CURRENT_CONFIG";
    return {};
}

void SetUserHiveRedirect(bool on, const std::wstring& userKeyName) {
    g_redirect = on;
    g_userKeyName = userKeyName;
}

void ApplyUserHiveRedirect(HKEY& root, std::wstring& path) {
    if (!g_redirect || root != HKEY_CURRENT_USER) return;
    root = HKEY_USERS;
    path = g_userKeyName + L"\\" + path;
}

bool RegKeyExists(HKEY root, const std::wstring& path, KeyOpener open) {
    std::wstring key = path;
    ApplyUserHiveRedirect(root, key);
    if (!root || NamesNoKey(key)) return false;
    LONG error = ERROR_SUCCESS;
    return open(root, key, KEY_READ, &error) || !IsMissingError(error);
}

bool RegValueExists(HKEY root, const std::wstring& path, const std::wstring& name, KeyOpener open) {
    if (!root || NamesNoKey(path) || name.find(L'\0') != std::wstring::npos) return false;
    LONG error = ERROR_SUCCESS;
    UniqueHKey key = open(root, path, KEY_QUERY_VALUE, &error);
    if (!key) return !IsMissingError(error);
    return ValueType(key.get(), name).has_value();
}

void RegReadText(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& text) {
    text.clear();
    UniqueHKey key = OpenRegKey(root, path, KEY_QUERY_VALUE);
    if (!key) return;
    DWORD type = 0;
    if (auto stored = QueryStringValue(key.get(), name, &type))
        text = type == REG_EXPAND_SZ ? ExpandInView(*stored, CurrentRegView()) : std::move(*stored);
}

bool RegWriteTextIfText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    return WriteTextIfText(root, path, name, text, REG_SZ);
}

bool RegWriteExpandIfText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    return WriteTextIfText(root, path, name, text, REG_EXPAND_SZ);
}

std::int32_t RegReadIntIfInt(HKEY root, const std::wstring& path, const std::wstring& name) {
    UniqueHKey key = OpenRegKey(root, path, KEY_QUERY_VALUE);
    if (!key) return 0;
    DWORD type = 0, data = 0, size = sizeof data;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof data)
        return 0;
    return static_cast<std::int32_t>(data);
}

bool RegEnsureInt(HKEY root, const std::wstring& path, const std::wstring& name, std::int32_t number) {
    LONG error = ERROR_SUCCESS;
    UniqueHKey key = CreateRegKey(root, path, KEY_QUERY_VALUE | KEY_SET_VALUE, &error);
    if (!key) {
        NoteRefusal(static_cast<unsigned long>(error));
        return false;
    }
    DWORD type = 0, data = 0, size = sizeof data;
    const LONG rc = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (rc == ERROR_SUCCESS && type == REG_DWORD && size == sizeof data && static_cast<std::int32_t>(data) == number)
        return true;
    if (!RecordValueWrite(root, path, name)) return false;
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) RegDeleteValueW(key.get(), name.c_str());
    const DWORD value = static_cast<DWORD>(number);
    return RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
}

std::optional<std::vector<unsigned char>> RegReadBinary(HKEY root, const std::wstring& path, const std::wstring& name) {
    UniqueHKey key = OpenRegKey(root, path, KEY_QUERY_VALUE);
    if (!key) return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_BINARY)
        return std::nullopt;
    std::vector<unsigned char> data(size + 1, 0);
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return std::nullopt;
    data.resize(size + 1);
    data[size] = 0;
    return data;
}

bool RegListSubKeys(HKEY root, const std::wstring& path, std::vector<std::wstring>& list) {
    return ListNames(root, path, list, true);
}

bool RegListValueNames(HKEY root, const std::wstring& path, std::vector<std::wstring>& list) {
    return ListNames(root, path, list, false);
}

bool RegDeleteKeyTreeUsing(HKEY root, const std::wstring& path, KeyRemover remove, KeyOpener open) {
    if (!root) return true;  // an unknown root names nothing
    // Checked before the redirection too: the current user's root alone must not become the
    // redirected user's whole hive.
    if (!IsExactKeyPath(path)) return false;
    std::wstring key = path;
    ApplyUserHiveRedirect(root, key);
    if (!IsExactKeyPath(key)) return false;
    try {
        return DeleteKeyStep(TreeDeletion{root, key, remove, open}, key);
    } catch (...) {
        return false;
    }
}

bool RegDeleteKeyTree(HKEY root, const std::wstring& path) {
    return RegDeleteKeyTreeUsing(root, path, [](HKEY r, const std::wstring& key) {
        // Through its parent, opened in this thread's view: the system's tree deletion from a
        // root would take the program's own view.
        const std::size_t cut = key.rfind(L'\\');
        if (cut == std::wstring::npos) {
            UniqueHKey top = OpenRegKey(r, L"", KEY_ALL_ACCESS);
            return top && SHDeleteKeyW(top.get(), key.c_str()) == ERROR_SUCCESS;
        }
        UniqueHKey parent = OpenRegKey(r, key.substr(0, cut), KEY_ALL_ACCESS);
        return parent && SHDeleteKeyW(parent.get(), key.substr(cut + 1).c_str()) == ERROR_SUCCESS;
    });
}

bool RegDeleteValueChecked(HKEY root, const std::wstring& path, const std::wstring& name, KeyOpener open) {
    if (!root) return true;  // an unknown root names nothing
    // A zero inside the name would make the system delete the value named by what precedes it.
    if (NamesNoKey(path) || name.find(L'\0') != std::wstring::npos) return false;
    LONG error = ERROR_SUCCESS;
    UniqueHKey key = open(root, path, KEY_QUERY_VALUE | KEY_SET_VALUE, &error);
    if (!key) return IsMissingError(error);
    if (!ValueType(key.get(), name)) return true;
    const LONG rc = RegDeleteValueW(key.get(), name.c_str());
    if (rc != ERROR_SUCCESS && !IsMissingError(rc)) return false;
    return !ValueType(key.get(), name).has_value();
}

bool DeleteKeyPath(const std::wstring& fullKeyPath) {
    HKEY root = nullptr;
    std::wstring path;
    SplitRootPath(fullKeyPath, root, path);
    return RegDeleteKeyTree(root, path);
}

bool DeleteValuePath(const std::wstring& fullValuePath) {
    HKEY root = nullptr;
    std::wstring path, name;
    SplitValuePath(fullValuePath, root, path, name);
    return RegDeleteValueChecked(root, path, name);
}

bool KeyPathExists(const std::wstring& fullKeyPath) {
    HKEY root = nullptr;
    std::wstring path;
    SplitRootPath(fullKeyPath, root, path);
    return RegKeyExists(root, path);
}

bool ValuePathExists(const std::wstring& fullValuePath) {
    HKEY root = nullptr;
    std::wstring path, name;
    SplitValuePath(fullValuePath, root, path, name);
    return RegValueExists(root, path, name);
}

std::wstring KeyNameOutsideViews(HKEY root, const std::wstring& key) {
    const std::wstring plain = RootFullName(root) + L"\\" + key;
    if (CurrentRegView() != RegView::Bits32 || !SystemIs64Bit()) return plain;
    UniqueHKey open = OpenRegKey(root, key, KEY_QUERY_VALUE);
    const std::wstring kernel = open ? KernelKeyName(open.get()) : std::wstring();
    HKEY kernelRoot = nullptr;
    std::wstring path;
    if (UpperCased(kernel).find(L"\\WOW6432NODE") == std::wstring::npos || !RootPathOfKernelName(kernel, kernelRoot, path))
        return plain;
    return RootFullName(kernelRoot) + L"\\" + path;
}

bool PathMayDifferByView(const std::wstring& fullPath) {
    HKEY root = nullptr;
    std::wstring path;
    SplitRootPath(fullPath, root, path);
    const std::wstring upper = UpperCased(path) + L"\\";
    const auto step = [&](std::size_t from) {
        const std::size_t end = upper.find(L'\\', from);
        return upper.substr(from, end - from);
    };
    std::size_t classes = std::wstring::npos;
    if (root == HKEY_CLASSES_ROOT) {
        classes = 0;
    } else if (root == HKEY_LOCAL_MACHINE || root == HKEY_CURRENT_USER) {
        if (step(0) != L"SOFTWARE") return false;
        if (step(9) != L"CLASSES") return root == HKEY_LOCAL_MACHINE && upper.size() > 10;
        classes = 17;
    } else {
        return false;
    }
    static const wchar_t* const kApart[] = {L"CLSID", L"DIRECTSHOW", L"INTERFACE", L"MEDIA TYPE", L"MEDIAFOUNDATION"};
    const std::wstring first = step(classes);
    for (const wchar_t* apart : kApart)
        if (first == apart) return true;
    return false;
}

bool KeyPathSharedByViews(const std::wstring& fullKeyPath) {
    if (!SystemIs64Bit()) return false;
    HKEY root = nullptr;
    std::wstring path;
    SplitRootPath(fullKeyPath, root, path);
    if (!root) return false;
    std::wstring names[2];
    const RegView views[2] = {RegView::Bits64, RegView::Bits32};
    for (int i = 0; i < 2; ++i) {
        const ScopedRegView scope(views[i]);
        UniqueHKey key = OpenRegKey(root, path, KEY_QUERY_VALUE);
        if (!key) return false;
        names[i] = UpperCased(KernelKeyName(key.get()));
        if (names[i].empty()) return false;
    }
    return names[0] == names[1];
}

void ReadValuePath(const std::wstring& fullValuePath, std::wstring& text) {
    HKEY root = nullptr;
    std::wstring path, name;
    SplitValuePath(fullValuePath, root, path, name);
    RegReadText(root, path, name, text);
}

}  // namespace tidemark
