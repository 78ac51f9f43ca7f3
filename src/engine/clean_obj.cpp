#include "engine/clean_obj.h"

#include <windows.h>

#include "engine/definition_script.h"
#include "removal/protected_places.h"
#include "repair/browser_repair.h"
#include "system/file_ops.h"
#include "system/folder_macros.h"
#include "system/handles.h"
#include "system/reg_paths.h"
#include "system/services.h"
#include "system/text_case.h"
#include "system/win_info.h"
#include "system/win_sys.h"

namespace tidemark {

namespace {

const ColouredText kNoText{L"", kBlack};

}  // namespace

const ColouredText& EntryStateText(std::uint8_t state) {
    return state < EntryStateTexts.size() ? EntryStateTexts[state] : kNoText;
}

const ColouredText& ObjectStatusText(std::uint8_t status) {
    return status < ObjectStatusTexts.size() ? ObjectStatusTexts[status] : kNoText;
}

std::wstring FolderPartOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool EntryKeySharedByViews(const std::wstring& path, bool value) {
    std::wstring key = value ? FolderPartOf(path) : path;
    if (!key.empty() && key.back() == L'\\') key.pop_back();
    return KeyPathSharedByViews(key);
}

// ---- the default host ----

const TSysDir& CleanHost::Macros() const { return GetFolderMacros(); }

const RemovalService& CleanHost::Removals() const { return ProcessRemovalService(); }

bool CleanHost::PostCleanRepair(int id) { return RunDefinitionRepair(id); }

bool CleanHost::InSafeMode() const { return IsSafeMode(); }

std::uint32_t CleanHost::ExplorerProcess() const {
    TWinSys& system = GetWinSys();
    system.RefreshProcesses();
    return system.GetExplorerPid();
}

bool CleanHost::EndExplorer(std::uint32_t processId) { return GetWinSys().EndShellProcess(processId); }

CleanHost& DefaultCleanHost() {
    static CleanHost host;
    return host;
}

// ---- TCleanObj ----

TCleanObj::TCleanObj(CleanHost& host) : host_(&host) {}

int TCleanObj::Append(ItemList& list, const std::wstring& path) {
    list.push_back(std::make_unique<TSingleItem>(TSingleItem{path, StatePending}));
    return static_cast<int>(list.size()) - 1;
}

int TCleanObj::AddFile(const std::wstring& path) { return Append(Files, path); }

int TCleanObj::AddFolder(const std::wstring& path) {
    std::wstring folder = host_->Macros().Expand(path);
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return Append(Folders, folder);
}

int TCleanObj::AddRegKey(const std::wstring& path) { return Append(RegKeys, path); }
int TCleanObj::AddRegValue(const std::wstring& path) { return Append(RegValues, path); }
int TCleanObj::AddService(const std::wstring& name) { return Append(Services, name); }
int TCleanObj::AddCheckFile(const std::wstring&) { return -1; }
int TCleanObj::AddCheckKey(const std::wstring&) { return -1; }
int TCleanObj::AddCheckValue(const std::wstring&) { return -1; }
int TCleanObj::AddCheckText(const std::wstring&) { return -1; }

void TCleanObj::AddExpanded(const std::wstring& pattern, ItemList& target) {
    if (pattern.find(L'*') == std::wstring::npos) {
        Append(target, pattern);
        return;
    }
    const std::wstring base = FolderPartOf(pattern);
    // A pattern over a protected folder would list what nobody asked to remove; it adds nothing.
    if (base.empty() || JudgeWildcardTarget(pattern, host_->Protected()) != TargetVerdict::Allowed ||
        ReachedThroughReparsePoint(pattern)) {
        return;
    }
    WIN32_FIND_DATAW data{};
    UniqueFindHandle find(FindFirstFileW(ExtendedPath(pattern).c_str(), &data));
    if (!find) return;
    std::vector<std::wstring> subfolders;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Append(Folders, base + name + L"\\");
            // A linked folder is removed as the link; what it leads to is not ours to list.
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) subfolders.push_back(base + name + L"\\*.*");
        } else {
            Append(target, base + name);
        }
        // Each subfolder is expanded where it was met, before the next match.
        for (const std::wstring& below : subfolders) AddExpanded(below, target);
        subfolders.clear();
    } while (FindNextFileW(find.get(), &data));
}

void TCleanObj::Report(const TSingleItem& item, ItemKind kind, const Removal& removal) {
    if (OnRemoval) OnRemoval->Processed(RemovalReport{this, &item, kind, removal.Verdict, removal.Error}, removal.Result);
}

bool TCleanObj::Settle(TSingleItem& item, const Removal& removal) {
    item.State = removal.Gone() ? StateRemoved : StateRemoveFailed;
    return removal.Gone();
}

Removal TCleanObj::Reported(const TSingleItem& item, ItemKind kind, const Removal& removal) {
    Report(item, kind, removal);
    return removal;
}

Removal TCleanObj::RemoveFileEntry(TSingleItem& item) {
    const ScopedRegView view(item.View);
    const RemovalService& service = host_->Removals();
    // What remains of a wildcard names its whole folder.
    return Reported(item, ItemFile,
                    item.Path.find(L'*') != std::wstring::npos ? service.RemoveFolderTree(FolderPartOf(item.Path))
                                                               : service.RemoveFile(item.Path, kDefinitionFileRemoval));
}

Removal TCleanObj::RemoveFolderEntry(TSingleItem& item) {
    const ScopedRegView view(item.View);
    return Reported(item, ItemFolder, host_->Removals().RemoveFolderTree(item.Path));
}

Removal TCleanObj::RemoveKeyEntry(TSingleItem& item) {
    const ScopedRegView view(item.View);
    return Reported(item, ItemRegKey, host_->Removals().RemoveRegKeyPath(item.Path));
}

Removal TCleanObj::RemoveValueEntry(TSingleItem& item) {
    const ScopedRegView view(item.View);
    return Reported(item, ItemRegValue, host_->Removals().RemoveRegValuePath(item.Path));
}

Removal TCleanObj::RemoveCheckTextEntry(TSingleItem& item) {
    const ScopedRegView view(item.View);
    const std::wstring valuePath(CheckTextValuePath(item.Path));
    if (valuePath.size() < item.Path.size()) {
        const std::wstring wanted = item.Path.substr(valuePath.size() + 1);
        std::wstring data;
        ReadValuePath(valuePath, data);
        if (!ValuePathExists(valuePath) || UpperCased(data).find(UpperCased(wanted)) == std::wstring::npos) {
            // Nothing of the rogue's is in the value: it stays, and there is nothing left to remove.
            Removal kept;
            kept.Result = Outcome::Missing;
            Report(item, ItemRegValue, kept);
            return kept;
        }
    }
    const Removal removal = host_->Removals().RemoveRegValuePath(valuePath);
    Report(item, ItemRegValue, removal);
    return removal;
}

Removal TCleanObj::RemoveServiceEntry(SC_HANDLE manager, TSingleItem& item) {
    const Removal removal = host_->Removals().RemoveService(manager, item.Path);
    Report(item, ItemService, removal);
    return removal;
}

bool TCleanObj::CleanOne(ItemList& list, int index, bool recheck, EntryRemoval remove) {
    if (index < 0 || index >= static_cast<int>(list.size())) return false;
    TSingleItem& item = *list[index];
    const bool removed = Settle(item, (this->*remove)(item));
    const ScopedRegView view(View);
    if (removed && recheck) Check();
    return removed;
}

bool TCleanObj::CleanFile(int index, bool recheck) { return CleanOne(Files, index, recheck, &TCleanObj::RemoveFileEntry); }
bool TCleanObj::CleanFolder(int index, bool recheck) { return CleanOne(Folders, index, recheck, &TCleanObj::RemoveFolderEntry); }
bool TCleanObj::CleanRegKey(int index, bool recheck) { return CleanOne(RegKeys, index, recheck, &TCleanObj::RemoveKeyEntry); }
bool TCleanObj::CleanRegValue(int index, bool recheck) { return CleanOne(RegValues, index, recheck, &TCleanObj::RemoveValueEntry); }

bool TCleanObj::CleanService(SC_HANDLE manager, int index, bool recheck) {
    if (index < 0 || index >= static_cast<int>(Services.size())) return false;
    // Without a manager the service opens one for the call.
    const bool removed = Settle(*Services[index], RemoveServiceEntry(manager, *Services[index]));
    if (removed && recheck) Check();
    return removed;
}

int TCleanObj::EntryCount() const {
    return static_cast<int>(Files.size() + RegKeys.size() + RegValues.size() + Services.size() + Folders.size() +
                            KeyFiles.size());
}

bool TCleanObj::Clean() {
    // An unexpected error (a failed allocation) is not an entry's failure: it goes to the caller.
    int removed = 0;
    if (!Services.empty()) {
        UniqueScHandle manager = OpenServiceManager();
        for (auto& item : Services) {
            // Without a manager every service is a failure, with the system's reason.
            Removal removal;
            removal.Error = GetLastError();
            if (manager) removal = RemoveServiceEntry(manager.get(), *item);
            else Report(*item, ItemService, removal);
            removed += Settle(*item, removal) ? 1 : 0;
        }
    }
    const auto removeAll = [&](ItemList& list, EntryRemoval remove) {
        for (auto& item : list) removed += Settle(*item, (this->*remove)(*item)) ? 1 : 0;
    };
    removeAll(Files, &TCleanObj::RemoveFileEntry);
    removeAll(Folders, &TCleanObj::RemoveFolderEntry);
    removeAll(RegKeys, &TCleanObj::RemoveKeyEntry);
    removeAll(RegValues, &TCleanObj::RemoveValueEntry);
    removeAll(KeyFiles, &TCleanObj::RemoveKeyEntry);
    const bool repaired = host_->PostCleanRepair(Id);
    return repaired && removed == EntryCount();
}

std::unique_ptr<TCleanObj> CreateCleanObject(const CleanClass& cls, CleanHost& host) { return cls.Create(host); }

std::unique_ptr<TCleanObj> CreateCleanObject(const CleanClass& cls, const std::vector<std::wstring>& script,
                                             CleanHost& host) {
    return cls.CreateFromScript(script, host);
}

}  // namespace tidemark
