// What the engines need from the process, built by one routine that both front ends call: the
// window program during its start-up, the console program before it runs a command. Engines
// receive the context; they never reach into the window program.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "system/boot_list.h"
#include "system/fixed_drives.h"
#include "system/prompt.h"
#include "system/rule_macros.h"
#include "system/win_info.h"

namespace tidemark {

struct StartupContext {
    // The system.
    TWinInfo Win;
    int VersionCode = VerUnknown;
    int ServicePack = 0;
    int Family = -1;
    // The fixed drives a junk scan walks, and the folders rule macros stand for (RuleMacroNames
    // order, upper case).
    FixedDriveList Drives;
    std::array<std::wstring, kRuleMacroCount> Folders;
    // Where the usage log library is looked for (the program's folder + "qklog.dll").
    std::wstring LogLibraryPath;
    // Whatever cannot be removed now is recorded here for the next boot.
    BootList* BootDelete = nullptr;
    // Every question and notice of an engine goes here.
    Prompt* Questions = nullptr;
    // The desktop user's key under HKEY_USERS when the program runs as somebody else and the
    // current-user root is redirected to that user's hive; empty when there is no redirection.
    std::wstring UserHiveKey;
};

struct StartupOptions {
    std::wstring AppFolder;      // the program's folder, with a trailing backslash
    Prompt* prompt = nullptr;    // installed as the process's prompt; null keeps the current one
};

// Builds the context and sets the process-wide values behind it (the special-folder table, the
// log library path, the prompt). Steps that fail leave their part empty; nothing here shows a
// message.
StartupContext BuildStartupContext(const StartupOptions& options);

// The key the current-user root is to be redirected to: on the NT family (kind 2 and above),
// when the session's user differs (exactly, case and all) from the process's own user, that
// user's key under HKEY_USERS. Empty when nothing is to be redirected, and also when the
// session user's key is unknown: redirecting to HKEY_USERS itself would make every current-user
// path name a key of HKEY_USERS.
std::wstring UserHiveRedirectKey(int windowsKind, const std::wstring& processUser, const std::wstring& sessionUser,
                                 const std::wstring& sessionUserKey);

// The folder of the running executable, with a trailing backslash.
std::wstring ExecutableFolder();

// The rule macros with the folders they expand to, in table order.
std::vector<std::pair<std::wstring, std::wstring>> RuleMacroFolders(const StartupContext& context);

}  // namespace tidemark
