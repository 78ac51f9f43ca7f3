// The clean of the plug-ins the user chose, as the plug-in page and "tidemark-cli plugins clean"
// both run it: the chosen plug-ins in the order given (the cards' order), each through its own
// plan; then the repairs that follow every plug-in clean, the hosts and Winlogon fixes the
// definitions asked for, and the commit of the boot-time list. A preview walks the same records
// in the same order and changes nothing. Front ends give the sink, the pump and the stop token,
// and show what comes back.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/engine_contract.h"
#include "engine/boot_delete.h"
#include "plugins/plugin_obj.h"
#include "repair/browser_repair.h"

namespace tidemark {

class TCleaner;

// One record of the walk: an entry of a chosen plug-in's plan, or (Item null) the plug-in itself,
// which follows its entries (its outcome: Done when nothing of its plan is left, else Failed).
struct PluginCleanRecord {
    TPluginObj* Plugin = nullptr;
    std::size_t Position = 0;  // among the chosen
    ItemKind Kind = ItemFile;
    TSingleItem* Item = nullptr;
};

// The records of a clean of chosen, in the order the clean processes them.
std::vector<PluginCleanRecord> PlanPluginClean(const std::vector<TPluginObj*>& chosen);

struct PluginCleanRun {
    Operation<PluginCleanRecord> Op;
    WalkMode Mode = WalkMode::Apply;
    // The repairs after the objects, handed the file and folder-tree removals of the process's
    // removal service; empty: RunPostCleanRepairs.
    std::function<void(FileOperation deleteFile, FileOperation removeTree)> Repairs;
    // Commits the boot-time list; empty: CommitBootDelete.
    std::function<BootCommitResult()> CommitBootList;
};

struct PluginCleanObject {
    TPluginObj* Plugin = nullptr;
    // Listed (a preview, or a stop came before it), Done, or Failed.
    Outcome Result = Outcome::Listed;
    // Why an unexpected error ended its clean (empty when none did).
    std::wstring Error;
};

struct PluginCleanResult {
    WalkMode Mode = WalkMode::Apply;
    std::vector<PluginCleanObject> Objects;  // in the order chosen
    WalkTotals Totals;                       // over every record, entries and plug-ins
    // The steps after the objects that an unexpected error ended ("hosts fix: why").
    std::vector<std::wstring> StepErrors;
    bool NotifyFixed = true;  // the Winlogon fix left nothing it meant to remove (or did not run)
    BootCommitResult Boot = BootCommitResult::NotNeeded;

    int FailedObjects() const;
    // Every plug-in cleaned, every step ran and the boot-time list (when needed) committed.
    bool Succeeded() const;
};

// Runs the walk over PlanPluginClean(chosen); in Apply mode the steps after it follow (also
// after a stop: what was removed still needs its repairs). Never throws: an unexpected error
// fails the plug-in it happened in (the walk goes on with the next one) or the step it ended,
// and is reported to the sink's Failed as well.
PluginCleanResult CleanPlugins(TCleaner& cleaner, const std::vector<TPluginObj*>& chosen, PluginCleanRun& run);

// The reason of the exception being handled (its text, or "unknown error"); only inside a
// catch block.
std::wstring CurrentExceptionReason();

// The name of a commit result for reports ("committed", "not needed", "list not saved", ...).
const char* BootCommitName(BootCommitResult result);

}  // namespace tidemark
