#include "registry/registry_scan.h"

#include "removal/removal_service.h"

#include <cwchar>

#include "lang/text_tables.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/reg_walk.h"
#include "system/rule_macros.h"
#include "system/text_case.h"

namespace tidemark {

namespace {

const wchar_t kRunKey[] = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// Branches the thorough search leaves out: the other categories' keys, and large branches of
// paths that are not ours to judge.
const wchar_t* const kExcludedBranches[] = {
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    L"Software\\Symantec",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer",
    L"Software\\Microsoft\\Office",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Paths",
    L"Software\\Microsoft\\Java VM",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\Components\\90FD7B2728F476E46A8E44A51467E863",
    L"Software\\BEIHANGHAIER\\CAXA",
    L"Software\\Autodesk\\AutoCAD",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
};

const std::vector<std::wstring>& ExcludedUpper() {
    static const std::vector<std::wstring> upper = [] {
        std::vector<std::wstring> list;
        for (const wchar_t* branch : kExcludedBranches) list.push_back(UpperCased(branch));
        return list;
    }();
    return upper;
}

bool IsExcluded(const std::wstring& keyPath) {
    const std::wstring upper = UpperCased(keyPath);
    for (const std::wstring& branch : ExcludedUpper())
        if (upper == branch) return true;
    return false;
}

std::vector<std::wstring> SplitKeyList(const std::wstring& list) {
    std::vector<std::wstring> keys;
    for (std::size_t start = 0;;) {
        const std::size_t at = list.find(L"###", start);
        const std::wstring key = list.substr(start, at == std::wstring::npos ? std::wstring::npos : at - start);
        if (!key.empty()) keys.push_back(key);
        if (at == std::wstring::npos) break;
        start = at + 3;
    }
    return keys;
}

void AddRow(RegScanRun& run, int category, HKEY root, const std::wstring& key, const std::wstring& name) {
    TDataRegItems row;
    row.Name = name;
    row.Root = root;
    row.KeyPath = key;
    row.Category = category;
    row.View = CurrentRegView();
    if (category < static_cast<int>(run.categories.size())) row.CategoryName = run.categories[category].Name;
    run.sink.Found(row);
}

// The text of a start-up or uninstall entry as it is judged: expandable strings expanded, the
// rule macros replaced.
int JudgeCommand(HKEY root, const std::wstring& key, const std::wstring& name, PathProbe& probe) {
    std::wstring text;
    RegReadText(root, SystemKeyPath(key), name, text);
    // The program folders of the entry's own registry view first; then the rule macros.
    text = ExpandRuleMacros(ProgramFoldersInView(text, CurrentRegView()));
    if (text.find(L":\\") == std::wstring::npos) return PathUndecided;
    return JudgePath(text, probe);
}

int JudgeUninstallString(HKEY root, const std::wstring& key, PathProbe& probe) {
    std::wstring text;
    RegReadText(root, SystemKeyPath(key), L"UninstallString", text);
    const wchar_t* name = text.empty() ? L"installString" : L"UninstallString";
    return JudgeCommand(root, key, name, probe);
}

// A key that is there but cannot be read is told to the sink, so a scan never passes over it in
// silence (a key that is gone is nothing to tell).
void Unreadable(RegScanRun& run, HKEY root, const std::wstring& key, LONG error) {
    if (IsMissingError(error)) return;
    run.sink.Failed(Failure{RootFullName(root) + L"\\" + SystemKeyPath(key), static_cast<unsigned long>(error)});
}

// Whether an uninstall entry is an orphan: empty, or naming an uninstaller that is gone. A key
// that cannot be opened or listed is not judged (and, during a scan, told to its sink).
bool UninstallEntryOrphaned(HKEY root, const std::wstring& key, const std::wstring& name, PathProbe& probe,
                            RegScanRun* scan = nullptr) {
    const std::wstring entry = key + L"\\" + name;
    LONG error = ERROR_SUCCESS;
    UniqueHKey handle = OpenRegKey(root, SystemKeyPath(entry), KEY_READ, &error);
    if (!handle) {
        if (scan) Unreadable(*scan, root, entry, error);
        return false;
    }
    std::vector<std::wstring> subKeys, values;
    if (!EnumSubKeyNames(handle.get(), subKeys)) return false;
    if (!subKeys.empty()) {
        if (!name.empty() && name[0] == L'{') return false;
        return JudgeUninstallString(root, entry, probe) == PathMissing;
    }
    if (!EnumValueNames(handle.get(), values)) return false;
    if (values.empty()) return true;
    if (values.size() == 1 && values[0].empty()) return true;
    return JudgeUninstallString(root, entry, probe) == PathMissing;
}

// The names of a key's values (or subkeys); false, with the failure told, when it cannot be read.
bool ListKey(RegScanRun& run, HKEY root, const std::wstring& key, bool subKeys, std::vector<std::wstring>& names) {
    LONG error = ERROR_SUCCESS;
    UniqueHKey handle = OpenRegKey(root, SystemKeyPath(key), KEY_READ, &error);
    if (!handle) {
        Unreadable(run, root, key, error);
        return false;
    }
    const bool listed = subKeys ? EnumSubKeyNames(handle.get(), names) : EnumValueNames(handle.get(), names);
    if (!listed) Unreadable(run, root, key, ERROR_CANTREAD);
    return listed;
}

void WalkMissingFileData(HKEY root, HKEY parent, const std::wstring& keyPath, RegScanRun& run) {
    if (run.stop.Requested()) return;
    std::vector<std::wstring> names;
    EnumSubKeyNames(parent, names);
    for (const std::wstring& name : names) {
        if (run.stop.Requested()) return;
        run.pump.Poll();
        const std::wstring key = keyPath + L"\\" + name;
        // The 32-bit view's branch as the 64-bit view shows it: its own walk covers it, with
        // paths judged as 32-bit programs see them.
        if (IsExcluded(key) || IsWow6432NodeName(name)) continue;
        LONG error = ERROR_SUCCESS;
        UniqueHKey child = OpenRegKey(parent, name, KEY_READ, &error);
        if (!child) {
            Unreadable(run, root, key, error);
            continue;
        }
        if (SharedWithTheOtherView(child.get())) continue;
        run.sink.Progressed(Progress{key, 0, 0});
        bool stopped = false;
        EnumValuesWithData(child.get(), [&](const RegValueView& value) {
            if (run.stop.Requested()) {
                stopped = true;
                return false;
            }
            run.pump.Poll();
            if (value.type != REG_SZ) return true;
            const std::wstring data = StringOfData(value.data, value.size);
            if (!data.empty() && JudgePath(data, run.probe) == PathMissing)
                AddRow(run, kRegThoroughCategory, root, key, value.name);
            return true;
        });
        if (stopped) return;
        WalkMissingFileData(root, child.get(), key, run);
    }
}

bool SameText(const std::wstring& a, const std::wstring& b) { return UpperCased(a) == UpperCased(b); }

// One category's scan of a key in each registry view where the key is a key of its own.
void InEachView(HKEY root, const std::wstring& key, RegScanRun& run,
                void (*scan)(HKEY, const std::wstring&, RegScanRun&)) {
    if (!root) return;
    ForEachRegView(root, SystemKeyPath(key), [&](RegView) { scan(root, key, run); });
}

}  // namespace

const std::array<RegCategoryRow, kRegCategoryCount>& RegCategoryTable() {
    static const std::array<RegCategoryRow, kRegCategoryCount> table = {{
        {13001, L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", true},
        {13002,
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run###"
         L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
         true},
        {13003,
         L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall###"
         L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
         true},
        {13004, L"Software", false},
    }};
    return table;
}

std::vector<TDataRegDefault> RegistryCategories(unsigned langId) {
    std::vector<TDataRegDefault> list;
    for (int i = 0; i < kRegCategoryCount; ++i) {
        const RegCategoryRow& row = RegCategoryTable()[i];
        list.push_back({GetUiText(row.TextId, langId), row.KeyList, i});
    }
    return list;
}

const std::array<RootKeyName, 5>& RootKeyNames() {
    static const std::array<RootKeyName, 5> names = {{
        {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKEY_USERS", HKEY_USERS},
        {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    }};
    return names;
}

HKEY ParseRootName(const std::wstring& text, std::wstring& rest) {
    HKEY root = nullptr;
    std::wstring working = text;
    for (const RootKeyName& entry : RootKeyNames()) {
        // Root names are ASCII: the upper-cased text keeps every position.
        const std::size_t at = UpperCased(working).find(entry.Name);
        if (at == std::wstring::npos) continue;
        root = entry.Root;
        working.erase(at, std::wcslen(entry.Name));
        rest = working;
    }
    return root;
}

HKEY RootOfName(const std::wstring& text) {
    HKEY root = nullptr;
    const std::wstring upper = UpperCased(text);
    for (const RootKeyName& entry : RootKeyNames())
        if (upper.find(entry.Name) != std::wstring::npos) root = entry.Root;
    return root;
}

std::wstring RootName(HKEY root) {
    for (const RootKeyName& entry : RootKeyNames())
        if (entry.Root == root) return entry.Name;
    return {};
}

std::wstring SystemKeyPath(const std::wstring& keyPath) {
    return !keyPath.empty() && keyPath[0] == L'\\' ? keyPath.substr(1) : keyPath;
}

PathState SystemPathProbe::Probe(const std::wstring& path) {
    switch (reader_.Read(PathForProcess(path, CurrentRegView()))) {
        case FsAnswer::File: return PathState::File;
        case FsAnswer::Folder: return PathState::Folder;
        case FsAnswer::Missing: return PathState::Missing;
        case FsAnswer::Unknown: break;
    }
    return PathState::Unknown;
}

void ScanSharedDlls(HKEY root, const std::wstring& key, RegScanRun& run) {
    if (!root) return;
    std::vector<std::wstring> names;
    ListKey(run, root, key, false, names);
    for (const std::wstring& name : names) {
        run.pump.Poll();
        // Each value's name is the library's path; only a library that is surely gone counts.
        if (run.probe.Probe(name) == PathState::Missing) AddRow(run, 0, root, key, name);
    }
}

void ScanStartupKeys(HKEY root, const std::wstring& key, RegScanRun& run) {
    if (!root) return;
    std::vector<std::wstring> entries;
    ListKey(run, root, key, true, entries);
    if (SameText(key, kRunKey)) entries.emplace_back();  // the Run key's own values
    for (const std::wstring& entry : entries) {
        const std::wstring sub = entry.empty() ? key : key + L"\\" + entry;
        std::vector<std::wstring> values;
        ListKey(run, root, sub, false, values);
        for (const std::wstring& value : values) {
            run.pump.Poll();
            if (JudgeCommand(root, sub, value, run.probe) == PathMissing) AddRow(run, 1, root, sub, value);
        }
        if (!entry.empty()) ScanStartupKeys(root, sub, run);
    }
}

void ScanUninstallKeys(HKEY root, const std::wstring& key, RegScanRun& run) {
    if (!root) return;
    std::vector<std::wstring> names;
    ListKey(run, root, key, true, names);
    for (const std::wstring& name : names) {
        run.pump.Poll();
        if (UninstallEntryOrphaned(root, key, name, run.probe, &run)) AddRow(run, 2, root, key, name);
    }
}

void ScanMissingFileData(HKEY root, const std::wstring& key, RegScanRun& run) {
    if (!root || run.stop.Requested()) return;
    LONG error = ERROR_SUCCESS;
    UniqueHKey top = OpenRegKey(root, SystemKeyPath(key), KEY_READ, &error);
    if (!top) {
        Unreadable(run, root, key, error);
        return;
    }
    WalkMissingFileData(root, top.get(), key, run);
}

void ScanRegistryCategories(const std::vector<int>& categories, RegScanRun& run) {
    for (const int category : categories) {
        if (category < 0 || category >= kRegCategoryCount) continue;
        for (const std::wstring& entry : SplitKeyList(RegCategoryTable()[category].KeyList)) {
            std::wstring path = entry;
            const HKEY root = ParseRootName(entry, path);
            switch (category) {
                case 0: InEachView(root, path, run, ScanSharedDlls); break;
                case 1: InEachView(root, path, run, ScanStartupKeys); break;
                case 2: InEachView(root, path, run, ScanUninstallKeys); break;
                default:
                    InEachView(HKEY_CURRENT_USER, entry, run, ScanMissingFileData);
                    InEachView(HKEY_LOCAL_MACHINE, entry, run, ScanMissingFileData);
                    break;
            }
        }
    }
}

void ScanForHealthScore(RegScanRun& run) {
    for (int category = 0; category < kRegThoroughCategory; ++category) {
        for (const std::wstring& entry : SplitKeyList(RegCategoryTable()[category].KeyList)) {
            run.pump.Poll();
            if (entry.rfind(L"HKEY", 0) != 0) continue;
            std::wstring path = entry;
            const HKEY root = ParseRootName(entry, path);
            if (category == 0) InEachView(root, path, run, ScanSharedDlls);
            if (category == 1) InEachView(root, path, run, ScanStartupKeys);
            if (category == 2) InEachView(root, path, run, ScanUninstallKeys);
        }
    }
}

bool StillMissing(const TDataRegItems& item, PathProbe& probe) {
    const ScopedRegView view(item.View);
    switch (item.Category) {
        case 0:
            return RegValueExists(item.Root, SystemKeyPath(item.KeyPath), item.Name) &&
                   probe.Probe(item.Name) == PathState::Missing;
        case 1:
            return RegValueExists(item.Root, SystemKeyPath(item.KeyPath), item.Name) &&
                   JudgeCommand(item.Root, item.KeyPath, item.Name, probe) == PathMissing;
        case 2:
            return UninstallEntryOrphaned(item.Root, item.KeyPath, item.Name, probe);
        case 3: {
            UniqueHKey key = OpenRegKey(item.Root, SystemKeyPath(item.KeyPath), KEY_QUERY_VALUE);
            DWORD type = 0;
            const auto text = key ? QueryStringValue(key.get(), item.Name, &type) : std::nullopt;
            return text && type == REG_SZ && !text->empty() && JudgePath(*text, probe) == PathMissing;
        }
        default: return false;
    }
}

Outcome FixRegistryItem(const TDataRegItems& item, PathProbe& probe, const RemovalService& removals) {
    const std::wstring key = SystemKeyPath(item.KeyPath);
    if (!item.Root || !IsExactKeyPath(key)) return Outcome::Refused;
    const ScopedRegView view(item.View);
    if (!StillMissing(item, probe)) return Outcome::Missing;
    switch (item.Category) {
        case 0:
        case 1: return removals.RemoveRegValue(item.Root, key, item.Name).Result;
        case 2:
            if (!IsExactKeyPath(item.Name) || item.Name.find(L'\\') != std::wstring::npos) return Outcome::Refused;
            return removals.RemoveRegKeyTree(item.Root, key + L"\\" + item.Name).Result;
        case 3:
            if (!item.Name.empty()) return removals.RemoveRegValue(item.Root, key, item.Name).Result;
            // The unnamed value is emptied, not removed: the key stays.
            return RegWriteTextIfText(item.Root, key, L"", L"") ? Outcome::Done : Outcome::Failed;
        default: return Outcome::Refused;
    }
}

WalkTotals FixRegistryItems(const std::vector<TDataRegItems>& items, WalkMode mode, const Operation<TDataRegItems>& run,
                            PathProbe& probe, const RemovalService& removals) {
    return Walk(items, mode, run, [&](const TDataRegItems& item) { return FixRegistryItem(item, probe, removals); });
}

}  // namespace tidemark
