// repair check / repair run: what the repairs that follow every clean would change, and the
// repairs themselves, as the window runs them after a plug-in clean.
#include <windows.h>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "repair/browser_repair.h"
#include "repair/winsock2.h"
#include "system/file_ops.h"
#include "system/reg_paths.h"

namespace tidemark::cli {

namespace {

void PrintChange(CommandContext& ctx, const RepairChange& change, const bool* result) {
    const std::wstring root = change.Root ? RootFullName(change.Root) : std::wstring();
    if (ctx.args.json) {
        JsonObject line;
        line.Add("step", change.Step)
            .Add("root", root)
            .Add("key", change.Key)
            .Add("name", change.Name)
            .Add("now", change.Now)
            .Add("after", change.After);
        if (result) line.AddBool("result", *result);
        ctx.Line(line.Render());
        return;
    }
    std::string text = std::to_string(change.Step) + "\t" + ToUtf8(root.empty() ? change.Key : root + L"\\" + change.Key) +
                       "\t" + ToUtf8(change.Name) + "\t" + ToUtf8(change.Now) + " -> " + ToUtf8(change.After);
    if (result) text += *result ? "\tdone" : "\tfailed";
    ctx.Line(text);
}

void PrintSummary(CommandContext& ctx, int changes, int failed) {
    if (ctx.args.json) {
        ctx.Line(JsonObject().Add("summary", JsonObject().Add("changes", changes).Add("failed", failed)).Render());
    } else {
        ctx.Line(std::to_string(changes) + " changes, " + std::to_string(failed) + " failed");
    }
}

}  // namespace

int RunRepairCheck(CommandContext& ctx) {
    // As the window runs the sequence: with both deletion operations.
    const auto changes = PlanPostCleanRepairs(RepairSystemOfProcess(), true);
    for (const RepairChange& change : changes) PrintChange(ctx, change, nullptr);
    PrintSummary(ctx, static_cast<int>(changes.size()), 0);
    return ExitOk;
}

int RunRepairRun(CommandContext& ctx) {
    // The save dialog's stand-in: with --yes the backup goes to the current folder under the
    // name the dialog proposes (numbered when a file has it); otherwise the dialog counts as
    // cancelled (the question before it gets No anyway).
    const bool yes = ctx.args.yes;
    const BackupFileChooser previous = SetBackupFileChooser(
        [yes](const BackupFileRequest& request) -> std::optional<std::wstring> {
            if (!yes) return std::nullopt;
            wchar_t folder[MAX_PATH] = {};
            const DWORD n = GetCurrentDirectoryW(MAX_PATH, folder);
            if (n == 0 || n >= MAX_PATH) return std::nullopt;
            std::wstring path = folder;
            if (path.back() != L'\\') path += L'\\';
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
    int changes = 0, failed = 0;
    RunPostCleanRepairs(RepairSystemOfProcess(), &DeleteFileForce, &RemoveFolderTree,
                        [&](const RepairChange& change, bool result) {
                            ++changes;
                            if (!result) ++failed;
                            PrintChange(ctx, change, &result);
                        });
    SetBackupFileChooser(previous);
    PrintSummary(ctx, changes, failed);
    return failed ? ExitItemFailed : ExitOk;
}

}  // namespace tidemark::cli
