#include "repair/repair_system.h"

#include <shellapi.h>
#include <shlobj.h>

#include "removal/removal_service.h"
#include "repair/winsock2.h"
#include "system/folder_macros.h"
#include "system/reg_paths.h"
#include "system/text_case.h"
#include "system/text_util.h"

namespace tidemark {

std::wstring RepairSystem::WinDir() const { return LowerCased(WithTrailingBackslash(Win.WindowsDir)); }

std::wstring RepairSystem::SysDir() const { return WithTrailingBackslash(Win.SystemDir); }

RepairSystem RepairSystemOfProcess() {
    RepairSystem system;
    system.Win = GetWinInfo();
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExW(&version))
        system.VistaOrLater = version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 6;
    if (system.NtFamily()) system.CommonStartup = GetFolderPath(CSIDL_COMMON_STARTUP);
    system.AllUsersProfile = GetFolderMacros().Value(MacroAllUserDir);
    return system;
}

bool ApplyRepairChange(const RepairChange& change, const std::function<bool(const std::wstring&)>& deleteFile,
                       const std::function<bool(const std::wstring&)>& deleteFolder) {
    const ScopedRegView view(change.View);
    switch (change.Action) {
        case RepairAction::DeleteValue:
            return ProcessRemovalService().RemoveRegValue(change.Root, change.Key, change.Name).Gone();
        case RepairAction::SetText: return RegWriteTextIfText(change.Root, change.Key, change.Name, change.After);
        case RepairAction::SetInt: return RegEnsureInt(change.Root, change.Key, change.Name, change.Number);
        case RepairAction::DeleteKey: return ProcessRemovalService().RemoveRegKeyTree(change.Root, change.Key).Gone();
        case RepairAction::DeleteFile: return deleteFile && deleteFile(change.Key);
        case RepairAction::DeleteFolder: return deleteFolder && deleteFolder(change.Key);
        case RepairAction::RunProgram:
            return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, nullptr, change.Key.c_str(), change.Name.c_str(),
                                                           nullptr, SW_HIDE)) > 32;
        case RepairAction::ImportDefaults:  // the WinSock2 repair imports or resets, after its question
        case RepairAction::ResetCatalog: break;
    }
    return false;
}

}  // namespace tidemark
