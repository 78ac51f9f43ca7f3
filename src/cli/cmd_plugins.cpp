// plugins scan / plugins clean: the browser plug-ins the plug-in page lists, and the removal of
// those named.
#include <windows.h>

#include <array>
#include <map>
#include <optional>
#include <set>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "engine/cleaner.h"
#include "engine/plugin_clean.h"
#include "system/sys_misc.h"
#include "system/text_case.h"
#include "undo/journal.h"

namespace tidemark::cli {

namespace {

// A name of ours (an outcome, a commit result), ASCII, as a JSON text.
std::wstring Ascii(const char* name) { return std::wstring(name, name + std::char_traits<char>::length(name)); }

struct ListedEntry {
    ItemKind Kind;
    const TSingleItem* Item;
};

// The entries of every plug-in in the order its Load reported them; it attaches itself to every
// plug-in a scan makes.
class EntryCollector final : public Sink<ItemReport>, public Sink<PluginFound> {
public:
    void Found(const PluginFound& found) override { found.Plugin->OnItem = this; }
    void Found(const ItemReport& report) override {
        entries_[report.Sender].push_back(ListedEntry{report.Kind, report.Item});
    }
    const std::vector<ListedEntry>& Of(const TPluginObj& plugin) const {
        static const std::vector<ListedEntry> none;
        const auto it = entries_.find(&plugin);
        return it == entries_.end() ? none : it->second;
    }

private:
    std::map<const TCleanInterface*, std::vector<ListedEntry>> entries_;
};

// The cleaner as the window creates it; exit status 3 (and why, on standard error) when it cannot be.
std::unique_ptr<TCleaner> CreateCleaner(CommandContext& ctx) {
    CleanerCreateError error;
    auto cleaner = TCleaner::Create(nullptr, DefaultCleanHost(), &error);
    if (!cleaner) {
        if (error.Definitions) {
            ctx.Error("tidemark-cli: the definition set cannot be loaded: " + ToUtf8(error.Definitions->Resource));
        } else {
            ctx.Error("tidemark-cli: the plug-in table cannot be read");
        }
        return cleaner;
    }
    for (const Failure& failure : cleaner->Definitions().RoutineFailures())
        ctx.Error("tidemark-cli: a definition check ended early: " + ToUtf8(failure.item));
    return cleaner;
}

// The key the scan made the plug-in for (the table's identifier, the registration's name or the
// menu text), read back from its registration entry.
std::wstring KeyOf(const TPluginObj& plugin) {
    const PluginRegistration* where = RegistrationOf(plugin.Kind);
    if (!where) return {};
    const std::wstring prefix = UpperCased(std::wstring(where->RootName) + L"\\" + where->Key + L"\\");
    const ItemList& list = plugin.Kind == 2 ? plugin.RegValues : plugin.RegKeys;
    for (const auto& entry : list) {
        if (entry->Path.size() > prefix.size() && UpperCased(entry->Path.substr(0, prefix.size())) == prefix)
            return entry->Path.substr(prefix.size());
    }
    return {};
}

// The key the console names a plug-in by: its kind and its class (or name), "bho:{...}", with
// "32" after the kind for one of the 32-bit registry view on 64-bit Windows. One class may be
// registered as a helper object and as a toolbar, and in both views: each is an object of its own.
std::wstring ObjectKey(const TPluginObj& plugin) {
    static constexpr const wchar_t* kKindTags[] = {L"bho", L"toolbar", L"menu", L"button", L"bar"};
    const std::wstring tag = plugin.Kind >= 1 && plugin.Kind <= std::size(kKindTags) ? kKindTags[plugin.Kind - 1u] : L"plugin";
    const bool view32 = SystemIs64Bit() && plugin.View == RegView::Bits32;
    return tag + (view32 ? L"32" : L"") + L":" + KeyOf(plugin);
}

// What a clean did to one entry: its outcome, and whether the system refused it for want of
// administrator rights.
struct EntryOutcome {
    Outcome Result = Outcome::Listed;
    bool NeedsAdmin = false;
};

// outcomes: the outcome of each entry (a clean or its preview), printed after its state.
// needsAdmin: the plug-in failed only for want of administrator rights.
void PrintPlugin(CommandContext& ctx, const TPluginObj& plugin, const std::vector<ListedEntry>& entries,
                 const bool* result, const std::vector<EntryOutcome>* outcomes = nullptr, bool needsAdmin = false) {
    const std::wstring kindName =
        plugin.Kind >= 1 && plugin.Kind <= PluginKindNames.size() ? PluginKindNames[plugin.Kind - 1u] : L"";
    const std::wstring riskName = RiskText(plugin.Risk).Text;
    const std::wstring key = ObjectKey(plugin);
    if (ctx.args.json) {
        std::string list = "[";
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const ListedEntry& entry = entries[i];
            if (list.size() > 1) list += ", ";
            JsonObject object;
            object.Add("item_kind", static_cast<int>(entry.Kind))
                .Add("state", static_cast<int>(entry.Item->State))
                .Add("text", entry.Item->Path);
            if (outcomes) {
                object.Add("outcome", Ascii(OutcomeName((*outcomes)[i].Result)))
                    .AddIf((*outcomes)[i].NeedsAdmin, "reason", kNeedsAdminReason);
            }
            list += object.Render();
        }
        list += "]";
        JsonObject line;
        line.Add("kind", static_cast<int>(plugin.Kind))
            .Add("kind_name", kindName)
            .Add("risk", static_cast<int>(plugin.Risk))
            .Add("risk_name", riskName)
            .Add("name", plugin.Name)
            .Add("key", key)
            .AddRaw("entries", list);
        if (SystemIs64Bit()) line.Add("view", ViewNumber(plugin.View));
        if (result) line.AddBool("result", *result).AddIf(needsAdmin, "reason", kNeedsAdminReason);
        ctx.Line(line.Render());
        return;
    }
    std::string text = ToUtf8(riskName) + "\t" + ToUtf8(kindName) + "\t" + ToUtf8(plugin.Name) + "\t" + ToUtf8(key);
    if (SystemIs64Bit()) text += "\tview " + std::to_string(ViewNumber(plugin.View));
    if (result) text += *result ? "\tcleaned" : "\tfailed";
    if (needsAdmin) text += "\t" + ToUtf8(kNeedsAdminReason);
    ctx.Line(text);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ListedEntry& entry = entries[i];
        std::string line = "    " + ToUtf8(ItemKindNames[entry.Kind]) + "\t" +
                           ToUtf8(EntryStateText(entry.Item->State).Text) + "\t" + ToUtf8(entry.Item->Path);
        if (outcomes) line += std::string("\t") + OutcomeName((*outcomes)[i].Result);
        if (outcomes && (*outcomes)[i].NeedsAdmin) line += "\t" + ToUtf8(kNeedsAdminReason);
        ctx.Line(line);
    }
}

// The five scans in the page's order; every plug-in made reports its entries to collector.
void ScanAll(TCleaner& cleaner, EntryCollector& collector) {
    for (const PluginScan scan : kPluginScanOrder) (cleaner.*scan)(&collector);
}

// Each record of the clean (or its preview) as it is processed: the entries' outcomes, kept
// until their plug-in's own record prints it; unexpected errors on standard error. A plug-in
// whose every entry that stayed was refused for want of administrator rights needs them.
class CleanPrinter final : public Sink<PluginCleanRecord> {
public:
    explicit CleanPrinter(CommandContext& ctx) : ctx_(ctx) {}
    void Processed(const PluginCleanRecord& record, Outcome outcome) override {
        const bool refused = refusals_.TakeNew() > 0;
        if (record.Item) {
            entries_.push_back(ListedEntry{record.Kind, record.Item});
            outcomes_.push_back(EntryOutcome{outcome, refused && outcome == Outcome::Failed});
            return;
        }
        if (outcome == Outcome::Listed) {
            PrintPlugin(ctx_, *record.Plugin, entries_, nullptr, &outcomes_);
        } else {
            const bool result = outcome == Outcome::Done;
            bool stayed = false, onlyForRights = true;
            for (const EntryOutcome& entry : outcomes_) {
                if (entry.Result == Outcome::Done || entry.Result == Outcome::Recycled || entry.Result == Outcome::Missing)
                    continue;
                stayed = true;
                onlyForRights = onlyForRights && entry.NeedsAdmin;
            }
            const bool needsAdmin = !result && stayed && onlyForRights;
            needingAdmin_ += needsAdmin ? 1 : 0;
            PrintPlugin(ctx_, *record.Plugin, entries_, &result, &outcomes_, needsAdmin);
        }
        entries_.clear();
        outcomes_.clear();
    }
    void Failed(const Failure& failure) override { ctx_.Error("tidemark-cli: " + ToUtf8(failure.item)); }
    // The plug-ins that failed only for want of administrator rights.
    int NeedingAdmin() const { return needingAdmin_; }

private:
    CommandContext& ctx_;
    AdminRefusalTally refusals_;
    std::vector<ListedEntry> entries_;
    std::vector<EntryOutcome> outcomes_;
    int needingAdmin_ = 0;
};

}  // namespace

int RunPluginsScan(CommandContext& ctx) {
    const auto cleaner = CreateCleaner(ctx);
    if (!cleaner) return ExitNoEngine;
    EntryCollector collector;
    ScanAll(*cleaner, collector);
    for (const auto& plugin : cleaner->Plugins) PrintPlugin(ctx, *plugin, collector.Of(*plugin), nullptr);
    const int count = static_cast<int>(cleaner->Plugins.size());
    if (ctx.args.json) {
        ctx.Line(JsonObject().Add("summary", JsonObject().Add("plugins", count)).Render());
    } else {
        ctx.Line(std::to_string(count) + " plug-ins");
    }
    return ExitOk;
}

int RunPluginsClean(CommandContext& ctx) {
    if (ctx.args.operands.empty()) {
        ctx.Error("tidemark-cli: name the plug-ins to clean by the key 'plugins scan' shows");
        return ExitUsage;
    }
    const auto cleaner = CreateCleaner(ctx);
    if (!cleaner) return ExitNoEngine;
    EntryCollector collector;
    ScanAll(*cleaner, collector);
    // Each key names one plug-in: by its own key as the scan shows it, or by the class (or name)
    // alone when exactly one plug-in has it. Nothing is removed unless every key names one.
    std::set<const TPluginObj*> wanted;
    for (const std::wstring& key : ctx.args.operands) {
        const std::wstring upper = UpperCased(key);
        std::vector<const TPluginObj*> exact, byClass;
        for (const auto& plugin : cleaner->Plugins) {
            if (UpperCased(ObjectKey(*plugin)) == upper) exact.push_back(plugin.get());
            if (UpperCased(KeyOf(*plugin)) == upper) byClass.push_back(plugin.get());
        }
        const std::vector<const TPluginObj*>& named = exact.empty() ? byClass : exact;
        if (named.empty()) {
            ctx.Error("tidemark-cli: no plug-in has the key " + ToUtf8(key));
            return ExitUsage;
        }
        if (named.size() > 1) {
            std::string keys;
            for (const TPluginObj* plugin : named) keys += (keys.empty() ? "" : ", ") + ToUtf8(ObjectKey(*plugin));
            ctx.Error("tidemark-cli: the key " + ToUtf8(key) + " names " + std::to_string(named.size()) +
                      " plug-ins (" + keys + "); name the one to clean by its own key");
            return ExitUsage;
        }
        wanted.insert(named.front());
    }
    // In scan order, as the page cleans its cards.
    std::vector<TPluginObj*> chosen;
    for (const auto& plugin : cleaner->Plugins) {
        if (wanted.count(plugin.get())) chosen.push_back(plugin.get());
    }
    const bool preview = ctx.args.flags.count(L"--preview") != 0;
    CleanPrinter printer(ctx);
    NullPump pump;
    StopToken stop;
    PluginCleanRun run{{printer, pump, stop}, preview ? WalkMode::Preview : WalkMode::Apply, {}, {}};
    // Everything the clean and its repairs change is recorded in the undo journal first; without
    // a journal nothing is changed.
    std::optional<RecordedRun> journal;
    if (!preview) {
        journal.emplace(L"plugins clean");
        if (!journal->Ready()) {
            ctx.Error("tidemark-cli: the undo journal cannot be written (" + ToUtf8(journal->Why()) +
                      "); nothing was removed");
            return ExitItemFailed;
        }
    }
    PluginCleanResult result;
    {
        std::optional<ScopedJournal> recording;
        if (journal) recording.emplace(*journal->Run());
        result = CleanPlugins(*cleaner, chosen, run);
    }
    const std::wstring undo = journal ? journal->Finish() : std::wstring();
    if (preview) {
        const std::uint64_t entries = result.Totals.listed - chosen.size();
        if (ctx.args.json) {
            ctx.Line(JsonObject()
                         .Add("summary", JsonObject()
                                             .Add("plugins", static_cast<int>(chosen.size()))
                                             .Add("entries", static_cast<int>(entries)))
                         .Render());
        } else {
            ctx.Line(std::to_string(chosen.size()) + " plug-ins, " + std::to_string(entries) +
                     " entries would be processed");
        }
        return ExitOk;
    }
    const int failed = result.FailedObjects();
    const int cleaned = static_cast<int>(chosen.size()) - failed;
    const bool bootFailed =
        result.Boot != BootCommitResult::Committed && result.Boot != BootCommitResult::NotNeeded;
    if (bootFailed) {
        ctx.Error(std::string("tidemark-cli: the files left for the restart could not be committed: ") +
                  BootCommitName(result.Boot));
    }
    if (!result.NotifyFixed) ctx.Error("tidemark-cli: a Winlogon notification package the fix meant to remove stays");
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject()
                                         .Add("plugins", cleaned + failed)
                                         .Add("cleaned", cleaned)
                                         .Add("failed", failed)
                                         .Add("needs_admin", printer.NeedingAdmin())
                                         .Add("boot", Ascii(BootCommitName(result.Boot)))
                                         .AddIf(!undo.empty(), "undo", undo))
                     .Render());
    } else {
        ctx.Line(std::to_string(cleaned) + " plug-ins cleaned, " + std::to_string(failed) + " failed, " +
                 (printer.NeedingAdmin() ? std::to_string(printer.NeedingAdmin()) + " need administrator rights, "
                                         : std::string()) +
                 "boot-time list " +
                 BootCommitName(result.Boot) + (undo.empty() ? std::string() : ", undo " + ToUtf8(undo)));
    }
    return result.Succeeded() ? ExitOk : ExitItemFailed;
}

}  // namespace tidemark::cli
