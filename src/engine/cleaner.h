// The cleaning engine: every definition the program carries, every plug-in its scans found,
// the known-plug-in table, and the two fixes definitions can ask for (the hosts file, Winlogon
// notification packages).
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/definition_store.h"
#include "plugins/guids.h"
#include "plugins/plugin_obj.h"

namespace tidemark {

class TSoftObj;

// A plug-in a scan made, reported right after it was made and rated and before it reads its
// registration (a sink that wants its entries attaches its OnItem then).
struct PluginFound {
    TPluginObj* Plugin = nullptr;
    std::uint8_t Kind = 0;            // 1..5, as TPluginObj::Kind
    std::uint8_t Risk = RiskUnknown;  // the table's rating
    std::wstring Key;                 // the name the scan found (the table's spelling when known)
};

// Why a cleaner could not be made: the definition that stopped the load, or the plug-in table.
struct CleanerCreateError {
    std::optional<DefinitionLoadError> Definitions;
    bool PluginTableMissing = false;
};

class TCleaner {
public:
    // Loads the definitions (with their built-in routines) and the known-plug-in table from
    // module (null: the program itself); null when either fails (error says which).
    static std::unique_ptr<TCleaner> Create(HMODULE module, CleanHost& host, CleanerCreateError* error);

    DefinitionSet& Definitions() { return *definitions_; }
    const TGuids& KnownPlugins() const { return *guids_; }
    // Every plug-in object any scan made since the cleaner exists, in creation order.
    std::vector<std::unique_ptr<TPluginObj>> Plugins;

    TSoftObj* FindDefinition(std::int32_t id) const;
    CleanHost& Host() const { return *host_; }

    // The five scans; each returns the number of plug-in objects it made and reports each one
    // to found (when given) as it is made.
    int ScanToolbars(Sink<PluginFound>* found = nullptr);
    int ScanHelperObjects(Sink<PluginFound>* found = nullptr);
    int ScanExplorerBars(Sink<PluginFound>* found = nullptr);
    int ScanToolbarButtons(Sink<PluginFound>* found = nullptr);
    int ScanMenuExtensions(Sink<PluginFound>* found = nullptr);

    // The hosts file reset to the localhost line and its local-network lines; the file is
    // rewritten in place, never queued for deletion at restart. The content before goes first to
    // a new backup in backupFolder (empty: the program's backup folder, which no junk rule
    // reaches; never beside the file, where "*.bak" is junk), numbered when the name is taken;
    // without that copy nothing is rewritten. Returns the backup's path, empty when none was made.
    std::wstring FixHostsFile(const std::wstring& path, const std::wstring& backupFolder = L"");
    // Foreign Winlogon notification packages removed (the stock ones kept), through the host's
    // removal service; false when one the fix meant to remove stays.
    bool FixWinlogonNotify();
    // The file shown selected in its folder; nothing for a missing file.
    static void ShowInExplorer(const std::wstring& path);

private:
    TCleaner() = default;
    // The common scan: the names under the kind's registration key (its values' or its
    // subkeys'), rated by the table; safe ones are neither made nor counted.
    int Scan(std::uint8_t kind, bool namesFromValues, const CleanClass& cls, Sink<PluginFound>* found);
    void MakePlugin(const CleanClass& cls, const std::wstring& key, std::uint8_t risk, const std::wstring* tableName,
                    Sink<PluginFound>* found);
    std::unique_ptr<DefinitionSet> definitions_;
    std::unique_ptr<TGuids> guids_;
    CleanHost* host_ = nullptr;
};

// The five scans in the order the plug-in page runs them (and the console program).
using PluginScan = int (TCleaner::*)(Sink<PluginFound>*);
inline constexpr std::array<PluginScan, 5> kPluginScanOrder = {
    &TCleaner::ScanHelperObjects, &TCleaner::ScanToolbars, &TCleaner::ScanMenuExtensions,
    &TCleaner::ScanToolbarButtons, &TCleaner::ScanExplorerBars};

// The twelve stock notification packages, lower case.
extern const std::array<const wchar_t*, 12> kStockNotifyPackages;

}  // namespace tidemark
