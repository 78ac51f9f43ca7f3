// traces scan / traces clean: the usage traces the trace page lists, and their removal (or, with
// --preview, the list of what the removal would process).
#include <windows.h>

#include <set>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "lang/text_tables.h"
#include "settings/settings_store.h"
#include "system/reg_ops.h"
#include "traces/trace_engine.h"

namespace tidemark::cli {

namespace {

// The groups named by --group (1 to 3), or all three.
bool SelectGroups(CommandContext& ctx, TraceTree& tree) {
    std::set<int> wanted;
    const auto range = ctx.args.options.equal_range(L"--group");
    for (auto it = range.first; it != range.second; ++it) {
        wchar_t* stop = nullptr;
        const long n = std::wcstol(it->second.c_str(), &stop, 10);
        if (it->second.empty() || *stop != L'\0' || n < 1 || n > 3) {
            ctx.Error("tidemark-cli: --group takes 1 to 3, not '" + ToUtf8(it->second) + "'");
            return false;
        }
        wanted.insert(static_cast<int>(n));
    }
    for (int g = 0; g < 3; ++g) tree.Groups[g].Selected = wanted.empty() || wanted.count(g + 1);
    return true;
}

int GroupOfTable(int table) {
    for (std::size_t g = 0; g < TraceGroups.size(); ++g)
        if (TraceGroups[g].Table == table) return static_cast<int>(g) + 1;
    return 0;
}

// One progress line on a console's standard error, ten times a second at most; counts the folders
// the scan could not read.
class Reporter final : public Sink<TraceEntry> {
public:
    explicit Reporter(CommandContext& ctx) : ctx_(ctx) {
        DWORD mode = 0;
        console_ = GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
    }
    ~Reporter() override {
        if (shown_) ctx_.out.Err("\r" + std::string(79, ' ') + "\r");
    }
    void Found(const TraceEntry&) override { ++found_; }
    void Failed(const Failure&) override { ++unreadable_; }
    std::int64_t Unreadable() const { return unreadable_; }
    void Progressed(const Progress& progress) override {
        if (!console_ || GetTickCount() - last_ < 100) return;
        last_ = GetTickCount();
        std::string line = std::to_string(found_) + " found  " + ToUtf8(progress.current);
        if (line.size() > 78) line = line.substr(0, 78);
        ctx_.out.Err("\r" + line + std::string(78 - line.size(), ' '));
        shown_ = true;
    }

private:
    CommandContext& ctx_;
    bool console_ = false, shown_ = false;
    DWORD last_ = 0;
    int found_ = 0;
    std::int64_t unreadable_ = 0;
};

void PrintEntry(CommandContext& ctx, const TraceEntry& entry, const Outcome* outcome) {
    const std::wstring item = GetUiText(TraceTextId(entry.Table, entry.Row), GetSystemDefaultLangID());
    const bool file = entry.Kind == TraceEntryKind::File;
    if (ctx.args.json) {
        JsonObject line;
        line.Add("group", GroupOfTable(entry.Table))
            .Add("table", entry.Table)
            .Add("row", entry.Row)
            .Add("item", item)
            .Add("kind", file ? L"file" : L"value")
            .Add("text", entry.Text)
            .Add("root", entry.RootName)
            .Add("key", entry.KeyPath);
        if (!file && SystemIs64Bit()) line.Add("view", ViewNumber(entry.View));
        if (outcome) line.Add("result", ResultName(*outcome));
        ctx.Line(line.Render());
        return;
    }
    std::string text = ToUtf8(item) + "\t";
    text += file ? ToUtf8(entry.Text)
                 : ToUtf8(entry.RootName + L"\\" + entry.KeyPath) + "\t" + (entry.Text.empty() ? "(default)" : ToUtf8(entry.Text)) +
                       (SystemIs64Bit() ? "\tview " + std::to_string(ViewNumber(entry.View)) : std::string());
    if (outcome) text += "\t" + ToUtf8(ResultName(*outcome));
    ctx.Line(text);
}

// Files and registry values, counted apart.
struct KindCount {
    std::int64_t files = 0, values = 0;
    void Add(const TraceEntry& entry) { ++(entry.Kind == TraceEntryKind::File ? files : values); }
    std::string Text() const {
        return std::to_string(files + values) + " traces (" + std::to_string(files) + " files, " +
               std::to_string(values) + " values)";
    }
};

std::wstring Elapsed(DWORD start) {
    const DWORD seconds = (GetTickCount() - start) / 1000;
    wchar_t text[16];
    swprintf(text, 16, L"%02lu:%02lu:%02lu", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

int TracesScan(CommandContext& ctx) {
    TraceTree tree = MakeTraceTree();
    if (!SelectGroups(ctx, tree)) return ExitUsage;
    const DWORD start = GetTickCount();
    std::int64_t unreadable = 0;
    {
        Reporter reporter(ctx);
        NullPump pump;
        StopToken stop;
        StartTraceScan(tree, TracePlacesOfSystem(), {reporter, pump, stop});
        unreadable = reporter.Unreadable();
    }
    KindCount count;
    for (const TraceGroupState& group : tree.Groups)
        for (const TraceItem& item : group.Items)
            for (const TraceEntry& entry : item.Entries) {
                PrintEntry(ctx, entry, nullptr);
                count.Add(entry);
            }
    const std::wstring elapsed = Elapsed(start);
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject()
                                         .Add("files", count.files)
                                         .Add("values", count.values)
                                         .Add("unreadable", unreadable)
                                         .Add("elapsed", elapsed))
                     .Render());
    } else {
        ctx.Line(count.Text() + ", " + std::to_string(unreadable) + " folders unreadable, " + ToUtf8(elapsed));
    }
    return ExitOk;
}

int TracesClean(CommandContext& ctx) {
    const bool preview = ctx.Flag(L"--preview");
    TraceTree tree = MakeTraceTree();
    if (!SelectGroups(ctx, tree)) return ExitUsage;
    const DWORD start = GetTickCount();
    NullPump pump;
    StopToken stop;
    std::int64_t unreadable = 0;
    {
        Reporter reporter(ctx);
        StartTraceScan(tree, TracePlacesOfSystem(), {reporter, pump, stop});
        unreadable = reporter.Unreadable();
    }
    // Reported in the order the clean handles them (a preview: the same order, as "listed").
    class Printer final : public Sink<TraceEntry> {
    public:
        explicit Printer(CommandContext& ctx) : ctx_(ctx) {}
        void Processed(const TraceEntry& entry, Outcome outcome) override {
            PrintEntry(ctx_, entry, &outcome);
            count.Add(entry);
        }
        CommandContext& ctx_;
        KindCount count;
    } printer(ctx);
    TraceCleanOptions options;
    options.Recycle = ReadRegIntDefault(HKEY_CURRENT_USER, kSettingsKey, kDirectDel, 0) != 0;
    const TraceCleanResult result =
        CleanTraces(tree, options, {printer, pump, stop}, preview ? WalkMode::Preview : WalkMode::Apply);
    const WalkTotals& t = result.Totals;
    const std::wstring elapsed = Elapsed(start);
    if (preview) {
        if (ctx.args.json) {
            ctx.Line(JsonObject()
                         .Add("summary", JsonObject()
                                             .Add("listed", static_cast<std::int64_t>(t.listed))
                                             .Add("files", printer.count.files)
                                             .Add("values", printer.count.values)
                                             .Add("unreadable", unreadable)
                                             .Add("elapsed", elapsed))
                         .Render());
        } else {
            ctx.Line(printer.count.Text() + " listed, " + std::to_string(unreadable) + " folders unreadable, " +
                     ToUtf8(elapsed));
        }
        return ExitOk;
    }
    if (result.HistoryFailed) ctx.Error("tidemark-cli: the browser's history store could not be opened");
    const std::uint64_t failed = t.failed + t.refused;
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject()
                                         .Add("files", printer.count.files)
                                         .Add("values", printer.count.values)
                                         .Add("cleaned", static_cast<std::int64_t>(t.done + t.recycled + t.missing))
                                         .Add("reboot", static_cast<std::int64_t>(t.deferred))
                                         .Add("failed", static_cast<std::int64_t>(failed))
                                         .Add("cache_entries", result.CacheEntries)
                                         .Add("cookies", result.Cookies)
                                         .Add("unreadable", unreadable)
                                         .Add("elapsed", elapsed))
                     .Render());
    } else {
        ctx.Line(std::to_string(t.done + t.recycled + t.missing) + " of " + printer.count.Text() + " cleaned, " + std::to_string(t.deferred) + " at restart, " + std::to_string(failed) +
                 " failed; " + std::to_string(result.CacheEntries) + " cache entries, " +
                 std::to_string(result.Cookies) + " cookies; " + std::to_string(unreadable) + " folders unreadable, " +
                 ToUtf8(elapsed));
    }
    return failed ? ExitItemFailed : ExitOk;
}

}  // namespace

int RunTracesScan(CommandContext& ctx) {
    return ReportingFailure(ctx, [&] { return TracesScan(ctx); });
}

int RunTracesClean(CommandContext& ctx) {
    return ReportingFailure(ctx, [&] { return TracesClean(ctx); });
}

}  // namespace tidemark::cli
