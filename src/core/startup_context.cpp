#include "core/startup_context.h"

#include <windows.h>

#include "support/usage_log.h"

namespace tidemark {

std::wstring ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

StartupContext BuildStartupContext(const StartupOptions& options) {
    StartupContext context;
    if (options.prompt) SetPrompt(options.prompt);
    context.Questions = &CurrentPrompt();

    context.LogLibraryPath = options.AppFolder + L"qklog.dll";
    SetLogLibraryPath(context.LogLibraryPath);

    context.Win = GetWinInfo();
    context.VersionCode = GetWindowsVersionCode(context.ServicePack);
    context.Family = FamilyOfVersionCode(context.VersionCode);

    context.Drives = BuildFixedDriveList();
    BuildSpecialFolders();
    context.Folders = SpecialFolders;

    // The current-user root follows the desktop's user when the program runs as somebody else;
    // that comparison needs the session user of the process snapshot and is made here once it
    // exists.

    context.BootDelete = &BootDeleteList();
    return context;
}

std::vector<std::pair<std::wstring, std::wstring>> RuleMacroFolders(const StartupContext& context) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (int i = 0; i < kRuleMacroCount; ++i) pairs.emplace_back(RuleMacroNames[i], context.Folders[i]);
    return pairs;
}

}  // namespace tidemark
