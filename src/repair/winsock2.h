// The WinSock2 catalogues: the check of what advertising software of the XP era did to them (a
// name-space provider switched off, a private "Protocol_Trans" key, its own library in the
// protocol catalogue), the backup of the current settings and the import of the default
// catalogue the program carries for the running Windows kind.
//
// On Windows Vista and later the catalogues are never edited in place (a removed entry leaves a
// hole the count still covers, and the system loses its networking): what the check finds there
// is put right by the system's own reset ("netsh winsock reset"), after which the computer has
// to be restarted.
//
// The check only reads. Everything it would change is returned as a list, and is carried out
// only after the user said Yes and after the backup the user asked for was written.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "repair/repair_system.h"

namespace tidemark {

// Where the catalogues live, under HKEY_LOCAL_MACHINE.
extern const wchar_t* const kWinsock2Key;            // SYSTEM\CurrentControlSet\Services\WinSock2
extern const wchar_t* const kWinsock2Parameters;     // ...\Parameters
extern const wchar_t* const kNameSpaceEntries;       // ...\Parameters\NameSpace_Catalog5\Catalog_Entries
extern const wchar_t* const kProtocolEntries;        // ...\Parameters\Protocol_Catalog9\Catalog_Entries
// The catalogues of 64-bit programs on 64-bit Windows (absent on 32-bit Windows).
extern const wchar_t* const kNameSpaceEntries64;     // ...\Parameters\NameSpace_Catalog5\Catalog_Entries64
extern const wchar_t* const kProtocolEntries64;      // ...\Parameters\Protocol_Catalog9\Catalog_Entries64
extern const wchar_t* const kProtocolTrans;          // ...\Protocol_Trans

// The default catalogue of a Windows kind: its resource (type "REG") and its entry counts.
struct DefaultCatalogue {
    const wchar_t* Resource;
    int NameSpaceEntries;
    int ProtocolEntries;
};
DefaultCatalogue DefaultCatalogueOf(int kind);

// Whether a protocol library path (any case) is one the check removes.
bool IsSuspiciousProtocolLibrary(const std::wstring& libraryPath);

// Reads the catalogues; true when anything was found or a catalogue cannot be inspected. fixes
// (when given) receives what the repair would change, in order (step 3 of the post-clean
// sequence). Nothing is changed here.
//
// Up to XP: the fixes in place (a name-space provider switched on, a protocol entry's key
// removed); the import that follows them is not in the list. On Vista and later the 64-bit
// catalogues are read too, and every finding in a catalogue is left to one reset, listed last
// (RepairAction::ResetCatalog: Now names what was found, After "netsh winsock reset").
bool CheckWinsock2(const RepairSystem& system, std::vector<RepairChange>* fixes = nullptr);
bool CheckWinsock2(std::vector<RepairChange>* fixes = nullptr);

// The import change of the running kind as the lists show it (up to XP).
RepairChange Winsock2ImportChange(const RepairSystem& system);

// The save dialog that asks where the backup goes; nothing when the user cancels.
struct BackupFileRequest {
    std::wstring Title;         // "把WinSock2的当前设置备份为，不输入文件名则不进行备份"
    std::wstring Filter;        // "注册表文件 (*.reg)|*.reg"
    std::wstring DefaultExt;    // "reg"
    std::wstring ProposedName;  // "WinSock2备份_yyyy_mm_dd_hh_nn.reg"
};
using BackupFileChooser = std::function<std::optional<std::wstring>(const BackupFileRequest&)>;
// The chooser the repair asks (the window's save dialog, a test's script). None installed: the
// dialog counts as cancelled. Returns the previous one.
BackupFileChooser SetBackupFileChooser(BackupFileChooser chooser);
BackupFileRequest Winsock2BackupRequest(const SYSTEMTIME& localTime);

// Exports the Parameters subtree to file (quoted, so a name with blanks works); true when the
// editor ended well and the file is there.
bool BackupWinsock2(const std::wstring& file);

// Imports the default catalogue of kind (kinds above 4 take the 2003 one); true when the editor
// ended well and the catalogue counts are those of the resource. Then (and only then) the notice
// "注册表恢复成功". Refused on Windows Vista and later. The temporary file is removed once the
// editor has ended.
bool RestoreRegistryDefaults(int kind, const RepairSystem& system);

// Runs the system's reset of the WinSock2 catalogues; true when it ended well. Tests install
// their own; none installed (or an empty one): "%SystemRoot%\System32\netsh.exe winsock reset",
// hidden, waited for, exit code 0. Returns the previous one.
using WinsockResetRunner = std::function<bool()>;
WinsockResetRunner SetWinsockResetRunner(WinsockResetRunner runner);

// The reset on Vista and later: the Parameters tree is recorded first (nothing happens when the
// recorder refuses), then the runner; on success the notice that a restart is needed.
bool ResetWinsockCatalogue();

// The check, the question (when ask), the backup, the changes, then the import (up to XP) or the
// reset (Vista and later). report (when given) hears of each change with its result.
using ChangeReport = std::function<void(const RepairChange&, bool result)>;
void RepairWinsock2(bool ask, const RepairSystem& system, const ChangeReport& report = {});
void RepairWinsock2(bool ask);

// The texts of the repair.
extern const wchar_t* const kWinsock2Question;
extern const wchar_t* const kRestoreSucceeded;
extern const wchar_t* const kResetNeedsRestart;
extern const wchar_t* const kWinsockResetCommand;  // "netsh winsock reset"

}  // namespace tidemark
