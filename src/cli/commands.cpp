#include "cli/commands.h"

#include <algorithm>
#include <exception>

#include "cli/json_writer.h"
#include "engine/removal_guard_system.h"
#include "engine/process_sheet.h"
#include "removal/removal_service.h"
#include "system/win_sys.h"

namespace tidemark::cli {
namespace {

int RunHelp(CommandContext& ctx);

bool StartsWithWords(const std::vector<std::wstring>& args, std::size_t at,
                     const std::vector<std::wstring>& words) {
    if (args.size() - at < words.size()) return false;
    return std::equal(words.begin(), words.end(), args.begin() + static_cast<std::ptrdiff_t>(at));
}

// The command whose words start the argument list (ignoring global flags), longest first.
const Command* FindCommand(const std::vector<std::wstring>& positional) {
    const Command* best = nullptr;
    for (const Command& c : Commands())
        if (StartsWithWords(positional, 0, c.words) && (!best || c.words.size() > best->words.size()))
            best = &c;
    return best;
}

std::string WordsText(const std::vector<std::wstring>& words) {
    std::string text;
    for (const auto& w : words) text += (text.empty() ? "" : " ") + ToUtf8(w);
    return text;
}

int UsageError(Output& out, const std::string& message) {
    out.Err("tidemark-cli: " + message + "\nRun 'tidemark-cli help' for the list of commands.\n");
    return ExitUsage;
}

}  // namespace

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {{L"help"}, {}, false, "help", "list the commands", RunHelp, {}, false},
        {{L"version"}, {}, false, "version [--json]", "product name and version", RunVersion, {}, false},
        {{L"info"}, {}, false, "info [--json]",
         "what the program knows of this system: Windows kind and version, language, folders, "
         "fixed drives",
         RunInfo},
        {{L"rules"}, {}, false, "rules [--json]",
         "the file-type rules a junk scan would use now: pattern rules, then extension rules", RunRules},
        {{L"defs", L"list"}, {}, false, "defs list [--json]",
         "the rogue-software definitions the program carries, in order of their ids: id, name, entries to "
         "remove, check entries",
         RunDefsList},
        {{L"defs", L"check"}, {L"--id"}, false, "defs check [--id N]... [--json]",
         "detects the definitions (all, or those named) on this system, in order of their ids: status and "
         "the entries found",
         RunDefsCheck},
        {{L"plugins", L"scan"}, {}, false, "plugins scan [--json]",
         "the browser plug-ins the plug-in page lists: kind, risk, name, key and the entries found", RunPluginsScan},
        {{L"plugins", L"clean"}, {}, true, "plugins clean [--preview] KEY... [--json]",
         "removes the plug-ins with these keys (as 'plugins scan' shows them: kind and class, such as "
         "bho:{...}; a class alone names the one plug-in that has it), as far as each one's risk allows, "
         "then runs the repairs and fixes that follow and commits the files left for the restart; with "
         "--preview, lists the plug-ins and entries it would process, in its order, and changes nothing",
         RunPluginsClean, {L"--preview"}},
        {{L"repair", L"check"}, {}, false, "repair check [--json]",
         "what the repairs after a clean would change now (Run entries, start page, WinSock2, advertising "
         "files), without changing it",
         RunRepairCheck},
        {{L"repair", L"run"}, {}, false, "repair run [--yes] [--preview] [--json]",
         "runs the repairs after a clean; the WinSock2 repair only with --yes (its backup then goes to the "
         "program's backup folder under the user's application data)",
         RunRepairRun, {L"--preview"}},
        {{L"junk", L"scan"}, {L"--root"}, false, "junk scan [--root DIR]... [--json]",
         "the junk files of the fixed drives (or of the folders named), one line per file in the order "
         "found: its rule's group, its size in KB (and in bytes) and its path; then the totals",
         RunJunkScan},
        {{L"junk", L"clean"}, {L"--root", L"--method"}, false,
         "junk clean [--root DIR]... [--method direct|recycle] [--preview] [--json]",
         "scans as 'junk scan' does and removes every file it lists, group by group as the junk page "
         "cleans them (default method: the stored setting): one line per file with its result; with "
         "--preview, lists exactly what the clean would process, in its order, and changes nothing",
         RunJunkClean, {L"--preview"}},
        {{L"procs"}, {}, false, "procs [--json]",
         "the running processes, sorted as the process view shows them: rating, modules, threads", RunProcs},
        {{L"reg", L"scan"}, {L"--category"}, false, "reg scan [--category N]... [--json]",
         "registry entries naming files that are gone: 0 shared libraries, 1 start-up, 2 uninstall, "
         "3 the thorough search (only when named)",
         RunRegScan},
        {{L"reg", L"fix"}, {L"--category", L"--backup"}, false, "reg fix [--category N]... [--backup FILE] [--preview] [--json]",
         "scans as 'reg scan' and removes what it found; with --backup, first writes it all to FILE "
         "(registry editor 5.00, UTF-16), and removes nothing when that fails",
         RunRegFix, {L"--preview"}},
        {{L"score"}, {}, false, "score [--json]",
         "the health score: registry findings of categories 0-2, free disk space, the score", RunScore},
        {{L"traces", L"scan"}, {L"--group"}, false, "traces scan [--group N]... [--json]",
         "the usage traces the trace page lists: 1 Internet Explorer, 2 Windows, 3 applications", RunTracesScan},
        {{L"traces", L"clean"}, {L"--group"}, false, "traces clean [--group N]... [--preview] [--json]",
         "scans as 'traces scan' and removes what it found by the deletion method of the settings; with "
         "group 1 also empties the browser's history, cache and cookies; with --preview, lists exactly "
         "what the clean would process, in its order, and changes nothing",
         RunTracesClean, {L"--preview"}},
        {{L"undo", L"list"}, {}, false, "undo list [--json]",
         "the undo journal: one entry per run that changed the system's configuration", RunUndoList},
        {{L"undo", L"show"}, {}, true, "undo show ID [--json]", "the items a journal entry can put back", RunUndoShow},
        {{L"undo", L"restore"}, {}, true, "undo restore ID [ITEM]... [--yes] [--json]",
         "puts the entry's items (or the ones named) back; something at an item's place now is never "
         "overwritten (kept); a restored item leaves the journal",
         RunUndoRestore},
        {{L"undo", L"purge"}, {L"--older-than"}, false, "undo purge [--older-than DAYS] [--json]",
         "removes journal entries older than DAYS (30 by default) and the oldest beyond 500 MB", RunUndoPurge},
    };
    return commands;
}

namespace {

int RunHelp(CommandContext& ctx) {
    ctx.Line("Usage: tidemark-cli <command> [options]");
    ctx.Line("");
    ctx.Line("Commands:");
    for (const Command& c : Commands()) ctx.Line("  " + std::string(c.usage) + "\n      " + c.summary);
    ctx.Line("");
    ctx.Line("Options for every command:");
    ctx.Line("  --json  one JSON object per line instead of text");
    ctx.Line("  --yes   answer Yes/OK to the questions the window would ask (default: No/Cancel)");
    ctx.Line("  --preview  (clean commands) list exactly what the clean would process, in its order; change nothing");
    ctx.Line("");
    ctx.Line("Exit status: 0 success, 1 some item failed, 2 usage error, 3 engine not created.");
    return ExitOk;
}

}  // namespace

std::wstring ResultName(Outcome outcome) {
    const char* name = OutcomeName(outcome == Outcome::Refused ? Outcome::Failed : outcome);
    return std::wstring(name, name + std::char_traits<char>::length(name));
}

int ReportingFailure(CommandContext& ctx, const std::function<int()>& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        ctx.Error(std::string("tidemark-cli: ") + WordsText(ctx.args.words) + " failed: " + e.what());
    } catch (...) {
        ctx.Error("tidemark-cli: " + WordsText(ctx.args.words) + " failed: an unexpected error");
    }
    return ExitItemFailed;
}

int RunCli(const std::vector<std::wstring>& args, Output& out) {
    Invocation inv;
    std::vector<std::wstring> rest;
    bool helpAsked = false;
    for (const std::wstring& a : args) {
        if (a == L"--json") inv.json = true;
        else if (a == L"--yes") inv.yes = true;
        else if (a == L"--help" || a == L"-h" || a == L"/?") helpAsked = true;
        else rest.push_back(a);
    }
    if (helpAsked) rest = {L"help"};
    if (rest.empty()) return UsageError(out, "no command given");
    const Command* command = FindCommand(rest);
    if (!command) {
        // A known group ("junk", "reg") followed by a word it does not have: name that word and
        // the group's own commands.
        std::string known;
        for (const Command& c : Commands())
            if (c.words.size() > 1 && c.words[0] == rest[0]) known += (known.empty() ? "" : ", ") + ToUtf8(c.words[1]);
        if (known.empty()) return UsageError(out, "unknown command '" + ToUtf8(rest[0]) + "'");
        if (rest.size() < 2 || rest[1].rfind(L"--", 0) == 0)
            return UsageError(out, "'" + ToUtf8(rest[0]) + "' needs a command: " + known);
        return UsageError(out, "unknown " + ToUtf8(rest[0]) + " command '" + ToUtf8(rest[1]) + "' (" +
                                   ToUtf8(rest[0]) + " has: " + known + ")");
    }
    inv.words = command->words;

    for (std::size_t i = command->words.size(); i < rest.size(); ++i) {
        const std::wstring& a = rest[i];
        if (std::find(command->flags.begin(), command->flags.end(), a) != command->flags.end()) {
            inv.flags.insert(a);
        } else if (a.size() > 2 && a.rfind(L"--", 0) == 0) {
            const auto& known = command->valueOptions;
            if (std::find(known.begin(), known.end(), a) == known.end())
                return UsageError(out, "'" + WordsText(command->words) + "' has no option " + ToUtf8(a));
            if (i + 1 >= rest.size()) return UsageError(out, "option " + ToUtf8(a) + " needs a value");
            inv.options.emplace(a, rest[++i]);
        } else if (command->takesOperands) {
            inv.operands.push_back(a);
        } else {
            return UsageError(out, "unexpected argument '" + ToUtf8(a) + "'");
        }
    }
    // Questions an engine asks go to standard error and get the cautious answer, or Yes/OK with
    // --yes; the console program never opens a window.
    ConsolePrompt prompt(inv.yes, [](void* sink, const std::wstring& line) {
        static_cast<Output*>(sink)->Err(ToUtf8(line) + "\n");
    }, &out);
    const ScopedPrompt installed(prompt);
    SetProcessRater(RateProcessFile);
    // What no removal may touch: the system's folders and its own files, read when first needed.
    SetRemovalPlacesSource([] { return ProtectedPlacesOfSystem(nullptr); });
    const StartupContext context =
        command->readsSystem ? BuildStartupContext(StartupOptions{ExecutableFolder(), nullptr}) : StartupContext{};
    CommandContext ctx{inv, out, context};
    try {
        return command->run(ctx);
    } catch (const std::exception& error) {
        // What the command had done is reported above; the rest did not run.
        ctx.Error(std::string("tidemark-cli: stopped by an unexpected error: ") + error.what());
        return ExitItemFailed;
    }
}

}  // namespace tidemark::cli
