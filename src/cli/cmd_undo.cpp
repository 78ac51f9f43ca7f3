// undo list / show / restore / purge: the journal of the cleaning runs that changed the system's
// configuration, and putting their items back.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "removal/removal_service.h"
#include "undo/journal.h"

namespace tidemark::cli {

namespace {

void ReportDamaged(CommandContext& ctx, const std::vector<std::wstring>& damaged) {
    for (const std::wstring& name : damaged)
        ctx.Error("tidemark-cli: a journal entry that is damaged or not ours was skipped: " + ToUtf8(name));
}

std::wstring Ascii(const char* text) { return std::wstring(text, text + std::strlen(text)); }

JsonObject ItemObject(const JournalItem& item) {
    JsonObject object;
    object.Add("item", static_cast<std::int64_t>(item.Index)).Add("kind", Ascii(JournalKindName(item.Kind)));
    object.Add("root", item.Root).Add("key", item.Key);
    if (item.Kind == JournalKind::File) {
        object.Add("path", item.Path);
    } else {
        object.Add("name", item.Name);
    }
    return object.Add("view", item.View).AddBool("restorable", item.Restorable);
}

std::string ItemText(const JournalItem& item) {
    std::string what = item.Kind == JournalKind::File ? ToUtf8(item.Path)
                                                       : ToUtf8(item.Root + L"\\" + item.Key) +
                                                             (item.Kind == JournalKind::Value ? " : " + ToUtf8(item.Name) : "");
    return std::to_string(item.Index) + "\t" + JournalKindName(item.Kind) + "\t" + what +
           (item.Restorable ? "" : "\t(not restorable)");
}

// The entry the first operand names; ExitUsage (said on standard error) when there is none.
std::optional<JournalEntry> NamedEntry(CommandContext& ctx, const Journal& journal) {
    if (ctx.args.operands.empty()) {
        ctx.Error("tidemark-cli: name a journal entry (see 'undo list')");
        return std::nullopt;
    }
    auto entry = journal.Load(ctx.args.operands[0]);
    if (!entry) ctx.Error("tidemark-cli: no journal entry '" + ToUtf8(ctx.args.operands[0]) + "' (or it is damaged)");
    return entry;
}

bool ParseCount(const std::wstring& text, std::size_t& value) {
    if (text.empty() || text.size() > 9) return false;
    value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<std::size_t>(c - L'0');
    }
    return true;
}

}  // namespace

int RunUndoList(CommandContext& ctx) {
    std::vector<std::wstring> damaged;
    const auto entries = Journal::OfUser().List(&damaged);
    ReportDamaged(ctx, damaged);
    std::uint64_t bytes = 0;
    for (const JournalEntry& entry : entries) {
        bytes += entry.Bytes;
        if (ctx.args.json) {
            ctx.Line(JsonObject()
                         .Add("id", entry.Id)
                         .Add("time", entry.Time)
                         .Add("command", entry.Command)
                         .Add("items", static_cast<std::int64_t>(entry.Items.size()))
                         .Add("bytes", static_cast<std::int64_t>(entry.Bytes))
                         .Render());
        } else {
            ctx.Line(ToUtf8(entry.Id) + "\t" + ToUtf8(entry.Time) + "\t" + ToUtf8(entry.Command) + "\t" +
                     std::to_string(entry.Items.size()) + " items\t" + std::to_string(entry.Bytes) + " bytes");
        }
    }
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject()
                                         .Add("entries", static_cast<std::int64_t>(entries.size()))
                                         .Add("bytes", static_cast<std::int64_t>(bytes))
                                         .Add("damaged", static_cast<std::int64_t>(damaged.size())))
                     .Render());
    } else {
        ctx.Line(std::to_string(entries.size()) + " journal entries, " + std::to_string(bytes) + " bytes");
    }
    return ExitOk;
}

int RunUndoShow(CommandContext& ctx) {
    const auto entry = NamedEntry(ctx, Journal::OfUser());
    if (!entry) return ExitUsage;
    for (const JournalItem& item : entry->Items) ctx.Line(ctx.args.json ? ItemObject(item).Render() : ItemText(item));
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject()
                                         .Add("id", entry->Id)
                                         .Add("time", entry->Time)
                                         .Add("command", entry->Command)
                                         .Add("items", static_cast<std::int64_t>(entry->Items.size())))
                     .Render());
    } else {
        ctx.Line(ToUtf8(entry->Id) + ": " + ToUtf8(entry->Command) + ", " + ToUtf8(entry->Time) + ", " +
                 std::to_string(entry->Items.size()) + " items");
    }
    return ExitOk;
}

int RunUndoRestore(CommandContext& ctx) {
    const Journal journal = Journal::OfUser();
    const auto entry = NamedEntry(ctx, journal);
    if (!entry) return ExitUsage;
    std::vector<std::size_t> items;
    for (std::size_t i = 1; i < ctx.args.operands.size(); ++i) {
        std::size_t index = 0;
        if (!ParseCount(ctx.args.operands[i], index) ||
            std::none_of(entry->Items.begin(), entry->Items.end(), [&](const JournalItem& it) { return it.Index == index; })) {
            ctx.Error("tidemark-cli: entry " + ToUtf8(entry->Id) + " has no item '" + ToUtf8(ctx.args.operands[i]) + "'");
            return ExitUsage;
        }
        items.push_back(index);
    }
    if (!ctx.args.yes) {
        // The window asks before it puts anything back; without --yes the answer is no.
        ctx.Error("tidemark-cli: nothing restored: restoring writes to the system; give --yes to do it");
        return ExitOk;
    }
    const RemovalService& removals = ProcessRemovalService();
    const auto allowed = [&](const std::wstring& path) { return removals.AllowsPlace(path); };
    int restored = 0, kept = 0, failed = 0;
    for (const RestoredItem& result : journal.Restore(entry->Id, items, allowed)) {
        switch (result.Result) {
            case RestoreResult::Restored: ++restored; break;
            case RestoreResult::Kept: ++kept; break;
            case RestoreResult::Failed: ++failed; break;
        }
        const char* name = RestoreResultName(result.Result);
        ctx.Line(ctx.args.json ? ItemObject(result.Item).Add("result", Ascii(name)).Render()
                               : ItemText(result.Item) + "\t" + name);
    }
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject().Add("restored", restored).Add("kept", kept).Add("failed", failed))
                     .Render());
    } else {
        ctx.Line(std::to_string(restored) + " restored, " + std::to_string(kept) + " kept (something is there now), " +
                 std::to_string(failed) + " failed");
    }
    return failed ? ExitItemFailed : ExitOk;
}

int RunUndoPurge(CommandContext& ctx) {
    int days = kJournalDays;
    const auto older = ctx.args.options.find(L"--older-than");
    if (older != ctx.args.options.end()) {
        std::size_t value = 0;
        if (!ParseCount(older->second, value) || value > 36500) {
            ctx.Error("tidemark-cli: --older-than takes a number of days");
            return ExitUsage;
        }
        days = static_cast<int>(value);
    }
    const auto removed = Journal::OfUser().Purge(days, kJournalBytes, FileTimeNow());
    for (const JournalEntry& entry : removed)
        ctx.Line(ctx.args.json ? JsonObject().Add("id", entry.Id).Add("time", entry.Time).Render()
                               : ToUtf8(entry.Id) + "\t" + ToUtf8(entry.Time));
    if (ctx.args.json) {
        ctx.Line(JsonObject().Add("summary", JsonObject().Add("removed", static_cast<std::int64_t>(removed.size()))).Render());
    } else {
        ctx.Line(std::to_string(removed.size()) + " journal entries removed");
    }
    return ExitOk;
}

}  // namespace tidemark::cli
