// defs list / defs check: the definition set the program carries, and what of it this system has.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <set>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "engine/definition_store.h"
#include "engine/soft_obj.h"

namespace tidemark::cli {

namespace {

// The set as the window loads it; exit status 3 (and why, on standard error) when it cannot be.
std::unique_ptr<DefinitionSet> LoadSet(CommandContext& ctx) {
    DefinitionLoadError error;
    auto set = DefinitionSet::Load(nullptr, DefaultCleanHost(), &error);
    if (!set) {
        std::string why = "tidemark-cli: the definition set cannot be loaded: " + ToUtf8(error.Resource);
        if (error.Script) {
            why += " line " + std::to_string(error.Script->Line) + ": " + ToUtf8(error.Script->Text) +
                   " (a number is expected)";
        } else {
            why += " cannot be read";
        }
        ctx.Error(why);
        return set;
    }
    for (const Failure& failure : set->RoutineFailures())
        ctx.Error("tidemark-cli: a definition check ended early: " + ToUtf8(failure.item));
    return set;
}

// What a check found: services present and check entries that exist, in the order examined,
// each with the registry view it was found in (0 for a service or a file).
struct FoundEntry {
    std::wstring text;
    int view = 0;
};

std::vector<FoundEntry> FoundEntries(const TSoftObj& definition) {
    std::vector<FoundEntry> found;
    const auto add = [&](const ItemList& list, bool registry) {
        for (const auto& item : list) {
            if (item->State == StateFound || item->State == StateRunning)
                found.push_back({item->Path, registry ? ViewNumber(item->View) : 0});
        }
    };
    add(definition.Services, false);
    add(definition.CheckFiles, false);
    for (const ItemList* list : {&definition.CheckKeys, &definition.CheckValues, &definition.CheckTexts}) add(*list, true);
    return found;
}

// The definitions in numeric order of their ids (those sharing an id in the order loaded).
std::vector<TSoftObj*> ByIdOrder(const DefinitionSet& set) {
    std::vector<TSoftObj*> order;
    for (std::size_t i = 0; i < set.Count(); ++i) order.push_back(set.Definition(i));
    std::stable_sort(order.begin(), order.end(), [](const TSoftObj* a, const TSoftObj* b) { return a->Id < b->Id; });
    return order;
}

}  // namespace

int RunDefsList(CommandContext& ctx) {
    const auto set = LoadSet(ctx);
    if (!set) return ExitNoEngine;
    for (const TSoftObj* each : ByIdOrder(*set)) {
        const TSoftObj& definition = *each;
        if (ctx.args.json) {
            ctx.Line(JsonObject()
                         .Add("id", definition.Id)
                         .Add("name", definition.Name)
                         .Add("entries", definition.EntryCount())
                         .Add("checks", definition.CheckCount())
                         .Render());
        } else {
            ctx.Line(std::to_string(definition.Id) + "\t" + ToUtf8(definition.Name) + "\t" +
                     std::to_string(definition.EntryCount()) + " entries, " + std::to_string(definition.CheckCount()) +
                     " checks");
        }
    }
    if (ctx.args.json) {
        ctx.Line(JsonObject().Add("summary", JsonObject().Add("definitions", static_cast<int>(set->Count()))).Render());
    } else {
        ctx.Line(std::to_string(set->Count()) + " definitions");
    }
    return ExitOk;
}

int RunDefsCheck(CommandContext& ctx) {
    std::set<std::int32_t> wanted;
    for (auto [it, end] = ctx.args.options.equal_range(L"--id"); it != end; ++it) {
        wchar_t* stop = nullptr;
        const long id = std::wcstol(it->second.c_str(), &stop, 10);
        if (it->second.empty() || *stop != L'\0') {
            ctx.Error("tidemark-cli: --id takes a definition number, not '" + ToUtf8(it->second) + "'");
            return ExitUsage;
        }
        wanted.insert(static_cast<std::int32_t>(id));
    }
    const auto set = LoadSet(ctx);
    if (!set) return ExitNoEngine;
    for (const std::int32_t id : wanted) {
        if (!set->FindById(nullptr, id)) {
            ctx.Error("tidemark-cli: no definition has the id " + std::to_string(id));
            return ExitUsage;
        }
    }
    int checked = 0, installed = 0, remnants = 0;
    for (TSoftObj* each : ByIdOrder(*set)) {
        TSoftObj& definition = *each;
        if (!wanted.empty() && !wanted.count(definition.Id)) continue;
        const std::uint8_t status = definition.Check();
        ++checked;
        installed += status == StatusInstalled ? 1 : 0;
        remnants += status == StatusRemnants ? 1 : 0;
        const std::vector<FoundEntry> found = FoundEntries(definition);
        if (ctx.args.json) {
            std::vector<std::wstring> texts;
            std::string views = "[";
            for (const FoundEntry& entry : found) {
                views += (texts.empty() ? "" : ", ") + std::to_string(entry.view);
                texts.push_back(entry.text);
            }
            JsonObject line;
            line.Add("id", definition.Id)
                .Add("name", definition.Name)
                .Add("status", static_cast<int>(status))
                .Add("status_name", ObjectStatusText(status).Text)
                .Add("found", texts);
            // On 64-bit Windows: the view of each found entry (0: not a registry entry).
            if (SystemIs64Bit()) line.AddRaw("found_views", views + "]");
            ctx.Line(line.Render());
        } else {
            ctx.Line(std::to_string(definition.Id) + "\t" + ToUtf8(definition.Name) + "\t" +
                     ToUtf8(ObjectStatusText(status).Text));
            for (const FoundEntry& entry : found)
                ctx.Line("    " + ToUtf8(entry.text) +
                         (SystemIs64Bit() && entry.view ? "\tview " + std::to_string(entry.view) : std::string()));
        }
    }
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject().Add("definitions", checked).Add("installed", installed).Add("remnants", remnants))
                     .Render());
    } else {
        ctx.Line(std::to_string(checked) + " definitions checked: " + std::to_string(installed) + " installed, " +
                 std::to_string(remnants) + " with remnants");
    }
    return ExitOk;
}

}  // namespace tidemark::cli
