#include "core/startup_context.h"

#include <windows.h>

#include "support/usage_log.h"
#include "system/reg_paths.h"
#include "system/win_sys.h"

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

std::wstring UserHiveRedirectKey(int windowsKind, const std::wstring& processUser, const std::wstring& sessionUser,
                                 const std::wstring& sessionUserKey) {
    if (windowsKind < 2 || sessionUser == processUser) return {};
    return sessionUserKey;
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

    // The current-user root follows the desktop's user when the program runs as somebody else
    // (started from another account, or as a service's helper); failures leave it as it is.
    try {
        if (context.Win.Kind >= 2) {
            TWinSys& system = GetWinSys();
            std::wstring sessionUser, sessionKey;
            system.GetSessionUserName(sessionUser);
            if (sessionUser != context.Win.UserName) system.GetSessionUserKey(sessionKey);
            context.UserHiveKey = UserHiveRedirectKey(context.Win.Kind, context.Win.UserName, sessionUser, sessionKey);
            if (!context.UserHiveKey.empty()) SetUserHiveRedirect(true, context.UserHiveKey);
        }
    } catch (...) {
        context.UserHiveKey.clear();
    }

    context.BootDelete = &BootDeleteList();
    return context;
}

std::vector<std::pair<std::wstring, std::wstring>> RuleMacroFolders(const StartupContext& context) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (int i = 0; i < kRuleMacroCount; ++i) pairs.emplace_back(RuleMacroNames[i], context.Folders[i]);
    return pairs;
}

}  // namespace tidemark
