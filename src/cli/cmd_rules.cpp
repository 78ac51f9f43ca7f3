// rules: the rule set a junk scan would use now, built from the stored settings.
#include <windows.h>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "junk/file_types.h"
#include "settings/settings_store.h"

namespace tidemark::cli {

int RunRules(CommandContext& ctx) {
    // A profile that never scanned gets the default states at its first scan; show those.
    std::wstring states = ReadSettingText(kFileExtEnabled);
    if (states.size() < kBuiltInTypeCount) states = kDefaultTypeStates;
    const JunkRuleSet rules = BuildJunkRuleSetFrom(ReadSettingText(kFileExt), states, GetSystemDefaultLangID());
    auto emit = [&](const char* kind, const char* field, const std::vector<std::wstring>& texts,
                    const std::vector<std::wstring>& descriptions) {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (ctx.args.json) {
                ctx.Line(JsonObject()
                             .Add("kind", std::wstring(kind, kind + std::char_traits<char>::length(kind)))
                             .Add("rule", static_cast<int>(i))
                             .Add(field, texts[i])
                             .Add("description", descriptions[i])
                             .Render());
            } else {
                ctx.Line(std::string(kind) + " " + std::to_string(i) + "\t" + ToUtf8(texts[i]) + "\t" +
                         ToUtf8(descriptions[i]));
            }
        }
    };
    emit("pattern", "text", rules.patterns, rules.patternDescriptions);
    emit("extension", "key", rules.extensions, rules.extensionDescriptions);
    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("summary", JsonObject()
                                         .Add("patterns", static_cast<int>(rules.patterns.size()))
                                         .Add("extensions", static_cast<int>(rules.extensions.size())))
                     .Render());
    } else {
        ctx.Line(std::to_string(rules.patterns.size()) + " pattern rules, " + std::to_string(rules.extensions.size()) +
                 " extension rules");
    }
    return ExitOk;
}

}  // namespace tidemark::cli
