// junk scan / junk clean: the junk-file scan of the window's automatic mode (or of the folders
// named with --root), and the deletion of everything it lists (or, with --preview, the list of
// what the deletion would process).
#include <windows.h>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "junk/junk_clean.h"
#include "junk/junk_scan.h"
#include "lang/text_tables.h"
#include "settings/settings_store.h"
#include "system/file_ops.h"
#include "system/sys_misc.h"

namespace tidemark::cli {

namespace {

// One line on standard error, rewritten in place at most ten times a second, only when standard
// error is a console.
class ProgressLine {
public:
    explicit ProgressLine(Output& out) : out_(out) {
        DWORD mode = 0;
        const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
        shown_ = dynamic_cast<StdOutput*>(&out) != nullptr && err != nullptr && err != INVALID_HANDLE_VALUE &&
                 GetConsoleMode(err, &mode);
    }
    ~ProgressLine() {
        if (shown_ && written_) out_.Err("\r" + std::string(79, ' ') + "\r");
    }
    void Show(const std::string& text, bool force = false) {
        if (!shown_) return;
        const DWORD now = GetTickCount();
        if (!force && written_ && now - last_ < 100) return;
        last_ = now;
        written_ = true;
        std::string line = text.size() > 78 ? text.substr(0, 30) + "..." + text.substr(text.size() - 45) : text;
        out_.Err("\r" + line + std::string(79 - std::min<std::size_t>(line.size(), 79), ' '));
    }

private:
    Output& out_;
    bool shown_ = false;
    bool written_ = false;
    DWORD last_ = 0;
};

class ScanProgress final : public Sink<JunkListed> {
public:
    explicit ScanProgress(ProgressLine& line) : line_(line) {}
    void Progressed(const Progress& progress) override {
        line_.Show(std::to_string(progress.done) + " files  " + ToUtf8(progress.current));
    }

private:
    ProgressLine& line_;
};

struct ScanRun {
    JunkScanResult result;
    std::uint64_t seconds = 0;
    bool ran = false;  // false: no folder or no rule, and the notice was given
    bool badRoot = false;  // a --root that is no folder; nothing was scanned
};

// The folders named with --root; false (and a message naming it) when one is not a folder.
bool NamedRoots(CommandContext& ctx, std::vector<std::wstring>& folders) {
    const auto roots = ctx.args.options.equal_range(L"--root");
    for (auto it = roots.first; it != roots.second; ++it) {
        const DWORD attributes = it->second.empty() ? INVALID_FILE_ATTRIBUTES
                                                    : GetFileAttributesW(ExtendedPath(it->second).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ctx.Error("tidemark-cli: --root '" + ToUtf8(it->second) + "' is not a folder");
            return false;
        }
        folders.push_back(it->second);
    }
    return true;
}

// The scan as the window runs it: default states stored first when they are missing, the general
// rule set, the fixed drives unless --root names folders.
ScanRun RunScan(CommandContext& ctx, ProgressLine& line) {
    ScanRun run;
    JunkScanRequest request;
    if (!NamedRoots(ctx, request.folders)) {
        run.badRoot = true;
        return run;
    }
    const unsigned langId = GetSystemDefaultLangID();
    if (ReadSettingText(kFileExtEnabled).size() < kBuiltInTypeCount) (void)WriteSettingText(kFileExtEnabled, kDefaultTypeStates);
    if (request.folders.empty()) request.folders = ctx.context.Drives.Roots;
    if (request.folders.empty()) {
        ctx.Error(ToUtf8(GetUiText(90019, langId)));
        return run;
    }
    request.rules = BuildJunkRuleSet(langId);
    if (request.rules.patterns.empty() && request.rules.extensions.empty()) {
        ctx.Error(ToUtf8(GetUiText(90012, langId)));
        return run;
    }
    request.excludedFolders = SystemAppDataFolders();
    ScanProgress sink(line);
    NullPump pump;
    StopToken stop;
    const DWORD start = GetTickCount();
    run.result = ScanJunk(request, {sink, pump, stop});
    run.seconds = (GetTickCount() - start) / 1000;
    run.ran = true;
    return run;
}

std::int64_t Count(std::uint64_t n) { return static_cast<std::int64_t>(n); }

int JunkScan(CommandContext& ctx) {
    ProgressLine line(ctx.out);
    const ScanRun run = RunScan(ctx, line);
    if (run.badRoot) return ExitUsage;
    line.Show("", true);
    const JunkScanResult& result = run.result;
    // In the order found, as the result tree lists them within their groups.
    for (std::size_t i = 0; i < result.files.size(); ++i) {
        const JunkFile& file = result.files[i];
        const JunkGroup& group = result.groups[file.group];
        if (ctx.args.json) {
            ctx.Line(JsonObject()
                         .Add("rule", group.ruleIndex)
                         .Add("group", group.groupType)
                         .Add("description", group.description)
                         .Add("path", result.FullPath(file))
                         .Add("size", Count(file.bytes))
                         .AddRaw("size_kb", ToUtf8(CentiText(file.centiKb)))
                         .Render());
        } else {
            ctx.Line(ToUtf8(group.groupType) + "\t" + ToUtf8(CentiText(file.centiKb)) + " KB (" + std::to_string(file.bytes) +
                     " bytes)\t" + ToUtf8(result.FullPath(file)));
        }
    }
    const std::wstring elapsed = ElapsedText(run.seconds);
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject()
                                         .Add("files", static_cast<std::int64_t>(result.files.size()))
                                         .AddRaw("total_kb", ToUtf8(CentiText(result.totalCentiKb)))
                                         .Add("unreadable", Count(result.unreadable))
                                         .Add("elapsed", elapsed))
                     .Render());
    } else {
        ctx.Line(std::to_string(result.files.size()) + " files, " + ToUtf8(CentiText(result.totalCentiKb)) + " KB (" +
                 ToUtf8(CentiText(CentiMbOfCentiKb(result.totalCentiKb))) + " MB), " +
                 std::to_string(result.unreadable) + " folders unreadable, " + ToUtf8(elapsed));
    }
    return ExitOk;
}

int JunkClean(CommandContext& ctx) {
    const bool preview = ctx.Flag(L"--preview");
    JunkMethod method = JunkMethodOfSetting(ReadSettingInt(kDirectDel, 0));
    const auto given = ctx.args.options.find(L"--method");
    if (given != ctx.args.options.end()) {
        if (given->second == L"direct") {
            method = JunkMethod::Direct;
        } else if (given->second == L"recycle") {
            method = JunkMethod::Recycle;
        } else {
            ctx.Error("tidemark-cli: --method takes direct or recycle");
            return ExitUsage;
        }
    }
    ProgressLine line(ctx.out);
    const DWORD start = GetTickCount();
    const ScanRun run = RunScan(ctx, line);
    if (run.badRoot) return ExitUsage;
    const JunkScanResult& result = run.result;

    // Each file is reported right after its removal: the refusals for want of administrator
    // rights counted since the last one are its own.
    class CleanReport final : public Sink<JunkCleanRecord> {
    public:
        CleanReport(CommandContext& ctx, ProgressLine& line, std::size_t total) : ctx_(ctx), line_(line), total_(total) {}
        void Processed(const JunkCleanRecord& record, Outcome outcome) override {
            const std::wstring path = record.result.FullPath(record.index);
            const bool needsAdmin = refusals_.TakeNew() > 0 && outcome == Outcome::Failed;
            needingAdmin += needsAdmin ? 1 : 0;
            if (ctx_.args.json) {
                ctx_.Line(JsonObject()
                              .Add("path", path)
                              .Add("result", ResultName(outcome))
                              .AddIf(needsAdmin, "reason", kNeedsAdminReason)
                              .Render());
            } else {
                ctx_.Line(ToUtf8(ResultName(outcome)) + "\t" + ToUtf8(path) +
                          (needsAdmin ? "\t" + ToUtf8(kNeedsAdminReason) : std::string()));
            }
            line_.Show(std::to_string(++done_) + " / " + std::to_string(total_) + "  " + ToUtf8(path));
        }
        std::uint64_t needingAdmin = 0;

    private:
        CommandContext& ctx_;
        ProgressLine& line_;
        std::size_t total_;
        std::size_t done_ = 0;
        AdminRefusalTally refusals_;
    } report(ctx, line, result.files.size());
    NullPump pump;
    StopToken stop;
    const JunkCleanTotals totals = CleanJunkFiles(result, FilesInGroupOrder(result), method, {report, pump, stop},
                                                  preview ? WalkMode::Preview : WalkMode::Apply);
    line.Show("", true);
    const std::wstring elapsed = ElapsedText((GetTickCount() - start) / 1000);
    // A refusal by the removal guard is a failure here.
    const std::uint64_t failed = totals.failed + totals.refused;
    if (preview) {
        if (ctx.args.json) {
            ctx.Line(JsonObject()
                         .Add("summary", JsonObject()
                                             .Add("files", Count(result.files.size()))
                                             .AddRaw("total_kb", ToUtf8(CentiText(result.totalCentiKb)))
                                             .Add("listed", Count(totals.listed))
                                             .Add("unreadable", Count(result.unreadable))
                                             .Add("elapsed", elapsed))
                         .Render());
        } else {
            ctx.Line(std::to_string(totals.listed) + " files listed, " + std::to_string(result.unreadable) +
                     " folders unreadable, " + ToUtf8(elapsed));
        }
        return ExitOk;
    }
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject()
                                         .Add("files", Count(result.files.size()))
                                         .AddRaw("total_kb", ToUtf8(CentiText(result.totalCentiKb)))
                                         .Add("cleaned", Count(totals.Cleaned()))
                                         .Add("reboot", Count(totals.reboot))
                                         .Add("failed", Count(failed))
                                         .Add("needs_admin", Count(report.needingAdmin))
                                         .Add("missing", Count(totals.missing))
                                         .Add("unreadable", Count(result.unreadable))
                                         .Add("elapsed", elapsed))
                     .Render());
    } else {
        ctx.Line(std::to_string(totals.Cleaned()) + " of " + std::to_string(result.files.size()) + " files cleaned, " +
                 std::to_string(totals.reboot) + " at restart, " + std::to_string(failed) + " failed, " +
                 (report.needingAdmin ? std::to_string(report.needingAdmin) + " need administrator rights, "
                                      : std::string()) +
                 std::to_string(totals.missing) + " missing, " + std::to_string(result.unreadable) +
                 " folders unreadable, " + ToUtf8(elapsed));
    }
    return failed > 0 ? ExitItemFailed : ExitOk;
}

}  // namespace

int RunJunkScan(CommandContext& ctx) {
    return ReportingFailure(ctx, [&] { return JunkScan(ctx); });
}

int RunJunkClean(CommandContext& ctx) {
    return ReportingFailure(ctx, [&] { return JunkClean(ctx); });
}

}  // namespace tidemark::cli
