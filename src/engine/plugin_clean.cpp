#include "engine/plugin_clean.h"

#include <exception>

#include "engine/cleaner.h"
#include "engine/soft_obj.h"
#include "removal/removal_service.h"
#include "system/ansi_text.h"
#include "system/win_sys.h"

namespace tidemark {

namespace {

bool Gone(Outcome outcome) {
    return outcome == Outcome::Done || outcome == Outcome::Recycled || outcome == Outcome::Missing;
}

}  // namespace

std::wstring CurrentExceptionReason() {
    try {
        throw;
    } catch (const std::exception& error) {
        return FromAnsi(error.what());
    } catch (...) {
        return L"unknown error";
    }
}

std::vector<PluginCleanRecord> PlanPluginClean(const std::vector<TPluginObj*>& chosen) {
    std::vector<PluginCleanRecord> records;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        TPluginObj* plugin = chosen[i];
        if (!plugin) continue;
        for (const PluginEntry& entry : plugin->CleanPlan()) records.push_back({plugin, i, entry.Kind, entry.Item});
        records.push_back({plugin, i, ItemFile, nullptr});
    }
    return records;
}

int PluginCleanResult::FailedObjects() const {
    int failed = 0;
    for (const PluginCleanObject& object : Objects) failed += object.Result == Outcome::Failed ? 1 : 0;
    return failed;
}

bool PluginCleanResult::Succeeded() const {
    const bool committed = Boot == BootCommitResult::Committed || Boot == BootCommitResult::NotNeeded;
    return FailedObjects() == 0 && StepErrors.empty() && NotifyFixed && committed;
}

PluginCleanResult CleanPlugins(TCleaner& cleaner, const std::vector<TPluginObj*>& chosen, PluginCleanRun& run) {
    PluginCleanResult result;
    result.Mode = run.Mode;
    for (TPluginObj* plugin : chosen) result.Objects.push_back(PluginCleanObject{plugin, Outcome::Listed, {}});
    std::vector<bool> allGone(chosen.size(), true);
    const auto fail = [&](PluginCleanObject& object, std::size_t position) {
        object.Error = CurrentExceptionReason();
        allGone[position] = false;
        run.Op.sink.Failed(Failure{(object.Plugin ? object.Plugin->Name : std::wstring()) + L": " + object.Error, 0});
    };
    const auto apply = [&](const PluginCleanRecord& record) -> Outcome {
        PluginCleanObject& object = result.Objects[record.Position];
        if (!record.Item) {
            object.Result = allGone[record.Position] && object.Error.empty() ? Outcome::Done : Outcome::Failed;
            return object.Result;
        }
        // An unexpected error ended this plug-in's clean: the rest of its plan stays.
        if (!object.Error.empty()) return Outcome::Failed;
        try {
            const Outcome outcome = record.Plugin->RemoveEntry(PluginEntry{record.Kind, record.Item});
            if (!Gone(outcome)) allGone[record.Position] = false;
            return outcome;
        } catch (...) {
            fail(object, record.Position);
            return Outcome::Failed;
        }
    };
    result.Totals = Walk(PlanPluginClean(chosen), run.Mode, run.Op, apply);
    if (run.Mode == WalkMode::Preview) return result;

    const auto step = [&](const wchar_t* name, const std::function<void()>& body) {
        try {
            body();
        } catch (...) {
            result.StepErrors.push_back(std::wstring(name) + L": " + CurrentExceptionReason());
            run.Op.sink.Failed(Failure{result.StepErrors.back(), 0});
        }
    };
    step(L"post-clean repairs", [&] {
        if (run.Repairs) {
            run.Repairs(&RemoveFileNow, &RemoveFolderTreeGuarded);
        } else {
            RunPostCleanRepairs(&RemoveFileNow, &RemoveFolderTreeGuarded);
        }
    });
    const ScriptFixRequests fixes = DefinitionFixRequests();
    if (fixes.HostsFixWanted) {
        step(L"hosts fix", [&] {
            std::wstring hosts;
            GetWinSys().GetHostsPath(hosts);
            if (!hosts.empty()) cleaner.FixHostsFile(hosts);
        });
    }
    if (fixes.NotifyFixWanted) step(L"Winlogon fix", [&] { result.NotifyFixed = cleaner.FixWinlogonNotify(); });
    step(L"boot-time list", [&] { result.Boot = run.CommitBootList ? run.CommitBootList() : CommitBootDelete(); });
    return result;
}

const char* BootCommitName(BootCommitResult result) {
    switch (result) {
        case BootCommitResult::Committed: return "committed";
        case BootCommitResult::NotNeeded: return "not needed";
        case BootCommitResult::ListNotSaved: return "list not saved";
        case BootCommitResult::ToolNotWritten: return "tool not written";
        case BootCommitResult::BootEntryNotWritten: return "boot entry not written";
    }
    return "";
}

}  // namespace tidemark
