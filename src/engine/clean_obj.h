// Cleanable objects: everything the engine can detect and remove (a rogue-software definition,
// a browser plug-in) is a TCleanObj holding typed lists of entries — files, folders, registry
// keys and values, services — that it can check and remove one by one or all at once. Objects
// know nothing of the window: what they examine and remove goes to sinks their owner attaches.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/engine_contract.h"
#include "removal/removal_guard.h"
#include "removal/removal_service.h"
#include "system/handles.h"
#include "system/reg_view.h"

namespace tidemark {

class TSysDir;

// Entry states (TSingleItem::State).
enum EntryState : std::uint8_t {
    StatePending = 0,      // "待检查"
    StateNotFound = 1,     // "没有找到"
    StateRemoved = 2,      // "清除成功"
    StateFound = 3,        // "找到"
    StateRunning = 4,      // "正在运行"
    StateRemoveFailed = 5  // "清除失败"
};

// Object statuses (TCleanInterface::Status).
enum ObjectStatus : std::uint8_t { StatusNotFound = 0, StatusRemnants = 1, StatusInstalled = 2 };

// Item kinds, as reported with every examined entry.
enum ItemKind : std::uint8_t { ItemService = 0, ItemFolder = 1, ItemFile = 2, ItemRegKey = 3, ItemRegValue = 4 };

// A text with the colour it is shown in (0x00BBGGRR, as a COLORREF).
struct ColouredText {
    const wchar_t* Text;
    std::uint32_t Colour;
};
inline constexpr std::uint32_t kBlack = 0x000000, kGrey = 0x808080, kRed = 0x0000FF, kOlive = 0x008080;

inline constexpr std::array<ColouredText, 6> EntryStateTexts = {{
    {L"待检查", kBlack}, {L"没有找到", kGrey}, {L"清除成功", kGrey},
    {L"找到", kBlack}, {L"正在运行", kRed}, {L"清除失败", kRed},
}};
inline constexpr std::array<ColouredText, 3> ObjectStatusTexts = {{
    {L"没有找到", kBlack}, {L"有残留", kOlive}, {L"已安装", kRed},
}};
inline constexpr std::array<const wchar_t*, 5> ItemKindNames = {
    L"系统服务", L"文件夹", L"文件", L"注册表键", L"注册表值"};
// By plug-in kind - 1.
inline constexpr std::array<const wchar_t*, 5> PluginKindNames = {
    L"BHO", L"工具栏", L"右键菜单", L"工具栏按钮", L"浏览器栏"};

// The text of a state or status; out-of-range values give an empty text.
const ColouredText& EntryStateText(std::uint8_t state);
const ColouredText& ObjectStatusText(std::uint8_t status);

// One entry: a file or folder path, a registry path (root first), or a service name.
struct TSingleItem {
    std::wstring Path;
    std::uint8_t State = StatePending;
    // The registry view the entry was found in (a registry path is removed there, a file path
    // is already as this process names it).
    RegView View = CurrentRegView();
};
// Entries are owned one by one, so an entry handed to a sink stays where it is while the list grows.
using ItemList = std::vector<std::unique_ptr<TSingleItem>>;

class TCleanInterface;

// One examined entry (by a check or a plug-in load), reported after its state was set.
struct ItemReport {
    TCleanInterface* Sender = nullptr;
    int Index = 0;  // in its own list
    TSingleItem* Item = nullptr;
    ItemKind Kind = ItemFile;
    std::uintptr_t Tag = 0;
};

// One removal as the removal service answered it: why the guard refused (Outcome::Refused),
// the system's error code (Outcome::Failed, Outcome::Deferred).
struct RemovalReport {
    TCleanInterface* Sender = nullptr;
    const TSingleItem* Item = nullptr;
    ItemKind Kind = ItemFile;
    TargetVerdict Verdict = TargetVerdict::Allowed;
    unsigned long Error = 0;
};

// How a definition's (and a rogue plug-in's) files go: the programs that run them or have them
// loaded are ended first; what still cannot go now goes at the next restart, also through the
// boot-time list.
inline constexpr FileRemovalOptions kDefinitionFileRemoval{FileMethod::RestartIfHeld, true, true};

// What objects need from the process, in one place, so the tests can stand in. The default
// host uses the system layer as it is.
class CleanHost {
public:
    virtual ~CleanHost() = default;
    // The folder macros of definition paths.
    virtual const TSysDir& Macros() const;
    // The one way an object removes anything (default: the process's service).
    virtual const RemovalService& Removals() const;
    // Places no removal may touch: those the service protects.
    const ProtectedPlaces& Protected() const { return Removals().Places(); }
    // The repair that follows the clean of the definition with this id; false when it failed.
    virtual bool PostCleanRepair(int id);
    virtual bool InSafeMode() const;
    // The process of the session's shell (the Windows folder + "\Explorer.EXE"); 0 when none runs.
    virtual std::uint32_t ExplorerProcess() const;
    // Ends that process, after making sure the id still names the same image.
    virtual bool EndExplorer(std::uint32_t processId);
};

// The host of the process (the default one, until a front end installs another).
CleanHost& DefaultCleanHost();

// The abstract interface of every cleanable object: its fields and its operations.
class TCleanInterface {
public:
    virtual ~TCleanInterface() = default;

    std::uint8_t Status = StatusNotFound;
    std::int32_t Id = -1;
    std::wstring Name;
    std::uint8_t Kind = 0;  // plug-in kind 1..5; 0 for definitions
    RegView View = CurrentRegView();  // the registry view the object was made in
    std::uintptr_t Tag = 0;
    Sink<ItemReport>* OnItem = nullptr;  // every examined entry, when attached

    virtual std::uint8_t Check() = 0;
    virtual bool Clean() = 0;
    virtual int AddFile(const std::wstring& path) = 0;
    virtual int AddFolder(const std::wstring& path) = 0;
    virtual int AddRegKey(const std::wstring& path) = 0;
    virtual int AddRegValue(const std::wstring& path) = 0;
    virtual int AddService(const std::wstring& name) = 0;
    virtual int AddCheckFile(const std::wstring& path) = 0;
    virtual int AddCheckKey(const std::wstring& path) = 0;
    virtual int AddCheckValue(const std::wstring& path) = 0;
    virtual int AddCheckText(const std::wstring& text) = 0;
    virtual bool CleanFile(int index, bool recheck) = 0;
    virtual bool CleanFolder(int index, bool recheck) = 0;
    virtual bool CleanRegKey(int index, bool recheck) = 0;
    virtual bool CleanRegValue(int index, bool recheck) = 0;
    virtual bool CleanService(SC_HANDLE manager, int index, bool recheck) = 0;
    virtual bool CleanCheckFile(int index, bool recheck) = 0;
    virtual bool CleanCheckValue(int index, bool recheck) = 0;

protected:
    TCleanInterface() = default;
};

// The entry lists and the removals every kind of object shares; checking is the kinds' own.
class TCleanObj : public TCleanInterface {
public:
    explicit TCleanObj(CleanHost& host = DefaultCleanHost());

    ItemList Files, RegKeys, RegValues, Services, Folders, KeyFiles;
    // Removals the guard refused and the outcome of each removal, when attached.
    Sink<RemovalReport>* OnRemoval = nullptr;

    bool Clean() override;
    int AddFile(const std::wstring& path) override;
    int AddFolder(const std::wstring& path) override;
    int AddRegKey(const std::wstring& path) override;
    int AddRegValue(const std::wstring& path) override;
    int AddService(const std::wstring& name) override;
    // The check lists belong to definitions; here they hold nothing and add nothing (-1).
    int AddCheckFile(const std::wstring& path) override;
    int AddCheckKey(const std::wstring& path) override;
    int AddCheckValue(const std::wstring& path) override;
    int AddCheckText(const std::wstring& text) override;
    bool CleanFile(int index, bool recheck) override;
    bool CleanFolder(int index, bool recheck) override;
    bool CleanRegKey(int index, bool recheck) override;
    bool CleanRegValue(int index, bool recheck) override;
    // manager: an open service manager, or null to open (and close) one for this entry.
    bool CleanService(SC_HANDLE manager, int index, bool recheck) override;

    int EntryCount() const;
    virtual int CheckCount() const { return 0; }
    CleanHost& Host() const { return *host_; }

protected:
    using EntryRemoval = Removal (TCleanObj::*)(TSingleItem&);
    // The removal of one entry of each kind through the host's removal service, reported with
    // the service's answer (the entry's state is the caller's).
    Removal RemoveFileEntry(TSingleItem& item);
    Removal RemoveFolderEntry(TSingleItem& item);
    Removal RemoveKeyEntry(TSingleItem& item);
    Removal RemoveValueEntry(TSingleItem& item);
    Removal RemoveServiceEntry(SC_HANDLE manager, TSingleItem& item);
    // A value named by a check text: the value before the last inner comma, removed only when
    // its data holds the text after that comma (a check text on a value Windows needs, such as
    // Winlogon's "Userinit", must not cost the value itself when the rogue text is not in it).
    Removal RemoveCheckTextEntry(TSingleItem& item);
    // Sets the entry's state from the answer: removed when nothing of it is left in place,
    // failed otherwise (one left for the restart included); true when removed.
    static bool Settle(TSingleItem& item, const Removal& removal);
    // Appends, and expands "*" the way definitions do: matching files into target, matching
    // folders into Folders with every file below them.
    void AddExpanded(const std::wstring& pattern, ItemList& target);
    // Runs one single-entry removal: sets the state, rechecks when asked and successful.
    bool CleanOne(ItemList& list, int index, bool recheck, EntryRemoval remove);
    void Report(const TSingleItem& item, ItemKind kind, const Removal& removal);
    // Reports the removal and hands it back.
    Removal Reported(const TSingleItem& item, ItemKind kind, const Removal& removal);
    static int Append(ItemList& list, const std::wstring& path);

private:
    CleanHost* host_;
};

// Class references: what a creator that knows only the class needs to build an object of it.
// Create() builds an empty object; Create(script) one from a definition script (a kind that
// takes no script ignores it).
struct CleanClass {
    const char* Name;
    std::unique_ptr<TCleanObj> (*Create)(CleanHost& host);
    std::unique_ptr<TCleanObj> (*CreateFromScript)(const std::vector<std::wstring>& script, CleanHost& host);
};

std::unique_ptr<TCleanObj> CreateCleanObject(const CleanClass& cls, CleanHost& host = DefaultCleanHost());
std::unique_ptr<TCleanObj> CreateCleanObject(const CleanClass& cls, const std::vector<std::wstring>& script,
                                             CleanHost& host = DefaultCleanHost());

// The folder part of a path, up to and including its last "\" (empty without one).
std::wstring FolderPartOf(const std::wstring& path);

// Whether the key a registry entry names (a value's key for a value path) is one key both
// registry views share, so that the entry in either view is the same entry.
bool EntryKeySharedByViews(const std::wstring& path, bool value);

}  // namespace tidemark
