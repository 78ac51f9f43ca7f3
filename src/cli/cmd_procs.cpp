// procs: the running processes as the process view lists them, with their rating.
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "engine/process_sheet.h"
#include "system/win_sys.h"

namespace tidemark::cli {

int RunProcs(CommandContext& ctx) {
    TWinSys& services = GetWinSys();
    services.RefreshProcesses();
    int rated = 0;
    for (std::size_t i = 0; i < services.ProcessCount(); ++i) {
        const TProcessItem& item = *services.ProcessAt(i);
        rated += item.Rating >= RatingSuspect ? 1 : 0;
        if (ctx.args.json) {
            ctx.Line(JsonObject()
                         .Add("pid", static_cast<std::int64_t>(item.ProcessId))
                         .Add("name", item.Name)
                         .Add("path", item.Path)
                         .Add("rating", static_cast<int>(item.Rating))
                         .Add("rating_name", ProcessRatingLabel(item.Rating))
                         .Add("modules", static_cast<int>(item.Modules.size()))
                         .Add("threads", static_cast<int>(item.Threads.size()))
                         .Render());
        } else {
            const std::string label = ToUtf8(ProcessRatingLabel(item.Rating));
            ctx.Line(std::to_string(item.ProcessId) + "\t" + (label.empty() ? "-" : label) + "\t" + ToUtf8(item.Path) +
                     "\t" + std::to_string(item.Modules.size()) + " modules, " + std::to_string(item.Threads.size()) +
                     " threads");
        }
    }
    const int count = static_cast<int>(services.ProcessCount());
    if (ctx.args.json) {
        ctx.Line(JsonObject().Add("summary", JsonObject().Add("processes", count).Add("flagged", rated)).Render());
    } else {
        ctx.Line(std::to_string(count) + " processes, " + std::to_string(rated) + " flagged");
    }
    return ExitOk;
}

}  // namespace tidemark::cli
