#include "traces/trace_engine.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <optional>
#include <utility>

#include "removal/protected_places.h"
#include "system/file_ops.h"
#include "system/folder_reader.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/rule_macros.h"
#include "system/sys_misc.h"
#include "system/text_case.h"

namespace tidemark {
namespace {

constexpr int kTempFolderMacro = 8;  // %usertemp% in the rule-macro table
constexpr wchar_t kIndexFile[] = L"INDEX.DAT";
constexpr DWORD kUrlCacheBuffer = 65536;

// The items whose browser-wide clear follows the clean (rows of the Internet Explorer table).
constexpr int kIeCacheRow = 0;
constexpr int kIeHistoryRow = 1;
constexpr int kIeCookiesRow = 5;

bool IsDots(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return ComparablePath(a) == ComparablePath(b); }

DWORD AttributesOf(const std::wstring& path) { return GetFileAttributesW(ExtendedPath(path).c_str()); }

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A folder that exists but could not be read (FindFirstFile failed with error) is reported.
void ReportUnreadable(const std::wstring& folder, DWORD error, const TraceRun& run) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES) return;
    run.sink.Failed(Failure{folder, error ? error : ERROR_ACCESS_DENIED});
}

void AddEntry(TraceItem& item, TraceEntry entry, const TraceRun& run) {
    entry.Table = item.Table;
    entry.Row = item.Row;
    item.Entries.push_back(std::move(entry));
    ++item.Count;
    run.sink.Found(item.Entries.back());
}

void AddFile(TraceItem& item, const std::wstring& path, const std::wstring& base, const TraceRun& run) {
    TraceEntry entry;
    entry.Kind = TraceEntryKind::File;
    entry.Text = path;
    entry.Base = base;
    AddEntry(item, std::move(entry), run);
}

bool Listable(std::wstring_view name) {
    return UpperCased(std::wstring(name)).find(kIndexFile) == std::wstring::npos;
}

bool NamedIn(const std::wstring& name, const std::vector<std::wstring>& names) {
    const std::wstring upper = UpperCased(name);
    return std::any_of(names.begin(), names.end(), [&](const std::wstring& n) { return UpperCased(n) == upper; });
}

// An empty key path would be the root itself: never walked or read from.
std::wstring KeyBelowRoot(std::wstring keyPath) {
    while (!keyPath.empty() && keyPath.front() == L'\\') keyPath.erase(0, 1);
    return keyPath;
}

bool ValueThere(HKEY root, const std::wstring& keyPath, const std::wstring& name) {
    UniqueHKey key = OpenRegKey(root, keyPath, KEY_QUERY_VALUE);
    return key && RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void ReportItem(const TraceItem& item, const TraceRun& run) {
    run.sink.Progressed({std::to_wstring(item.Table) + L":" + std::to_wstring(item.Row), 0, 0});
}

}  // namespace

TraceTree MakeTraceTree() {
    TraceTree tree;
    for (std::size_t g = 0; g < TraceGroups.size(); ++g) {
        const int table = TraceGroups[g].Table;
        for (int row = 0; row < TraceRowCount(table); ++row) {
            TraceItem item;
            item.Table = table;
            item.Row = row;
            tree.Groups[g].Items.push_back(std::move(item));
        }
    }
    return tree;
}

TracePlaces TracePlacesOfSystem() {
    TracePlaces places;
    places.TempFolder = SpecialFolders[kTempFolderMacro];
    // %windir%, %usermydoc%, %CommonProgramFiles%, %ProgramFiles%, %USERPROFILE%
    for (int macro : {1, 3, 13, 14, 16})
        if (!SpecialFolders[macro].empty()) places.Keep.AddFolder(SpecialFolders[macro]);
    // On 64-bit Windows both program folders and both common-files folders.
    for (const wchar_t* name : {L"ProgramFiles(x86)", L"ProgramW6432", L"CommonProgramFiles(x86)", L"CommonProgramW6432"}) {
        wchar_t folder[MAX_PATH] = {};
        const DWORD n = GetEnvironmentVariableW(name, folder, MAX_PATH);
        if (n > 3 && n < MAX_PATH) places.Keep.AddFolder(UpperCased(folder));
    }
    return places;
}

bool TraceFolderAllowed(const std::wstring& folder, const TracePlaces& places) {
    if (folder.empty()) return false;
    return JudgeFolderTarget(folder, places.Keep) == TargetVerdict::Allowed;
}

std::wstring JoinTracePath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || folder.back() == L'\\') return folder + name;
    return folder + L"\\" + name;
}

HKEY TraceRootOfName(const std::wstring& name) {
    static const std::pair<const wchar_t*, HKEY> roots[] = {
        {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}, {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {L"HKEY_USERS", HKEY_USERS},
        {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    };
    const std::wstring upper = UpperCased(name);
    for (const auto& [text, root] : roots)
        if (upper == text) return root;
    return nullptr;
}

void ScanTraceFolder(TraceItem& item, const std::vector<std::wstring>& protectedNames, const std::wstring& mask,
                     const std::wstring& folder, const TraceRun& run) {
    if (run.stop.Requested()) return;
    auto handle = [&](std::wstring_view name, DWORD attributes, const FolderReader* reader) {
        const std::wstring path = JoinTracePath(folder, std::wstring(name));
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction or link leads elsewhere: never walked.
            if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return;
            if (!NamedIn(std::wstring(name), protectedNames)) ScanTraceSubfolder(item, path, folder, run, reader, name);
        } else if (Listable(name)) {
            AddFile(item, path, folder, run);
        }
    };
    if (mask == L"*.*" || mask == L"*") {
        // Every entry: the file system's own listing.
        FolderReader reader;
        const DWORD error = reader.Open(folder);
        if (FolderReader::NoFolder(error)) return;
        if (error) {
            ReportUnreadable(folder, error, run);
            return;
        }
        FolderItem found;
        while (reader.Next(found)) {
            if (run.stop.Requested()) return;
            run.pump.Poll();
            handle(found.name, found.attributes, &reader);
        }
        return;
    }
    // A mask of its own: the system's search matches it (8.3 aliases included).
    if (!IsFolder(folder)) return;
    WIN32_FIND_DATAW found;
    UniqueFindHandle find(FindFirstFileW(ExtendedPath(JoinTracePath(folder, mask)).c_str(), &found));
    if (!find) {
        ReportUnreadable(folder, GetLastError(), run);
        return;
    }
    do {
        if (run.stop.Requested()) return;
        run.pump.Poll();
        if (IsDots(found.cFileName)) continue;
        handle(found.cFileName, found.dwFileAttributes, nullptr);
    } while (FindNextFileW(find.get(), &found));
}

void ScanTraceSubfolder(TraceItem& item, const std::wstring& folder, const std::wstring& base, const TraceRun& run,
                        const FolderReader* parent, std::wstring_view name) {
    // Depth first in the system's order, with the open listings on a stack of our own: a deep
    // tree must not exhaust the thread's stack.
    struct Level {
        std::wstring folder;
        std::unique_ptr<FolderReader> reader;
    };
    std::vector<Level> levels;
    auto open = [&](const std::wstring& path, const FolderReader* above, std::wstring_view childName) {
        auto reader = std::make_unique<FolderReader>();
        const DWORD error = reader->OpenChild(above, childName, path);
        if (FolderReader::NoFolder(error)) return;
        if (error) {
            ReportUnreadable(path, error, run);
            return;
        }
        levels.push_back({path, std::move(reader)});
    };
    open(folder, parent, name);
    FolderItem found;
    while (!levels.empty()) {
        FolderReader& reader = *levels.back().reader;
        if (!reader.Next(found)) {
            levels.pop_back();
            continue;
        }
        run.pump.Poll();
        const std::wstring path = JoinTracePath(levels.back().folder, std::wstring(found.name));
        if (found.IsFolder()) {
            if (!found.IsLink()) open(path, &reader, found.name);
            continue;
        }
        if (run.stop.Requested()) return;
        if (Listable(found.name)) AddFile(item, path, base, run);
    }
}

namespace {

void AddValueEntry(TraceItem& item, const std::wstring& rootName, const std::wstring& keyPath, const std::wstring& name,
                   const TraceRun& run) {
    TraceEntry entry;
    entry.Kind = TraceEntryKind::Value;
    entry.Text = name;
    entry.RootName = rootName;
    entry.KeyPath = keyPath;
    AddEntry(item, std::move(entry), run);
}

// The values of the key and of every key below it; with recentFilesOnly (a program's whole
// settings key) only the values that name recent files, and no key below it.
void ScanKey(TraceItem& item, const std::wstring& keyPath, const std::wstring& rootName, const TraceRun& run,
             bool recentFilesOnly) {
    const HKEY root = TraceRootOfName(rootName);
    const std::wstring path = KeyBelowRoot(keyPath);
    if (!root || !IsExactKeyPath(path) || run.stop.Requested()) return;
    std::vector<std::wstring> values, subKeys;
    {
        UniqueHKey key = OpenRegKey(root, path, KEY_READ);
        if (!key) return;
        EnumValueNames(key.get(), values);
        if (!recentFilesOnly) EnumSubKeyNames(key.get(), subKeys);
    }
    for (const std::wstring& name : values)
        if (!recentFilesOnly || IsRecentFileValueName(name)) AddValueEntry(item, rootName, path, name, run);
    for (const std::wstring& sub : subKeys) ScanKey(item, path + L"\\" + sub, rootName, run, false);
}

// Rows whose key is a program's whole settings key rather than a list of its own (WinImage keeps
// its recent files beside its options).
bool IsSettingsKeyRow(const TraceItem& item) { return item.Table == TraceTableSoftware && item.Row == 38; }

}  // namespace

void ScanTraceKey(TraceItem& item, const std::wstring& keyPath, const std::wstring& rootName, const TraceRun& run) {
    ScanKey(item, keyPath, rootName, run, false);
}

bool IsRecentFileValueName(std::wstring_view name) {
    const std::wstring lower = LowerCased(std::wstring(name));
    for (const wchar_t* mark : {L"mru", L"recent", L"history", L"lastfile", L"last file", L"lastopen"})
        if (lower.find(mark) != std::wstring::npos) return true;
    // "File1", "file 2", "Path10": a numbered list entry.
    std::size_t digits = 0;
    while (digits < lower.size() && iswdigit(lower[lower.size() - 1 - digits])) ++digits;
    if (digits == 0 || digits == lower.size()) return false;
    std::wstring stem = lower.substr(0, lower.size() - digits);
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    return stem == L"file" || stem == L"path" || stem == L"image";
}

void ScanTraceItem(TraceItem& item, const TracePlaces& places, const TraceRun& run) {
    item.Entries.clear();
    item.Count = 0;
    item.Done = false;
    item.Scanned = false;
    ReportItem(item, run);
    const TraceLocations where = ResolveTraceLocations(TraceRecord(item.Table, item.Row));

    std::vector<std::wstring> tempProtected;
    for (const wchar_t* name : TempProtectedNames) tempProtected.emplace_back(name);
    for (std::size_t i = 0; i < where.Folders.size() && !run.stop.Requested(); ++i) {
        const std::wstring& folder = where.Folders[i];
        const std::wstring mask = i < where.Masks.size() ? where.Masks[i] : std::wstring();
        if (folder.empty()) continue;
        const DWORD attributes = AttributesOf(folder);
        // A link, or a folder reached through one, leads elsewhere: passed over.
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
            ReachedThroughReparsePoint(folder))
            continue;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (JudgeFileTarget(folder, places.Keep) == TargetVerdict::Allowed) AddFile(item, folder, L"", run);
            continue;
        }
        if (!TraceFolderAllowed(folder, places)) continue;
        const bool temp = !places.TempFolder.empty() && SamePath(folder, places.TempFolder);
        ScanTraceFolder(item, temp ? tempProtected : std::vector<std::wstring>{}, mask.empty() ? L"*.*" : mask,
                        folder, run);
    }
    // The browser's own folders keep their layout: its cache index names the sub-folders, and
    // the library does not make them again when they are gone.
    if (item.Table == TraceTableIe)
        for (TraceEntry& entry : item.Entries) entry.Base.clear();

    const bool namesValues = !where.ValueNames.empty() && !where.ValueNames[0].empty();
    for (std::size_t i = 0; i < where.Roots.size() && !run.stop.Requested(); ++i) {
        const std::wstring& rootName = where.Roots[i];
        if (rootName.empty()) continue;
        const std::wstring keyPath = KeyBelowRoot(i < where.KeyPaths.size() ? where.KeyPaths[i] : std::wstring());
        const std::wstring value = i < where.ValueNames.size() ? where.ValueNames[i] : std::wstring();
        const HKEY root = TraceRootOfName(rootName);
        if (!root || !IsExactKeyPath(keyPath)) continue;
        // A key of the machine's software branch is read in each view where it is a key of its own.
        ForEachRegView(root, keyPath, [&](RegView) {
            if (namesValues && value != L"NULL") {
                if (ValueThere(root, keyPath, value)) AddValueEntry(item, rootName, keyPath, value, run);
            } else {
                ScanKey(item, keyPath, rootName, run, IsSettingsKeyRow(item));
            }
        });
    }
    if (!run.stop.Requested()) item.Done = item.Scanned = true;
    ReportItem(item, run);
}

bool StartTraceScan(TraceTree& tree, const TracePlaces& places, const TraceRun& run) {
    for (TraceGroupState& group : tree.Groups) {
        if (!group.Selected) continue;
        for (TraceItem& item : group.Items) {
            ScanTraceItem(item, places, run);
            if (run.stop.Requested()) break;
        }
    }
    return !run.stop.Requested();
}

namespace {

// Removes the folders below base that the removal of path left empty, nearest first.
void RemoveEmptiedFolders(const std::wstring& path, const std::wstring& base, const RemovalService& service) {
    if (base.empty()) return;
    const std::wstring top = ComparablePath(base);
    std::wstring folder = path;
    for (;;) {
        const auto slash = folder.find_last_of(L'\\');
        if (slash == std::wstring::npos) return;
        folder.resize(slash);
        const std::wstring here = ComparablePath(folder);
        if (here.size() <= top.size() || here.compare(0, top.size(), top) != 0 || here[top.size()] != L'\\') return;
        // A folder that holds anything, or is a link, ends the climb.
        if (service.RemoveEmptyFolder(folder).Result != Outcome::Done) return;
    }
}

Outcome CleanEntry(const TraceEntry& entry, const RemovalService& service, const FileRemovalOptions& fileOptions) {
    if (entry.Kind == TraceEntryKind::Value) {
        const ScopedRegView view(entry.View);
        return service.RemoveRegValue(TraceRootOfName(entry.RootName), entry.KeyPath, entry.Text).Result;
    }
    const Outcome outcome = service.RemoveFile(entry.Text, fileOptions).Result;
    if (outcome == Outcome::Done || outcome == Outcome::Recycled) RemoveEmptiedFolders(entry.Text, entry.Base, service);
    return outcome;
}

// The browser-wide clear of row runs only when a scan listed the item and the user left all of
// it ticked.
bool ClearAllowed(const TraceGroupState& group, int row) {
    for (const TraceItem& item : group.Items)
        if (item.Row == row)
            return item.Scanned &&
                   std::all_of(item.Entries.begin(), item.Entries.end(), [](const TraceEntry& e) { return e.Ticked; });
    return false;
}

void AddTotals(WalkTotals& into, const WalkTotals& walked) {
    into.listed += walked.listed;
    into.done += walked.done;
    into.recycled += walked.recycled;
    into.deferred += walked.deferred;
    into.missing += walked.missing;
    into.refused += walked.refused;
    into.failed += walked.failed;
    into.stopped = into.stopped || walked.stopped;
}

}  // namespace

TraceCleanResult CleanTraces(TraceTree& tree, const TraceCleanOptions& options, const TraceRun& run, WalkMode mode) {
    TraceCleanResult result;
    // Never remove what nobody listed: selected items no scan has listed are scanned first.
    std::optional<TracePlaces> places;
    for (TraceGroupState& group : tree.Groups) {
        if (!group.Selected) continue;
        for (TraceItem& item : group.Items) {
            if (item.Scanned) continue;
            if (!places) places = options.Places ? *options.Places : TracePlacesOfSystem();
            ScanTraceItem(item, *places, run);
            if (run.stop.Requested()) {
                result.Totals.stopped = true;
                return result;
            }
        }
    }

    // The browser-wide clears take everything of their kind: an item whose entries the user
    // partly unticked keeps them, so its clear does not run.
    const TraceGroupState& ie = tree.Groups[0];
    const bool ieSelected = ie.Selected && mode == WalkMode::Apply;
    const bool clearCache = ieSelected && ClearAllowed(ie, kIeCacheRow);
    const bool clearHistory = ieSelected && ClearAllowed(ie, kIeHistoryRow);
    const bool clearCookies = ieSelected && ClearAllowed(ie, kIeCookiesRow);

    RemovalService service = options.Service ? *options.Service : ProcessRemovalService();
    if (options.RecycleFile) service.SetRecycler(options.RecycleFile);
    FileRemovalOptions fileOptions;
    fileOptions.Method = options.Recycle ? FileMethod::Recycle : FileMethod::RestartIfHeld;

    for (TraceGroupState& group : tree.Groups) {
        if (!group.Selected || result.Totals.stopped) continue;
        for (TraceItem& item : group.Items) {
            if (run.stop.Requested()) {
                result.Totals.stopped = true;
                break;
            }
            if (mode == WalkMode::Apply) item.Done = false;
            ReportItem(item, run);
            std::vector<TraceEntry> ticked;
            for (const TraceEntry& entry : item.Entries)
                if (entry.Ticked) ticked.push_back(entry);
            std::vector<Outcome> outcomes;  // of the ticked entries, in order, as far as the walk went
            AddTotals(result.Totals, Walk(ticked, mode, run, [&](const TraceEntry& entry) {
                          outcomes.push_back(CleanEntry(entry, service, fileOptions));
                          return outcomes.back();
                      }));
            if (mode == WalkMode::Apply) {
                // What is gone leaves the item; what stays (and what the walk did not reach) is kept.
                std::vector<TraceEntry> kept;
                std::size_t next = 0;
                for (TraceEntry& entry : item.Entries) {
                    if (entry.Ticked && next < outcomes.size()) {
                        const Outcome outcome = outcomes[next++];
                        if (outcome == Outcome::Done || outcome == Outcome::Recycled || outcome == Outcome::Missing)
                            continue;
                    }
                    kept.push_back(std::move(entry));
                }
                item.Entries = std::move(kept);
                item.Done = true;
            }
            ReportItem(item, run);
            if (result.Totals.stopped) break;
        }
    }
    result.Totals.stopped = result.Totals.stopped || run.stop.Requested();
    if (result.Totals.stopped || mode == WalkMode::Preview) return result;

    if (clearHistory) {
        result.HistoryAsked = true;
        result.HistoryFailed = !(options.ClearHistory ? options.ClearHistory() : ClearUrlHistory());
    }
    auto cache = [&](const std::wstring& pattern) {
        return options.ClearCache ? options.ClearCache(pattern) : ClearUrlCache(pattern, &run.pump);
    };
    // Cookies last: the cache pass leaves them for their own pass.
    if (clearCache) result.CacheEntries = cache(L"");
    if (clearCookies) result.Cookies = cache(L"Cookie:");
    return result;
}

int ClearUrlCache(const std::wstring& pattern, Pump* pump) {
    std::vector<unsigned char> buffer(kUrlCacheBuffer);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
    // The pattern goes to the system as written: Wine matches a container's prefix ("Cookie:")
    // with its case, so an upper-cased one would find no cookie at all.
    DWORD size = kUrlCacheBuffer;
    HANDLE find = FindFirstUrlCacheEntryW(pattern.empty() ? nullptr : pattern.c_str(), info, &size);
    if (!find) return 0;
    int count = 0;
    static const std::wstring kCookie = L"COOKIE:";
    do {
        if (pump) pump->Poll();
        const wchar_t* url = info->lpszSourceUrlName;
        if (url) {
            const bool cookie = UpperCased(url).find(kCookie) != std::wstring::npos;
            if ((!pattern.empty() || !cookie) && DeleteUrlCacheEntryW(url)) ++count;
        }
        size = kUrlCacheBuffer;
    } while (FindNextUrlCacheEntryW(find, info, &size));
    FindCloseUrlCache(find);
    return count;
}

}  // namespace tidemark
