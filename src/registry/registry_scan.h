// The registry scan and fix: entries that name files which are no longer there, in four
// categories (shared-library counts, start-up entries, uninstall entries, and the thorough
// search of every string under the software branches), and their removal.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "core/engine_contract.h"
#include "removal/removal_service.h"
#include "registry/judge_path.h"
#include "system/path_state.h"
#include "system/reg_view.h"

namespace tidemark {

// One finding: a row of the result list VST_RegItems.
struct TDataRegItems {
    std::wstring Name;          // the value (categories 0, 1, 3) or the uninstall sub-key (2)
    HKEY Root = nullptr;
    std::wstring KeyPath;       // the key as the scan built it; it may begin with "\"
    std::wstring CategoryName;
    int Category = 0;
    RegView View = RegView::Own;  // the registry view the entry was found in
};

// One category: a row of VST_REG.
struct TDataRegDefault {
    std::wstring Name;
    std::wstring KeyList;  // keys joined by "###"
    int Category = 0;
};

constexpr int kRegCategoryCount = 4;
constexpr int kRegThoroughCategory = 3;

struct RegCategoryRow {
    int TextId;
    const wchar_t* KeyList;
    bool TickedAtStart;
};
const std::array<RegCategoryRow, kRegCategoryCount>& RegCategoryTable();
// The categories with their display names in the language of langId.
std::vector<TDataRegDefault> RegistryCategories(unsigned langId);

struct RootKeyName {
    const wchar_t* Name;
    HKEY Root;
};
const std::array<RootKeyName, 5>& RootKeyNames();
// The root named in text (the last table entry found in it, upper-cased search); rest receives
// the text with that name taken out, in its own letter case ("\SOFTWARE\..."). 0 and rest
// unchanged when no root is named.
HKEY ParseRootName(const std::wstring& text, std::wstring& rest);
HKEY RootOfName(const std::wstring& text);
std::wstring RootName(HKEY root);

// A key path as the system takes it: paths the scan builds from a root name begin with "\",
// which means "from the root" here, but which the system refuses.
std::wstring SystemKeyPath(const std::wstring& keyPath);

// The file system as the judgement sees it (one per scan: drive types are asked once). A path
// is judged in the thread's registry view: as a program of that view would reach it.
class SystemPathProbe final : public PathProbe {
public:
    PathState Probe(const std::wstring& path) override;

private:
    PathStateReader reader_;
};

// What one scan reports to and consults.
struct RegScanRun {
    Sink<TDataRegItems>& sink;
    Pump& pump;
    const StopToken& stop;
    PathProbe& probe;
    const std::vector<TDataRegDefault>& categories;  // for the names of the rows
};

void ScanSharedDlls(HKEY root, const std::wstring& key, RegScanRun& run);
void ScanStartupKeys(HKEY root, const std::wstring& key, RegScanRun& run);
void ScanUninstallKeys(HKEY root, const std::wstring& key, RegScanRun& run);
// The thorough search; the only one that stops on request.
void ScanMissingFileData(HKEY root, const std::wstring& key, RegScanRun& run);

// The registry view's scan: each category of the list (indices, in the given order) over each
// key of its list.
void ScanRegistryCategories(const std::vector<int>& categories, RegScanRun& run);
// The health score's measurement: categories 0-2 over every key that starts with "HKEY".
void ScanForHealthScore(RegScanRun& run);

// Whether the finding still holds: a program put back since the scan keeps its entries.
bool StillMissing(const TDataRegItems& item, PathProbe& probe);
// Re-judges and removes one finding through the removal service: Done when removed, Missing when
// it no longer holds (left alone) or is gone already, Refused for a key path that names no exact
// key, Failed when the system refused.
Outcome FixRegistryItem(const TDataRegItems& item, PathProbe& probe,
                        const RemovalService& removals = ProcessRemovalService());
// Fixes each finding in order (Apply), or lists each as the fix would take it (Preview), reporting
// to the sink. An unexpected exception is not caught here: the front end reports it.
WalkTotals FixRegistryItems(const std::vector<TDataRegItems>& items, WalkMode mode, const Operation<TDataRegItems>& run,
                            PathProbe& probe, const RemovalService& removals = ProcessRemovalService());

// Writes what fixing these findings would remove (the values, whole uninstall keys) to a
// registry-editor file (version 5.00 text, UTF-16 LE with a byte-order mark) that "regedit /s"
// imports back. False, with no file left, when anything cannot be read or written.
bool WriteRegistryBackup(const std::wstring& file, const std::vector<TDataRegItems>& items);
// The file's text (without the byte-order mark); false when an entry cannot be read.
bool RegistryBackupText(const std::vector<TDataRegItems>& items, std::wstring& text);

}  // namespace tidemark
