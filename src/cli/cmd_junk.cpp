// junk scan / junk clean: the junk-file scan of the window's automatic mode (or of the folders
// named with --root), and the deletion of everything it lists.
#include <windows.h>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "junk/junk_clean.h"
#include "junk/junk_scan.h"
#include "lang/text_tables.h"
#include "settings/settings_store.h"

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

std::wstring Widen(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

struct ScanRun {
    JunkScanResult result;
    std::uint64_t seconds = 0;
    bool ran = false;  // false: no folder or no rule, and the notice was given
};

// The scan as the window runs it: default states stored first when they are missing, the general
// rule set, the fixed drives unless --root names folders.
ScanRun RunScan(CommandContext& ctx, ProgressLine& line) {
    ScanRun run;
    const unsigned langId = GetSystemDefaultLangID();
    if (ReadSettingText(kFileExtEnabled).size() < kBuiltInTypeCount) (void)WriteSettingText(kFileExtEnabled, kDefaultTypeStates);
    JunkScanRequest request;
    const auto roots = ctx.args.options.equal_range(L"--root");
    for (auto it = roots.first; it != roots.second; ++it) request.folders.push_back(it->second);
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

}  // namespace

int RunJunkScan(CommandContext& ctx) {
    ProgressLine line(ctx.out);
    const ScanRun run = RunScan(ctx, line);
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
                         .AddRaw("size_kb", ToUtf8(CentiText(file.centiKb)))
                         .Render());
        } else {
            ctx.Line(ToUtf8(group.groupType) + "\t" + ToUtf8(CentiText(file.centiKb)) + "\t" + ToUtf8(result.FullPath(file)));
        }
    }
    const std::wstring elapsed = ElapsedText(run.seconds);
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject()
                                         .Add("files", static_cast<std::int64_t>(result.files.size()))
                                         .AddRaw("total_kb", ToUtf8(CentiText(result.totalCentiKb)))
                                         .Add("elapsed", elapsed))
                     .Render());
    } else {
        ctx.Line(std::to_string(result.files.size()) + " files, " + ToUtf8(CentiText(result.totalCentiKb)) + " KB (" +
                 ToUtf8(CentiText(CentiMbOfCentiKb(result.totalCentiKb))) + " MB), " + ToUtf8(elapsed));
    }
    return ExitOk;
}

int RunJunkClean(CommandContext& ctx) {
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
    const JunkScanResult& result = run.result;

    class CleanReport final : public Sink<JunkCleanRecord> {
    public:
        CleanReport(CommandContext& ctx, ProgressLine& line, std::size_t total) : ctx_(ctx), line_(line), total_(total) {}
        void Processed(const JunkCleanRecord& record, Outcome outcome) override {
            const std::wstring path = record.result.FullPath(record.index);
            if (ctx_.args.json) {
                ctx_.Line(JsonObject().Add("path", path).Add("result", Widen(OutcomeName(outcome))).Render());
            } else {
                ctx_.Line(std::string(OutcomeName(outcome)) + "\t" + ToUtf8(path));
            }
            line_.Show(std::to_string(++done_) + " / " + std::to_string(total_) + "  " + ToUtf8(path));
        }

    private:
        CommandContext& ctx_;
        ProgressLine& line_;
        std::size_t total_;
        std::size_t done_ = 0;
    } report(ctx, line, result.files.size());
    NullPump pump;
    StopToken stop;
    const JunkCleanTotals totals = CleanJunkFiles(result, FilesInGroupOrder(result), method, {report, pump, stop});
    line.Show("", true);
    const std::wstring elapsed = ElapsedText((GetTickCount() - start) / 1000);
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject()
                                         .Add("files", static_cast<std::int64_t>(result.files.size()))
                                         .AddRaw("total_kb", ToUtf8(CentiText(result.totalCentiKb)))
                                         .Add("cleaned", static_cast<std::int64_t>(totals.Cleaned()))
                                         .Add("reboot", static_cast<std::int64_t>(totals.reboot))
                                         .Add("elapsed", elapsed))
                     .Render());
    } else {
        ctx.Line(std::to_string(totals.Cleaned()) + " of " + std::to_string(result.files.size()) + " files cleaned, " +
                 std::to_string(totals.reboot) + " at restart, " + std::to_string(totals.failed) + " failed, " +
                 std::to_string(totals.missing) + " missing, " + ToUtf8(elapsed));
    }
    return totals.failed > 0 ? ExitItemFailed : ExitOk;
}

}  // namespace tidemark::cli
