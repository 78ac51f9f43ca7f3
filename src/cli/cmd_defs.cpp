// defs list / defs check: the definition set the program carries, and what of it this system has.
#include <windows.h>

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

// What a check found: services present and check entries that exist, in the order examined.
std::vector<std::wstring> FoundEntries(const TSoftObj& definition) {
    std::vector<std::wstring> found;
    const auto add = [&](const ItemList& list) {
        for (const auto& item : list) {
            if (item->State == StateFound || item->State == StateRunning) found.push_back(item->Path);
        }
    };
    add(definition.Services);
    for (const ItemList* list : {&definition.CheckFiles, &definition.CheckKeys, &definition.CheckValues, &definition.CheckTexts})
        add(*list);
    return found;
}

}  // namespace

int RunDefsList(CommandContext& ctx) {
    const auto set = LoadSet(ctx);
    if (!set) return ExitNoEngine;
    for (std::size_t i = 0; i < set->Count(); ++i) {
        const TSoftObj& definition = *set->Definition(i);
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
    for (std::size_t i = 0; i < set->Count(); ++i) {
        TSoftObj& definition = *set->Definition(i);
        if (!wanted.empty() && !wanted.count(definition.Id)) continue;
        const std::uint8_t status = definition.Check();
        ++checked;
        installed += status == StatusInstalled ? 1 : 0;
        remnants += status == StatusRemnants ? 1 : 0;
        const std::vector<std::wstring> found = FoundEntries(definition);
        if (ctx.args.json) {
            ctx.Line(JsonObject()
                         .Add("id", definition.Id)
                         .Add("name", definition.Name)
                         .Add("status", static_cast<int>(status))
                         .Add("status_name", ObjectStatusText(status).Text)
                         .Add("found", found)
                         .Render());
        } else {
            ctx.Line(std::to_string(definition.Id) + "\t" + ToUtf8(definition.Name) + "\t" +
                     ToUtf8(ObjectStatusText(status).Text));
            for (const std::wstring& entry : found) ctx.Line("    " + ToUtf8(entry));
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
