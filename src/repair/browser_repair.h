// The browser and shell settings rogue programs change: repairs tied to a definition's id, run
// once its entries are removed, and the fixed sequence that follows every clean from the window.
// Every registry write is conditional: a value holding an integer or binary data stays as it is.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "repair/repair_system.h"
#include "repair/winsock2.h"

namespace tidemark {

// The browser maker's defaults we restore.
extern const wchar_t* const kSearchAssistant;     // http://ie.search.msn.com/{SUB_RFC1766}/srchasst/srchasst.htm
extern const wchar_t* const kSearchCustomize;     // http://ie.search.msn.com/{SUB_RFC1766}/srchasst/srchcust.htm
extern const wchar_t* const kSearchRedirector;    // http://www.microsoft.com/isapi/redir.dll?prd=ie&ar=iesearch
extern const wchar_t* const kFixedStartPage;      // http://cn.msn.com/
// Domains of the portals start-page hijackers pointed the browser to.
extern const std::array<const wchar_t*, 16> kHijackDomains;

// The host part of an address, lower case, without user, port or trailing dot.
std::wstring HostOfAddress(const std::wstring& address);
// True when the address's host is one of the hijack domains or a name below one.
bool IsHijackedStartPage(const std::wstring& address);

// The repair of a definition id: false when a write it tried did not take (a value left alone by
// rule, such as a number where text would go or a folder value for a missing folder, is no
// failure). Ids without a repair succeed.
bool RunDefinitionRepair(int id, const RepairSystem& system);
bool RunDefinitionRepair(int id);
// False when an association write was tried and did not take.
bool RestoreFileAssociations(const RepairSystem& system);

using FileOperation = bool (*)(const std::wstring&);

// What the post-clean sequence would change, in its order; reads only. withDeletions: as if it
// were given its two operations (the advertising files and the shutdown step are then listed).
std::vector<RepairChange> PlanPostCleanRepairs(const RepairSystem& system, bool withDeletions);

// The post-clean sequence: Run-key cleanup, start page, WinSock2, advertising libraries and
// folder, and on XP and later the end of a pending shutdown. deleteFile and deleteFolder may be
// null (steps 4 and 5 are then left out, and the WinSock2 step does not ask). report (when
// given) hears of every change with its result.
void RunPostCleanRepairs(const RepairSystem& system, FileOperation deleteFile, FileOperation deleteFolder,
                         const ChangeReport& report = {});
void RunPostCleanRepairs(FileOperation deleteFile, FileOperation deleteFolder);

}  // namespace tidemark
