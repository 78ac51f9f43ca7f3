// version and info: the program's identity and what it knows of the system.
#include <windows.h>

#include "cli/commands.h"
#include "system/reg_view.h"
#include "cli/json_writer.h"
#include "common/version.h"

namespace tidemark::cli {
namespace {

const char* KindName(int kind) {
    switch (kind) {
    case 0: return "Windows 95/98";
    case 1: return "Windows ME";
    case 2: return "Windows NT 4/2000/Vista";
    case 3: return "Windows XP/7";
    case 4: return "Windows Server 2003 and others";
    default: return "unknown";
    }
}

const char* VersionName(int code) {
    static const char* const names[] = {
        "unknown", "Windows 95", "Windows 95 OSR2", "Windows 98", "Windows 98 SE", "Windows NT 3",
        "Windows NT 4", "Windows 2000", "Windows ME", "Windows XP", "Windows Server 2003",
        "Windows Vista", "Windows Server 2008", "Windows 7",
    };
    return code >= 0 && code <= VerWin7 ? names[code] : "unknown";
}

const char* FamilyName(int family) {
    return family == 1 ? "9x" : family == 2 ? "NT" : "unknown";
}

const char* LanguageName(int language) {
    switch (language) {
    case LangSimplified: return "simplified Chinese";
    case LangTraditional: return "traditional Chinese";
    default: return "other";
    }
}

}  // namespace

int RunVersion(CommandContext& ctx) {
    if (ctx.args.json) {
        ctx.Line(JsonObject().Add("product", L"" TM_PRODUCT_NAME).Add("version", L"" TM_VERSION_TEXT).Render());
    } else {
        ctx.Line(TM_PRODUCT_NAME " " TM_VERSION_TEXT " (" TM_COMPANY_NAME ")");
    }
    return ExitOk;
}

int RunInfo(CommandContext& ctx) {
    const StartupContext& c = ctx.context;
    const TWinInfo& info = c.Win;
    const unsigned acp = GetACP();
    const unsigned langId = GetUserDefaultLangID();
    const std::vector<std::wstring>& drives = c.Drives.Roots;
    const auto folders = RuleMacroFolders(c);

    if (ctx.args.json) {
        JsonObject folderObject;
        for (const auto& [macro, folder] : folders) folderObject.Add(ToUtf8(macro).c_str(), folder);
        ctx.Line(JsonObject()
                     .Add("kind", info.Kind)
                     .Add("version_code", c.VersionCode)
                     .Add("service_pack", c.ServicePack)
                     .Add("family", c.Family)
                     .AddBool("system_64bit", SystemIs64Bit())
                     .Add("language", info.Language)
                     .Add("acp", acp)
                     .Add("lang_id", langId)
                     .Add("windows", info.WindowsDir)
                     .Add("system", info.SystemDir)
                     .Add("temp", info.TempDir)
                     .Add("user", info.UserName)
                     .Add("fixed_drives", drives)
                     .Add("folders", folderObject)
                     .Render());
        return ExitOk;
    }
    auto line = [&](const char* label, const std::string& value) { ctx.Line(std::string(label) + value); };
    auto named = [](int number, const char* name) { return std::to_string(number) + " (" + name + ")"; };
    std::string driveText;
    for (const auto& d : drives) driveText += (driveText.empty() ? "" : " ") + ToUtf8(d);
    line("Windows kind:   ", named(info.Kind, KindName(info.Kind)));
    line("Version code:   ", named(c.VersionCode, VersionName(c.VersionCode)) + ", service pack " +
                                 std::to_string(c.ServicePack));
    line("Family:         ", named(c.Family, FamilyName(c.Family)));
    line("64-bit Windows: ", SystemIs64Bit() ? "yes (both registry views are read)" : "no");
    line("Language:       ", named(info.Language, LanguageName(info.Language)));
    line("ANSI code page: ", std::to_string(acp));
    line("Language id:    ", std::to_string(langId));
    line("Windows folder: ", ToUtf8(info.WindowsDir));
    line("System folder:  ", ToUtf8(info.SystemDir));
    line("Temp folder:    ", ToUtf8(info.TempDir));
    line("User:           ", ToUtf8(info.UserName));
    line("Fixed drives:   ", driveText);
    ctx.Line("Rule folders:");
    for (const auto& [macro, folder] : folders) {
        std::string name = ToUtf8(macro);
        name.resize(std::max<std::size_t>(name.size(), 26), ' ');
        ctx.Line("  " + name + ToUtf8(folder));
    }
    return ExitOk;
}

}  // namespace tidemark::cli
