// reg scan / reg fix / score: the registry view's scan and fix, and the health score.
#include <windows.h>

#include <cwchar>
#include <set>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include <optional>

#include "registry/registry_scan.h"
#include "system/reg_view.h"
#include "undo/journal.h"
#include "support/health_score.h"
#include "system/disk_space.h"
#include "system/sys_misc.h"

namespace tidemark::cli {

namespace {

std::wstring Elapsed(DWORD startTicks) {
    const DWORD seconds = (GetTickCount() - startTicks) / 1000;
    wchar_t text[32];
    std::swprintf(text, 32, L"%02lu:%02lu:%02lu", static_cast<unsigned long>(seconds / 3600),
                  static_cast<unsigned long>(seconds / 60 % 60), static_cast<unsigned long>(seconds % 60));
    return text;
}

// The categories named with --category, in the list's order; without any, 0-2 (the thorough
// search only when named). False on a bad number.
bool Categories(CommandContext& ctx, std::vector<int>& categories) {
    std::set<int> wanted;
    for (auto [it, end] = ctx.args.options.equal_range(L"--category"); it != end; ++it) {
        wchar_t* stop = nullptr;
        const long n = std::wcstol(it->second.c_str(), &stop, 10);
        if (it->second.empty() || *stop != L'\0' || n < 0 || n >= kRegCategoryCount) {
            ctx.Error("tidemark-cli: --category takes 0 to 3, not '" + ToUtf8(it->second) + "'");
            return false;
        }
        wanted.insert(static_cast<int>(n));
    }
    if (wanted.empty()) wanted = {0, 1, 2};
    categories.assign(wanted.begin(), wanted.end());
    return true;
}

// Findings kept in order; one progress line on a console's standard error, ten times a second at most.
class Collector final : public Sink<TDataRegItems> {
public:
    explicit Collector(CommandContext& ctx) : ctx_(ctx) {
        DWORD mode = 0;
        console_ = GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
    }
    ~Collector() override {
        if (shown_) ctx_.out.Err("\r" + std::string(79, ' ') + "\r");
    }
    void Found(const TDataRegItems& row) override { rows.push_back(row); }
    // A key that could not be read: named on standard error and counted.
    void Failed(const Failure& failure) override {
        ++unreadable;
        ctx_.Error("tidemark-cli: cannot read " + ToUtf8(failure.item) + " (error " + std::to_string(failure.error) + ")");
    }
    void Progressed(const Progress& progress) override {
        if (!console_ || GetTickCount() - last_ < 100) return;
        last_ = GetTickCount();
        std::string line = std::to_string(rows.size()) + " found  " + ToUtf8(progress.current);
        if (line.size() > 78) line = line.substr(0, 78);
        ctx_.out.Err("\r" + line + std::string(78 - line.size(), ' '));
        shown_ = true;
    }
    std::vector<TDataRegItems> rows;
    std::int64_t unreadable = 0;

private:
    CommandContext& ctx_;
    bool console_ = false, shown_ = false;
    DWORD last_ = 0;
};

JsonObject FindingObject(const TDataRegItems& row) {
    JsonObject object = JsonObject()
                            .Add("category", row.Category)
                            .Add("category_name", row.CategoryName)
                            .Add("root", RootName(row.Root))
                            .Add("key", SystemKeyPath(row.KeyPath))
                            .Add("name", row.Name);
    if (SystemIs64Bit()) object.Add("view", ViewNumber(row.View));
    return object;
}

std::string FindingText(const TDataRegItems& row) {
    return std::to_string(row.Category) + "\t" + ToUtf8(row.CategoryName) + "\t" +
           ToUtf8(RootName(row.Root) + L"\\" + SystemKeyPath(row.KeyPath)) + "\t" + ToUtf8(row.Name.empty() ? L"(default)" : row.Name) +
           (SystemIs64Bit() ? "\tview " + std::to_string(ViewNumber(row.View)) : std::string());
}

// unreadable (when given) receives the number of keys the scan could not read.
std::vector<TDataRegItems> Scan(CommandContext& ctx, const std::vector<int>& categories,
                                std::int64_t* unreadable = nullptr) {
    const std::vector<TDataRegDefault> list = RegistryCategories(GetSystemDefaultLangID());
    Collector found(ctx);
    NullPump pump;
    StopToken stop;
    SystemPathProbe probe;
    RegScanRun run{found, pump, stop, probe, list};
    ScanRegistryCategories(categories, run);
    if (unreadable) *unreadable = found.unreadable;
    return std::move(found.rows);
}

}  // namespace

int RunRegScan(CommandContext& ctx) {
    std::vector<int> categories;
    if (!Categories(ctx, categories)) return ExitUsage;
    const DWORD start = GetTickCount();
    std::int64_t unreadable = 0;
    const std::vector<TDataRegItems> rows = Scan(ctx, categories, &unreadable);
    for (const TDataRegItems& row : rows) ctx.Line(ctx.args.json ? FindingObject(row).Render() : FindingText(row));
    const std::wstring elapsed = Elapsed(start);
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject()
                                         .Add("findings", static_cast<std::int64_t>(rows.size()))
                                         .Add("unreadable", unreadable)
                                         .Add("elapsed", elapsed))
                     .Render());
    } else {
        ctx.Line(std::to_string(rows.size()) + " findings, " + ToUtf8(elapsed) +
                 (unreadable ? ", " + std::to_string(unreadable) + " keys unreadable" : std::string()));
    }
    return ExitOk;
}

int RunRegFix(CommandContext& ctx) {
    std::vector<int> categories;
    if (!Categories(ctx, categories)) return ExitUsage;
    const auto backup = ctx.args.options.find(L"--backup");
    if (backup != ctx.args.options.end() && backup->second.empty()) {
        ctx.Error("tidemark-cli: --backup takes a file name");
        return ExitUsage;
    }
    const DWORD start = GetTickCount();
    std::int64_t unreadable = 0;
    const std::vector<TDataRegItems> rows = Scan(ctx, categories, &unreadable);
    const bool preview = ctx.Flag(L"--preview");
    if (!preview && backup != ctx.args.options.end() && !WriteRegistryBackup(backup->second, rows)) {
        ctx.Error("tidemark-cli: the backup '" + ToUtf8(backup->second) + "' cannot be written; nothing was removed");
        return ExitItemFailed;
    }

    // Each removal the system refuses for want of administrator rights is counted here as the
    // fix makes it, so the row reported next knows whether it was one.
    AdminRefusalTally refusals;
    struct Reporter final : Sink<TDataRegItems> {
        Reporter(CommandContext& c, AdminRefusalTally& r) : ctx(c), refusals(r) {}
        void Processed(const TDataRegItems& row, Outcome outcome) override {
            const bool needsAdmin = refusals.TakeNew() > 0 && outcome == Outcome::Failed;
            if (outcome == Outcome::Listed) {
                ctx.Line(ctx.args.json ? FindingObject(row).Add("result", L"listed").Render()
                                       : FindingText(row) + "\tlisted");
                return;
            }
            if (outcome == Outcome::Missing) {
                // Put back or changed since the scan: left alone.
                ctx.Error("tidemark-cli: left alone (no longer missing, or gone already): " + FindingText(row));
                return;
            }
            const bool removed = outcome == Outcome::Done;
            failed += removed ? 0 : 1;
            cleaned += removed ? 1 : 0;
            needingAdmin += needsAdmin ? 1 : 0;
            if (ctx.args.json) {
                ctx.Line(FindingObject(row)
                             .Add("result", removed ? L"removed" : L"failed")
                             .AddIf(needsAdmin, "reason", kNeedsAdminReason)
                             .Render());
            } else {
                ctx.Line(FindingText(row) + "\t" + (removed ? "removed" : "failed") +
                         (needsAdmin ? "\t" + ToUtf8(kNeedsAdminReason) : std::string()));
            }
        }
        CommandContext& ctx;
        AdminRefusalTally& refusals;
        int failed = 0, cleaned = 0, needingAdmin = 0;
    } reporter(ctx, refusals);
    NullPump pump;
    StopToken stop;
    SystemPathProbe probe;
    // Everything the fix removes is recorded in the undo journal first; without a journal
    // nothing is removed.
    std::optional<RecordedRun> journal;
    if (!preview) {
        journal.emplace(L"reg fix");
        if (!journal->Ready()) {
            ctx.Error("tidemark-cli: the undo journal cannot be written (" + ToUtf8(journal->Why()) +
                      "); nothing was removed");
            return ExitItemFailed;
        }
    }
    FixRegistryItems(rows, preview ? WalkMode::Preview : WalkMode::Apply, Operation<TDataRegItems>{reporter, pump, stop},
                     probe, journal ? journal->Service() : ProcessRemovalService());
    const std::wstring undo = journal ? journal->Finish() : std::wstring();
    const std::wstring elapsed = Elapsed(start);
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject()
                                         .Add("findings", static_cast<std::int64_t>(rows.size()))
                                         .Add("cleaned", reporter.cleaned)
                                         .Add("needs_admin", reporter.needingAdmin)
                                         .AddBool("preview", preview)
                                         .Add("unreadable", unreadable)
                                         .Add("elapsed", elapsed)
                                         .AddIf(!undo.empty(), "undo", undo))
                     .Render());
    } else {
        ctx.Line(preview ? std::to_string(rows.size()) + " findings would be removed (preview), " + ToUtf8(elapsed)
                         : std::to_string(reporter.cleaned) + " of " + std::to_string(rows.size()) +
                               " findings removed, " +
                               (reporter.needingAdmin ? std::to_string(reporter.needingAdmin) +
                                                            " need administrator rights, "
                                                      : std::string()) +
                               ToUtf8(elapsed) +
                               (undo.empty() ? std::string() : ", undo " + ToUtf8(undo)));
    }
    return reporter.failed ? ExitItemFailed : ExitOk;
}

int RunScore(CommandContext& ctx) {
    const std::vector<TDataRegDefault> list = RegistryCategories(GetSystemDefaultLangID());
    struct Counter final : Sink<TDataRegItems> {
        void Found(const TDataRegItems&) override { ++count; }
        std::uint64_t count = 0;
    } counter;
    NullPump pump;
    StopToken stop;
    SystemPathProbe probe;
    RegScanRun run{counter, pump, stop, probe, list};
    ScanForHealthScore(run);
    const int free = DiskFreePercent();
    const int score = HealthScore(counter.count, free);
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("registry_junk", static_cast<std::int64_t>(counter.count))
                     .Add("disk_free_percent", free)
                     .Add("score", score)
                     .Render());
    } else {
        ctx.Line("Registry junk:     " + std::to_string(counter.count));
        ctx.Line("Disk free percent: " + std::to_string(free));
        ctx.Line("Score:             " + std::to_string(score));
    }
    return ExitOk;
}

}  // namespace tidemark::cli
