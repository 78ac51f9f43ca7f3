// The trace scan and clean: what each catalogue item holds now (files, registry values) is
// listed under the item; the clean removes the ticked entries and, for Internet Explorer, empties
// the browser's history and URL cache through the system's own interfaces.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine_contract.h"
#include "removal/removal_guard.h"
#include "removal/removal_service.h"
#include "system/reg_view.h"
#include "traces/trace_catalogue.h"

namespace tidemark {

class FolderReader;

enum class TraceEntryKind : int { File = 0, Value = 1 };

// One trace found: a file, or a registry value (the name; "" is the key's default value).
struct TraceEntry {
    int Table = 0;
    int Row = 0;
    TraceEntryKind Kind = TraceEntryKind::File;
    std::wstring Text;      // the file's full path, or the value name
    std::wstring RootName;  // values: the root's full name, as the catalogue spells it
    std::wstring KeyPath;   // values: the key below the root
    RegView View = CurrentRegView();  // values: the registry view the key was read in
    std::wstring Base;      // files: the trace folder whose emptied sub-folders the clean removes
                            // (empty for a named file and the browser's own folders)
    bool Ticked = true;
};

// One catalogue row with what the last scan found.
struct TraceItem {
    int Table = 0;
    int Row = 0;
    std::vector<TraceEntry> Entries;
    int Count = 0;      // entries the last scan found; a clean leaves it as it was
    bool Done = false;  // scanned or cleaned
    // A scan of this tree listed the item to the end: what a clean removes of it, and whether
    // its browser-wide clear runs, was shown first.
    bool Scanned = false;
};

struct TraceGroupState {
    bool Selected = true;
    std::vector<TraceItem> Items;
};

// The three groups of the catalogue in tree order, every one selected, nothing found yet.
struct TraceTree {
    std::array<TraceGroupState, 3> Groups;
};
TraceTree MakeTraceTree();

// Where a scan may look. A trace folder that is empty, relative, a drive root, one of Keep's
// folders or a folder above one of them is passed over: a temporary folder set to "C:\" must not
// make the whole drive a trace. Sub-folders of TempFolder named in TempProtectedNames are left alone.
struct TracePlaces {
    std::wstring TempFolder;
    ProtectedPlaces Keep;
};
// From the special-folder table: the user's temporary folder; Windows, program files (and the
// common files), the profile and the documents folder kept.
TracePlaces TracePlacesOfSystem();
bool TraceFolderAllowed(const std::wstring& folder, const TracePlaces& places);

// "folder\name", with one separator: "C:\" + "x" is "C:\x".
std::wstring JoinTracePath(const std::wstring& folder, const std::wstring& name);

// Entries are reported to the sink one by one as they are found (Found) and as the clean handles
// them (Processed); Progressed tells which item starts and ends (current = its table and row,
// "3:0"). A folder that exists but cannot be read is reported as Failed with the system's error.
using TraceRun = Operation<TraceEntry>;

// Files of folder matching mask, then every file below its sub-folders (except those named in
// protectedNames, any case); names holding "INDEX.DAT" (any case) are never listed, and a
// junction or symbolic link is never entered.
void ScanTraceFolder(TraceItem& item, const std::vector<std::wstring>& protectedNames, const std::wstring& mask,
                     const std::wstring& folder, const TraceRun& run);
// parent, when given, has the folder above open and name is the folder's name in it: the folder
// is opened from there.
void ScanTraceSubfolder(TraceItem& item, const std::wstring& folder, const std::wstring& base, const TraceRun& run,
                        const FolderReader* parent = nullptr, std::wstring_view name = {});
// Every value of the key and of every key below it. A leading "\" of keyPath is read as "from the
// root"; an empty key path (the root itself) is never walked.
// A value name that holds a recent file: one with "MRU", "Recent", "History", "LastFile" or
// "LastOpen" in it, or a numbered entry ("File1", "Path 2", "Image10").
bool IsRecentFileValueName(std::wstring_view name);
void ScanTraceKey(TraceItem& item, const std::wstring& keyPath, const std::wstring& rootName, const TraceRun& run);

// Empties the item's entries and fills them anew: its folders, then its registry locations.
// Scanned and Done when it ran to the end.
void ScanTraceItem(TraceItem& item, const TracePlaces& places, const TraceRun& run);
// Every item of every selected group. False when the stop token ended it.
bool StartTraceScan(TraceTree& tree, const TracePlaces& places, const TraceRun& run);

// The full root name's key (the five roots, any case); null for anything else.
HKEY TraceRootOfName(const std::wstring& name);

struct TraceCleanOptions {
    // Recycle-bin method: the file goes into the recycle bin and is never deleted for good (a file
    // the bin would not keep stays, failed). Direct method: deleted, or left for the restart when
    // in use. Either way through the removal service.
    bool Recycle = false;
    // A stand-in for the recycle bin (the service's recycler; tests). None: the system's bin.
    RemovalService::Recycler RecycleFile;
    // The service that removes; null: the process's (ProcessRemovalService).
    const RemovalService* Service = nullptr;
    // Where items that were never scanned are scanned before the clean; null: TracePlacesOfSystem.
    const TracePlaces* Places = nullptr;
    // The browser-wide clears; the system's by default, stand-ins in tests.
    std::function<bool()> ClearHistory;
    std::function<int(const std::wstring&)> ClearCache;
};

struct TraceCleanResult {
    WalkTotals Totals;
    bool HistoryAsked = false;    // the history clear ran
    bool HistoryFailed = false;   // ... and the history store could not be created
    int CacheEntries = 0;         // cache entries deleted (cookies apart)
    int Cookies = 0;              // cookie entries deleted
};

// One walk per item (core/engine_contract.h) over the ticked entries of every item of the selected
// groups, item by item in tree order. A selected item no scan of this tree has listed is scanned
// first: nothing is removed that was not listed. Apply removes files, values and the folders a
// removal leaves empty below the trace folder through the removal service; a removed entry leaves
// its item, one that stays (in use, refused, failed) stays ticked. With the Internet Explorer
// group selected, the history, the cache and the cookies are cleared afterwards, each only when
// its item was scanned and has no unticked entry. Preview reports the same entries in the same
// order as Listed and changes nothing (no clear runs).
TraceCleanResult CleanTraces(TraceTree& tree, const TraceCleanOptions& options, const TraceRun& run,
                             WalkMode mode = WalkMode::Apply);

// Deletes the URL cache entries matching pattern (empty: every entry but cookies, whatever the case)
// through the system's internet library, one 65,536-byte entry buffer; an entry larger than that
// ends the walk. Returns the number of entries the system deleted.
int ClearUrlCache(const std::wstring& pattern, Pump* pump = nullptr);

}  // namespace tidemark
