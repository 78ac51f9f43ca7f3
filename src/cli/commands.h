// The console front end: command table, argument parsing and the commands themselves.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/console.h"
#include "core/engine_contract.h"
#include "core/startup_context.h"

namespace tidemark::cli {

enum ExitCode : int { ExitOk = 0, ExitItemFailed = 1, ExitUsage = 2, ExitNoEngine = 3 };

struct Invocation {
    std::vector<std::wstring> words;                       // the command words, e.g. "junk", "scan"
    std::vector<std::wstring> operands;                    // what follows the words, e.g. keys
    std::multimap<std::wstring, std::wstring> options;     // "--root" -> value, repeated as given
    std::set<std::wstring> flags;                          // the command's own flags given, "--preview"
    bool json = false;
    bool yes = false;
};

struct CommandContext {
    const Invocation& args;
    Output& out;
    // What the engines work in, built as the window program builds it.
    const StartupContext& context;
    // Writes one line of text or one JSON line.
    void Line(const std::string& utf8) { out.Out(utf8 + "\n"); }
    void Error(const std::string& utf8) { out.Err(utf8 + "\n"); }
    bool Flag(const wchar_t* flag) const { return args.flags.count(flag) != 0; }
};

using CommandHandler = int (*)(CommandContext&);

struct Command {
    std::vector<std::wstring> words;
    std::vector<std::wstring> valueOptions;  // options of this command that take a value
    bool takesOperands;
    const char* usage;
    const char* summary;
    CommandHandler run;
    std::vector<std::wstring> flags = {};  // options of this command that take no value
    bool readsSystem = true;  // false: needs no facts of the system (no start-up context is built)
};

const std::vector<Command>& Commands();

// The result name a clean prints for one item: "listed" (a preview), "deleted", "recycled",
// "reboot", "missing" or "failed" (a refusal by the removal guard is a failure too).
std::wstring ResultName(Outcome outcome);
// The "reason" a failed item carries when the system refused it for want of administrator
// rights (the program ran without them); summaries count such items as "needs_admin".
inline constexpr wchar_t kNeedsAdminReason[] = L"needs_admin";

// Runs body; an exception it lets out is reported on standard error and ends the command with
// ExitItemFailed.
int ReportingFailure(CommandContext& ctx, const std::function<int()>& body);

// Runs the program for the arguments after the program name; returns the exit status.
int RunCli(const std::vector<std::wstring>& args, Output& out);

int RunVersion(CommandContext& ctx);
int RunInfo(CommandContext& ctx);
int RunRules(CommandContext& ctx);
int RunDefsList(CommandContext& ctx);
int RunDefsCheck(CommandContext& ctx);
int RunProcs(CommandContext& ctx);
int RunPluginsScan(CommandContext& ctx);
int RunPluginsClean(CommandContext& ctx);
int RunJunkScan(CommandContext& ctx);
int RunJunkClean(CommandContext& ctx);
int RunRepairCheck(CommandContext& ctx);
int RunRepairRun(CommandContext& ctx);
int RunRegScan(CommandContext& ctx);
int RunRegFix(CommandContext& ctx);
int RunScore(CommandContext& ctx);
int RunTracesScan(CommandContext& ctx);
int RunTracesClean(CommandContext& ctx);
int RunUndoList(CommandContext& ctx);
int RunUndoShow(CommandContext& ctx);
int RunUndoRestore(CommandContext& ctx);
int RunUndoPurge(CommandContext& ctx);

}  // namespace tidemark::cli
