#include "engine/clean_obj.h"

#include <windows.h>

#include "engine/definition_script.h"
#include "engine/removal_guard_system.h"
#include "repair/browser_repair.h"
#include "system/boot_list.h"
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

// ---- the default host ----

const TSysDir& CleanHost::Macros() const { return GetFolderMacros(); }

const ProtectedPlaces& CleanHost::Protected() const {
    if (!protected_) protected_ = std::make_unique<ProtectedPlaces>(ProtectedPlacesOfSystem(nullptr));
    return *protected_;
}

FileRemoval CleanHost::RemoveFile(const std::wstring& path) {
    // The programs that run the file or have it loaded are ended first (never the session's
    // shell, the program itself or a critical process); what survives goes at the next restart.
    switch (GetWinSys().DeleteFileKillingUsers(path)) {
        case FileDeletion::Removed: return FileRemoval::Removed;
        case FileDeletion::Deferred: return FileRemoval::Deferred;
        case FileDeletion::Failed: break;
    }
    return FileRemoval::Failed;
}

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

void TCleanObj::Report(const TSingleItem& item, ItemKind kind, Outcome outcome, TargetVerdict verdict) {
    if (OnRemoval) OnRemoval->Processed(RemovalReport{this, &item, kind, verdict}, outcome);
}

bool TCleanObj::RemoveFileEntry(TSingleItem& item) {
    const std::wstring& path = item.Path;
    const ProtectedPlaces& places = host_->Protected();
    if (path.find(L'*') != std::wstring::npos) {
        // What remains of a wildcard names its whole folder.
        const std::wstring folder = FolderPartOf(path);
        TargetVerdict verdict = JudgeFolderTarget(folder, places);
        if (verdict == TargetVerdict::Allowed && ReachedThroughReparsePoint(folder)) verdict = TargetVerdict::ThroughReparsePoint;
        if (verdict != TargetVerdict::Allowed) {
            Report(item, ItemFile, Outcome::Refused, verdict);
            return false;
        }
        const bool removed = RemoveFolderTree(folder);
        Report(item, ItemFile, removed ? Outcome::Done : Outcome::Failed);
        return removed;
    }
    TargetVerdict verdict = JudgeFileTarget(path, places);
    if (verdict == TargetVerdict::Allowed && ReachedThroughReparsePoint(path)) verdict = TargetVerdict::ThroughReparsePoint;
    if (verdict != TargetVerdict::Allowed) {
        Report(item, ItemFile, Outcome::Refused, verdict);
        return false;
    }
    const FileRemoval removal = host_->RemoveFile(path);
    Report(item, ItemFile,
           removal == FileRemoval::Removed ? Outcome::Done
           : removal == FileRemoval::Deferred ? Outcome::Deferred : Outcome::Failed);
    return removal == FileRemoval::Removed;
}

bool TCleanObj::RemoveFolderEntry(TSingleItem& item) {
    TargetVerdict verdict = JudgeFolderTarget(item.Path, host_->Protected());
    if (verdict == TargetVerdict::Allowed && ReachedThroughReparsePoint(item.Path)) verdict = TargetVerdict::ThroughReparsePoint;
    if (verdict != TargetVerdict::Allowed) {
        Report(item, ItemFolder, Outcome::Refused, verdict);
        return false;
    }
    const bool removed = RemoveFolderTree(item.Path);
    Report(item, ItemFolder, removed ? Outcome::Done : Outcome::Failed);
    return removed;
}

bool TCleanObj::RemoveKeyEntry(TSingleItem& item) {
    const bool removed = DeleteKeyPath(item.Path);
    Report(item, ItemRegKey, removed ? Outcome::Done : Outcome::Failed);
    return removed;
}

bool TCleanObj::RemoveValueEntry(TSingleItem& item) {
    const bool removed = DeleteValuePath(item.Path);
    Report(item, ItemRegValue, removed ? Outcome::Done : Outcome::Failed);
    return removed;
}

bool TCleanObj::RemoveCheckTextEntry(TSingleItem& item) {
    const std::wstring valuePath(CheckTextValuePath(item.Path));
    if (valuePath.size() < item.Path.size()) {
        const std::wstring wanted = item.Path.substr(valuePath.size() + 1);
        std::wstring data;
        ReadValuePath(valuePath, data);
        if (!ValuePathExists(valuePath) || UpperCased(data).find(UpperCased(wanted)) == std::wstring::npos) {
            // Nothing of the rogue's is in the value: it stays, and there is nothing left to remove.
            Report(item, ItemRegValue, Outcome::Missing);
            return true;
        }
    }
    const bool removed = DeleteValuePath(valuePath);
    Report(item, ItemRegValue, removed ? Outcome::Done : Outcome::Failed);
    return removed;
}

bool TCleanObj::RemoveServiceEntry(SC_HANDLE manager, TSingleItem& item) {
    const bool removed = DeleteServiceWith(manager, item.Path);
    Report(item, ItemService, removed ? Outcome::Done : Outcome::Failed);
    return removed;
}

bool TCleanObj::CleanOne(ItemList& list, int index, bool recheck, bool (TCleanObj::*remove)(TSingleItem&)) {
    if (index < 0 || index >= static_cast<int>(list.size())) return false;
    TSingleItem& item = *list[index];
    const bool removed = (this->*remove)(item);
    item.State = removed ? StateRemoved : StateRemoveFailed;
    if (removed && recheck) Check();
    return removed;
}

bool TCleanObj::CleanFile(int index, bool recheck) { return CleanOne(Files, index, recheck, &TCleanObj::RemoveFileEntry); }
bool TCleanObj::CleanFolder(int index, bool recheck) { return CleanOne(Folders, index, recheck, &TCleanObj::RemoveFolderEntry); }
bool TCleanObj::CleanRegKey(int index, bool recheck) { return CleanOne(RegKeys, index, recheck, &TCleanObj::RemoveKeyEntry); }
bool TCleanObj::CleanRegValue(int index, bool recheck) { return CleanOne(RegValues, index, recheck, &TCleanObj::RemoveValueEntry); }

bool TCleanObj::CleanService(SC_HANDLE manager, int index, bool recheck) {
    if (index < 0 || index >= static_cast<int>(Services.size())) return false;
    UniqueScHandle own;
    if (!manager) {
        own = OpenServiceManager();
        manager = own.get();
    }
    TSingleItem& item = *Services[index];
    const bool removed = manager && RemoveServiceEntry(manager, item);
    item.State = removed ? StateRemoved : StateRemoveFailed;
    if (removed && recheck) Check();
    return removed;
}

int TCleanObj::EntryCount() const {
    return static_cast<int>(Files.size() + RegKeys.size() + RegValues.size() + Services.size() + Folders.size() +
                            KeyFiles.size());
}

bool TCleanObj::Clean() {
    int removed = 0;
    if (!Services.empty()) {
        try {
            UniqueScHandle manager = OpenServiceManager();
            if (manager) {
                for (auto& item : Services) {
                    const bool ok = RemoveServiceEntry(manager.get(), *item);
                    item->State = ok ? StateRemoved : StateRemoveFailed;
                    removed += ok ? 1 : 0;
                }
            }
        } catch (...) {
            return false;
        }
    }
    const auto removeAll = [&](ItemList& list, bool (TCleanObj::*remove)(TSingleItem&)) {
        for (auto& item : list) {
            try {
                const bool ok = (this->*remove)(*item);
                item->State = ok ? StateRemoved : StateRemoveFailed;
                removed += ok ? 1 : 0;
            } catch (...) {
                item->State = StateRemoveFailed;
            }
        }
    };
    removeAll(Files, &TCleanObj::RemoveFileEntry);
    removeAll(Folders, &TCleanObj::RemoveFolderEntry);
    removeAll(RegKeys, &TCleanObj::RemoveKeyEntry);
    removeAll(RegValues, &TCleanObj::RemoveValueEntry);
    removeAll(KeyFiles, &TCleanObj::RemoveKeyEntry);
    bool repaired = false;
    try {
        repaired = host_->PostCleanRepair(Id);
    } catch (...) {
        repaired = false;
    }
    return repaired && removed == EntryCount();
}

std::unique_ptr<TCleanObj> CreateCleanObject(const CleanClass& cls, CleanHost& host) { return cls.Create(host); }

std::unique_ptr<TCleanObj> CreateCleanObject(const CleanClass& cls, const std::vector<std::wstring>& script,
                                             CleanHost& host) {
    return cls.CreateFromScript(script, host);
}

}  // namespace tidemark
