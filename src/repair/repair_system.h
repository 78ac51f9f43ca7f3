// What the repairs need to know about the running system, in one record so tests can describe
// another Windows (kind, language, drive) without running on it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "system/reg_view.h"
#include "system/win_info.h"

namespace tidemark {

struct RepairSystem {
    // Kind, language, Windows drive and folders (TWinInfo).
    TWinInfo Win;
    // Windows Vista or later (version 6 and above): its WinSock2 catalogues differ from those of
    // 2000 and XP, so no default catalogue is ever imported there: the system's own reset
    // rebuilds them instead.
    bool VistaOrLater = false;
    // The all-users start-up folder as the system reports it (empty when it does not).
    std::wstring CommonStartup;
    // The all-users profile folder ("...\All Users"); empty when unknown.
    std::wstring AllUsersProfile;

    // "c:\windows\" (lower case, trailing backslash) and the system folder with a trailing backslash.
    std::wstring WinDir() const;
    std::wstring SysDir() const;
    bool NtFamily() const { return Win.Kind >= 2; }
};

// The record of this process.
RepairSystem RepairSystemOfProcess();

// One change a repair makes (or, when only checking, would make). Registry changes name the
// root, key and value; file changes carry the path in Key with a null root.
enum class RepairAction {
    DeleteValue,     // the value Name of Key
    SetText,         // Name := After as text (REG_SZ), never over an integer or binary value
    SetInt,          // Name := Number as a 32-bit integer
    DeleteKey,       // Key with its whole tree
    DeleteFile,      // the file Key
    DeleteFolder,    // the folder Key with what it holds
    RunProgram,      // the program Key with the arguments Name
    ImportDefaults,  // the default WinSock2 catalogue of the running kind (Name: the resource)
    ResetCatalog,    // the system's reset of the WinSock2 catalogues (Vista and later; Now: what was found)
};

struct RepairChange {
    int Step = 0;  // the post-clean step (1-5)
    RepairAction Action = RepairAction::SetText;
    HKEY Root = nullptr;
    std::wstring Key;
    std::wstring Name;
    std::wstring Now;    // what is there now (text, "dword:..." for integers)
    std::wstring After;  // what will be there afterwards (empty: nothing)
    std::int32_t Number = 0;
    // The registry view the change was planned in, and is carried out in.
    RegView View = CurrentRegView();
};

// Carries a change out; true when it took effect.
bool ApplyRepairChange(const RepairChange& change, const std::function<bool(const std::wstring&)>& deleteFile,
                       const std::function<bool(const std::wstring&)>& deleteFolder);

}  // namespace tidemark
