// The process snapshot and what the program does to processes: listing them with their modules
// and threads, ending them, deleting a file that a process or a library in use holds, the
// session's user, and the threads a kernel driver runs. One services object per process, of a
// class chosen by the Windows kind: tool-help on the 9x family, the native calls on NT.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tidemark {

struct TModuleItem {
    std::uintptr_t Base = 0;
    std::wstring Name;
    std::wstring Path;
};

struct TThreadItem {
    std::uintptr_t StartAddress = 0;  // 0 on 9x
    std::uint32_t ThreadId = 0;
    std::uint32_t Priority = 0;
    std::uint32_t State = 0;         // 0 on 9x
    std::uint32_t WaitReason = 0;    // 0 on 9x
};

// 0 none, 1 system file, 2 a system file's name outside its place, 3 a rogue name, 4 a rogue path.
using ProcessRater = std::uint8_t (*)(const std::wstring& name, const std::wstring& path);
// The rater every new process item uses (the engine's list-based one); null puts back the
// default, which rates everything 0.
void SetProcessRater(ProcessRater rater);

// The path as the system reports it, made usable: empty becomes the name, a leading "\??\" goes,
// a leading "\SystemRoot" becomes the Windows folder.
std::wstring NormaliseProcessPath(const std::wstring& name, const std::wstring& path, const std::wstring& windowsDir);

class TProcessItem {
public:
    // Normalises the path and rates the process; the owner fills modules and threads.
    TProcessItem(std::uint32_t processId, std::wstring name, const std::wstring& path);

    std::uint32_t ProcessId;
    std::wstring Name;
    std::wstring Path;
    std::uint8_t Rating = 0;
    std::vector<std::unique_ptr<TModuleItem>> Modules;
    std::vector<std::unique_ptr<TThreadItem>> Threads;
};

// 9x thread priority: base + delta, held inside the class of the base (1-15 or 16-31).
std::uint32_t ClampThreadPriority9x(long basePriority, long deltaPriority);

// Why a process may not be ended by the program.
enum class ProcessGuard {
    Allowed,
    OwnProcess,      // the program itself
    CriticalProcess, // csrss, winlogon, smss, lsass, services (or a process whose image is unknown)
    SessionShell,    // the session's Explorer: only EndShellProcess ends it
    ReusedId,        // the id names another image than when the list was taken
};
// What the guard says of ending the process with that id and image path.
ProcessGuard GuardOfProcess(std::uint32_t processId, const std::wstring& imagePath);

class TWinSysBase {
public:
    virtual ~TWinSysBase() = default;
    // The operations in the order the program's classes declare them.
    virtual bool SuspendDriverThreads(const std::wstring& name) = 0;
    virtual void GetHostsPath(std::wstring& path) = 0;
    virtual void GetSessionUserName(std::wstring& name) = 0;
    virtual void GetSessionUserKey(std::wstring& key) = 0;
    virtual void ShowFileProperties(HWND owner, const std::wstring& path) = 0;
    virtual bool KillProcess(std::uint32_t processId) = 0;
    virtual bool KillProcessFallback(std::uint32_t processId) = 0;
    virtual void RefreshProcesses() = 0;
    virtual void GetProcessImagePath(std::uint32_t processId, std::wstring& path) = 0;
};

class TWinSys : public TWinSysBase {
public:
    bool SuspendDriverThreads(const std::wstring& name) override;
    void GetSessionUserName(std::wstring& name) override;
    void GetSessionUserKey(std::wstring& key) override;

    void ClearProcesses();
    // Rating descending; path-less items first; then by upper-cased path.
    void SortProcesses();
    std::size_t ProcessCount() const { return processes_.size(); }
    TProcessItem* ProcessAt(std::size_t index) const;
    // Refreshes first when the list is empty; compared without case.
    TProcessItem* FindProcessByPath(const std::wstring& path);
    TProcessItem* FindProcessById(std::uint32_t processId) const;
    // Indices of the items with a module of that path. False when there are none, or when count
    // (the room offered) is smaller than their number: count then says how many there are.
    bool FindProcessesUsingModule(const std::wstring& path, std::vector<std::size_t>& indices, std::size_t& count) const;
    std::uint32_t GetExplorerPid() const;

    // Ends the item's process; an item whose process was ended only by the fallback is dropped.
    void KillAndForget(std::size_t index);
    // Ends the programs that run the file or have it loaded (never the session's Explorer, the
    // program itself or a critical process), then deletes it; what survives is scheduled for
    // deletion at restart and recorded in the boot-time list. A folder is not deleted (Failed).
    // Ends the programs that run the file (an .exe) or have it loaded (a .dll), never the
    // session's shell, the program itself or a critical process. A wildcard ends nothing.
    void EndUsersOfFile(const std::wstring& path);
    // Ends the session's Explorer, for a definition whose clean asks for it; only a process whose
    // image is the Windows folder + "\Explorer.EXE" is ended.
    bool EndShellProcess(std::uint32_t processId);
    // Why the last refused termination was refused (Allowed when none was).
    ProcessGuard LastGuard() const { return lastGuard_; }

protected:
    // Adds the process's modules to a new item.
    virtual void FillModules(TProcessItem& item) = 0;
    // Ends the process, the family's way, when MayEnd allows it; waits for its end.
    virtual bool TerminateChecked(std::uint32_t processId, bool allowShell) = 0;
    // Whether the process may be ended (call it while holding the process open, so the id
    // cannot pass to another program meanwhile); the answer is kept in LastGuard.
    bool MayEnd(std::uint32_t processId, bool allowShell);
    // The image the process with that id had when listed: empty when it was not listed.
    std::wstring ListedImage(std::uint32_t processId) const;
    void Append(std::unique_ptr<TProcessItem> item) { processes_.push_back(std::move(item)); }

    std::vector<std::unique_ptr<TProcessItem>> processes_;
    ProcessGuard lastGuard_ = ProcessGuard::Allowed;
};

class TWinSys9x : public TWinSys {
public:
    void GetHostsPath(std::wstring& path) override;
    void ShowFileProperties(HWND owner, const std::wstring& path) override;
    bool KillProcess(std::uint32_t processId) override;
    bool KillProcessFallback(std::uint32_t processId) override;
    void RefreshProcesses() override;
    void GetProcessImagePath(std::uint32_t processId, std::wstring& path) override;

protected:
    void FillModules(TProcessItem& item) override;
    bool TerminateChecked(std::uint32_t processId, bool allowShell) override;
};

struct DriverRecord {
    std::uintptr_t Base = 0;
    std::uint32_t Size = 0;
    std::wstring Name;  // lower-case file name
};

class TWinSys2k : public TWinSys {
public:
    TWinSys2k();
    ~TWinSys2k() override;
    bool SuspendDriverThreads(const std::wstring& name) override;
    void GetHostsPath(std::wstring& path) override;
    void GetSessionUserName(std::wstring& name) override;
    void GetSessionUserKey(std::wstring& key) override;
    void ShowFileProperties(HWND owner, const std::wstring& path) override;
    bool KillProcess(std::uint32_t processId) override;
    bool KillProcessFallback(std::uint32_t processId) override;
    void RefreshProcesses() override;
    void GetProcessImagePath(std::uint32_t processId, std::wstring& path) override;

    // The threads of the System process that start inside the driver's image (its kernel-module
    // entry's [base, base + size)); suspends nothing. Empty when the driver is not loaded.
    std::vector<std::uint32_t> FindDriverThreads(const std::wstring& name);

protected:
    void FillModules(TProcessItem& item) override;
    bool TerminateChecked(std::uint32_t processId, bool allowShell) override;
    const DriverRecord* FindDriver(const std::wstring& name);

    std::vector<DriverRecord> drivers_;
};

class TWinSysXp : public TWinSys2k {
public:
    void GetSessionUserName(std::wstring& name) override;
    bool KillProcessFallback(std::uint32_t processId) override;
};

// The one services object, made on the first call: 9x for kinds 0-1, 2000 for 2, XP above.
TWinSys& GetWinSys();

// Native helpers (NT family).
HANDLE OpenProcessNative(std::uint32_t processId, std::uint32_t access);
// The account name (no domain) of the process's user; empty on any failure.
std::wstring GetProcessOwnerName(std::uint32_t processId);
// The HKEY_USERS subkey whose Explorer key holds "Logon User Name" equal to name (no case).
std::wstring FindUserKeyByLogonName(const std::wstring& name);
// The same among the subkeys of users; empty when none matches or the subkeys cannot be read.
std::wstring FindUserKeyByLogonNameIn(HKEY users, const std::wstring& name);
// The first process whose image name equals name without case (over the whole name); 0 when none.
std::uint32_t FindProcessIdByImageName(const std::wstring& name);
// The kernel modules the system reports, highest base first (empty on 9x or on failure).
std::vector<DriverRecord> ReadDriverRecords();
// The shell's property sheet of the file (shell32's ordinal 178).
void ShowObjectProperties(HWND owner, const std::wstring& path);

// A system DLL's module, loaded now from the system folder if nothing has loaded it yet (the
// programs bind most system DLLs at the first call into them, so one may not be there). It stays
// loaded for the process.
HMODULE SystemLibrary(const wchar_t* name);

}  // namespace tidemark
