// version and info: the program's identity and what it knows of the system.
#include <windows.h>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "common/version.h"
#include "system/fixed_drives.h"
#include "system/win_info.h"

namespace tidemark::cli {

int RunVersion(CommandContext& ctx) {
    if (ctx.args.json) {
        ctx.Line(JsonObject().Add("product", L"" TM_PRODUCT_NAME).Add("version", L"" TM_VERSION_TEXT).Render());
    } else {
        ctx.Line(TM_PRODUCT_NAME " " TM_VERSION_TEXT " (" TM_COMPANY_NAME ")");
    }
    return ExitOk;
}

int RunInfo(CommandContext& ctx) {
    const TWinInfo& info = GetWinInfo();
    int servicePack = 0;
    const int code = GetWindowsVersionCode(servicePack);
    const int family = FamilyOfVersionCode(code);
    const unsigned acp = GetACP();
    const unsigned langId = GetUserDefaultLangID();
    const std::vector<std::wstring> drives = BuildFixedDriveList().Roots;

    if (ctx.args.json) {
        ctx.Line(JsonObject()
                     .Add("kind", info.Kind)
                     .Add("version_code", code)
                     .Add("service_pack", servicePack)
                     .Add("family", family)
                     .Add("language", info.Language)
                     .Add("acp", acp)
                     .Add("lang_id", langId)
                     .Add("windows", info.WindowsDir)
                     .Add("system", info.SystemDir)
                     .Add("temp", info.TempDir)
                     .Add("user", info.UserName)
                     .Add("fixed_drives", drives)
                     .Render());
        return ExitOk;
    }
    auto line = [&](const char* label, const std::string& value) {
        ctx.Line(std::string(label) + value);
    };
    std::string driveText;
    for (const auto& d : drives) driveText += (driveText.empty() ? "" : " ") + ToUtf8(d);
    line("Windows kind:   ", std::to_string(info.Kind));
    line("Version code:   ", std::to_string(code) + " (service pack " + std::to_string(servicePack) + ")");
    line("Family:         ", std::to_string(family));
    line("Language:       ", std::to_string(info.Language));
    line("ANSI code page: ", std::to_string(acp));
    line("Language id:    ", std::to_string(langId));
    line("Windows folder: ", ToUtf8(info.WindowsDir));
    line("System folder:  ", ToUtf8(info.SystemDir));
    line("Temp folder:    ", ToUtf8(info.TempDir));
    line("User:           ", ToUtf8(info.UserName));
    line("Fixed drives:   ", driveText);
    return ExitOk;
}

}  // namespace tidemark::cli
