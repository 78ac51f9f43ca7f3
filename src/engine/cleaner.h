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
    // Raised for each plug-in object right after it is made and rated, before it reads the
    // registry (context: what the scan was given).
    std::function<void(TCleaner& sender, TPluginObj& plugin, void* context)> OnNewPlugin;

    TSoftObj* FindDefinition(std::int32_t id) const;

    // The five scans; each returns the number of plug-in objects it made.
    int ScanToolbars(void* context);
    int ScanHelperObjects(void* context);
    int ScanExplorerBars(void* context);
    int ScanToolbarButtons(void* context);
    int ScanMenuExtensions(void* context);

    // The hosts file reset to the localhost line and its local-network lines; the file is
    // rewritten in place, never queued for deletion at restart. The content before goes first to
    // a new backup in backupFolder (empty: the program's backup folder, which no junk rule
    // reaches; never beside the file, where "*.bak" is junk), numbered when the name is taken;
    // without that copy nothing is rewritten. Returns the backup's path, empty when none was made.
    std::wstring FixHostsFile(const std::wstring& path, const std::wstring& backupFolder = L"");
    // Foreign Winlogon notification packages removed (the stock ones kept).
    void FixWinlogonNotify();
    // The file shown selected in its folder; nothing for a missing file.
    static void ShowInExplorer(const std::wstring& path);

private:
    TCleaner() = default;
    // The common scan: the names under the kind's registration key (its values' or its
    // subkeys'), rated by the table; safe ones are neither made nor counted.
    int Scan(std::uint8_t kind, bool namesFromValues, const CleanClass& cls, void* context);
    void MakePlugin(const CleanClass& cls, const std::wstring& key, std::uint8_t risk, const std::wstring* tableName,
                    void* context);
    std::unique_ptr<DefinitionSet> definitions_;
    std::unique_ptr<TGuids> guids_;
    CleanHost* host_ = nullptr;
};

// The twelve stock notification packages, lower case.
extern const std::array<const wchar_t*, 12> kStockNotifyPackages;

}  // namespace tidemark
