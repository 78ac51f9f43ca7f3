// repair check / repair run: what the repairs that follow every clean would change, and the
// repairs themselves, as the window runs them after a plug-in clean.
#include <windows.h>

#include <optional>

#include "cli/commands.h"
#include "system/reg_view.h"
#include "cli/json_writer.h"
#include "undo/journal.h"
#include "repair/browser_repair.h"
#include "repair/winsock2.h"
#include "removal/removal_service.h"
#include "system/app_data.h"
#include "system/reg_paths.h"
#include "system/sys_misc.h"

namespace tidemark::cli {

namespace {

// What a change is about, by the step of the sequence it belongs to.
const char* StepSubject(int step) {
    switch (step) {
        case 1: return "Start-up entry";
        case 2: return "Browser start page";
        case 3: return "WinSock2";
        case 4: return "Advertising file";
        case 5: return "Pending shutdown";
        default: return "Repair";
    }
}

std::string Quoted(const std::wstring& text) { return "\"" + ToUtf8(text) + "\""; }

// One change as a sentence: what it changes, where, and what is there now -> what will be there.
std::string ChangeSentence(const RepairChange& change, const std::wstring& root) {
    const std::string where = ToUtf8(root.empty() ? change.Key : root + L"\\" + change.Key);
    const std::string now = change.Now.empty() ? "(nothing)" : ToUtf8(change.Now);
    std::string what;
    std::string after = change.After.empty() ? "(removed)" : ToUtf8(change.After);
    switch (change.Action) {
        case RepairAction::DeleteValue:
            what = "the value " + Quoted(change.Name) + " of " + where + " is removed";
            break;
        case RepairAction::SetText:
            what = "the value " + Quoted(change.Name) + " of " + where + " is set";
            break;
        case RepairAction::SetInt:
            what = "the value " + Quoted(change.Name) + " of " + where + " is set";
            if (change.After.empty()) after = std::to_string(change.Number);
            break;
        case RepairAction::DeleteKey: what = "the key " + where + " is removed with everything below it"; break;
        case RepairAction::DeleteFile: what = "the file " + where + " is deleted"; break;
        case RepairAction::DeleteFolder: what = "the folder " + where + " is deleted with everything in it"; break;
        case RepairAction::RunProgram:
            return std::string(StepSubject(change.Step)) + ": " + ToUtf8(change.Key + change.Name) + " is run to cancel it";
        case RepairAction::ImportDefaults:
            what = "the default catalogues for " + ToUtf8(change.Name) + " are imported into " + where;
            break;
        case RepairAction::ResetCatalog: what = "the catalogues under " + where + " are reset"; break;
    }
    return std::string(StepSubject(change.Step)) + ": " + what + ": " + now + " -> " + after;
}

// result: "done", "failed", "listed" (a preview), or null (a check). needsAdmin: it failed for
// want of administrator rights.
void PrintChange(CommandContext& ctx, const RepairChange& change, const char* result, bool needsAdmin = false) {
    const std::wstring root = change.Root ? RootFullName(change.Root) : std::wstring();
    if (ctx.args.json) {
        JsonObject line;
        line.Add("step", change.Step)
            .Add("root", root)
            .Add("key", change.Key)
            .Add("name", change.Name)
            .Add("now", change.Now)
            .Add("after", change.After);
        if (change.Root && SystemIs64Bit()) line.Add("view", ViewNumber(change.View));
        if (result && std::string(result) == "listed") line.Add("result", L"listed");
        else if (result) line.AddBool("result", std::string(result) == "done");
        line.AddIf(needsAdmin, "reason", kNeedsAdminReason);
        ctx.Line(line.Render());
        return;
    }
    std::string text = ChangeSentence(change, root);
    if (change.Root && SystemIs64Bit()) text += " (" + std::to_string(ViewNumber(change.View)) + "-bit view)";
    if (result) text += std::string("\t") + result;
    if (needsAdmin) text += "\t" + ToUtf8(kNeedsAdminReason);
    ctx.Line(text);
}

// What a check or a preview found: nothing was tried, so nothing failed.
void PrintPlanSummary(CommandContext& ctx, int changes) {
    if (ctx.args.json) {
        ctx.Line(JsonObject().Add("summary", JsonObject().Add("changes", changes)).Render());
    } else {
        ctx.Line(std::to_string(changes) + (changes == 1 ? " change" : " changes") + " would be made");
    }
}

// A run's summary; needsAdmin: the changes that failed for want of administrator rights.
void PrintRunSummary(CommandContext& ctx, int changes, int failed, const std::wstring& undo, int needsAdmin) {
    if (ctx.args.json) {
        JsonObject summary;
        summary.Add("changes", changes).Add("failed", failed).Add("needs_admin", needsAdmin);
        ctx.Line(JsonObject().Add("summary", summary.AddIf(!undo.empty(), "undo", undo)).Render());
    } else {
        ctx.Line(std::to_string(changes) + " changes, " + std::to_string(failed) + " failed" +
                 (needsAdmin ? ", " + std::to_string(needsAdmin) + " need administrator rights" : std::string()) +
                 (undo.empty() ? std::string() : ", undo " + ToUtf8(undo)));
    }
}

}  // namespace

int RunRepairCheck(CommandContext& ctx) {
    // As the window runs the sequence: with both deletion operations.
    const auto changes = PlanPostCleanRepairs(RepairSystemOfProcess(), true);
    for (const RepairChange& change : changes) PrintChange(ctx, change, nullptr);
    PrintPlanSummary(ctx, static_cast<int>(changes.size()));
    return ExitOk;
}

int RunRepairRun(CommandContext& ctx) {
    if (ctx.Flag(L"--preview")) {
        // What the run would take on now, in its order; nothing changes.
        const auto changes = PlanPostCleanRepairs(RepairSystemOfProcess(), true);
        for (const RepairChange& change : changes) PrintChange(ctx, change, "listed");
        PrintPlanSummary(ctx, static_cast<int>(changes.size()));
        return ExitOk;
    }
    // The save dialog's stand-in: with --yes the backup goes to the program's backup folder
    // (under the user's application data, where no junk rule reaches it) under the name the
    // dialog proposes (numbered when a file has it); otherwise the dialog counts as cancelled
    // (the question before it gets No anyway).
    const bool yes = ctx.args.yes;
    const BackupFileChooser previous = SetBackupFileChooser(
        [yes, &ctx](const BackupFileRequest& request) -> std::optional<std::wstring> {
            if (!yes) return std::nullopt;
            std::wstring path = ProgramBackupFolder(true);
            if (path.empty()) {
                ctx.Error("tidemark-cli: the backup folder cannot be made; the WinSock2 repair is not run");
                return std::nullopt;
            }
            path += L'\\';
            // A backup made earlier in the same minute has the same name: it is kept, and this
            // one is numbered.
            const std::wstring name = request.ProposedName;
            const std::size_t dot = name.rfind(L'.');
            const std::wstring stem = name.substr(0, dot), extension = dot == std::wstring::npos ? L"" : name.substr(dot);
            std::wstring candidate = path + name;
            for (int n = 2; GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
                candidate = path + stem + L" (" + std::to_wstring(n) + L")" + extension;
            return candidate;
        });
    // Every change is recorded in the undo journal first; without a journal nothing changes.
    RecordedRun journal(L"repair run");
    if (!journal.Ready()) {
        SetBackupFileChooser(previous);
        ctx.Error("tidemark-cli: the undo journal cannot be written (" + ToUtf8(journal.Why()) + "); nothing was changed");
        return ExitItemFailed;
    }
    int changes = 0, failed = 0, needingAdmin = 0;
    {
        const ScopedJournal recording(*journal.Run());
        // Each change is reported right after it is tried: the refusals counted since the last
        // one are its own.
        AdminRefusalTally refusals;
        RunPostCleanRepairs(RepairSystemOfProcess(), &RemoveFileNow, &RemoveFolderTreeGuarded,
                            [&](const RepairChange& change, bool result) {
                                const bool needsAdmin = refusals.TakeNew() > 0 && !result;
                                ++changes;
                                if (!result) ++failed;
                                if (needsAdmin) ++needingAdmin;
                                PrintChange(ctx, change, result ? "done" : "failed", needsAdmin);
                            });
    }
    SetBackupFileChooser(previous);
    PrintRunSummary(ctx, changes, failed, journal.Finish(), needingAdmin);
    return failed ? ExitItemFailed : ExitOk;
}

}  // namespace tidemark::cli
