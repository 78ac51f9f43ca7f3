#include "removal/removal_service.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <mutex>
#include <optional>

#include "removal/protected_places.h"
#include "system/boot_list.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/recycle_file.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/services.h"
#include "system/sys_misc.h"
#include "system/win_sys.h"

namespace tidemark {

namespace {

constexpr DWORD kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

Removal Refused(TargetVerdict verdict) {
    Removal removal;
    removal.Result = Outcome::Refused;
    removal.Verdict = verdict;
    return removal;
}

// A refusal by the system: every one goes through here (or Noted), so the tallies hear of it.
Removal Failed(unsigned long error) {
    Removal removal;
    removal.Result = Outcome::Failed;
    removal.Error = error;
    NoteRefusal(error);
    return removal;
}

// A recorder's answer, handed on: its refusal is reported like the service's own.
Removal Noted(const Removal& removal) {
    if (removal.Result == Outcome::Failed) NoteRefusal(removal.Error);
    return removal;
}

Removal Answer(Outcome outcome) {
    Removal removal;
    removal.Result = outcome;
    return removal;
}

bool NotThere(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_NETPATH;
}

bool HasWildcard(const std::wstring& path) {
    const std::size_t from = path.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0;
    return path.find_first_of(L"*?", from) != std::wstring::npos;
}

// The size of the file at target (the \\?\ form where needed); 0 when it cannot be read.
unsigned long long SizeOf(const std::wstring& target) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The system's removal of one key with what is below it, as RegDeleteKeyTree uses it.
bool SystemKeyRemover(HKEY root, const std::wstring& key) { return SHDeleteKeyW(root, key.c_str()) == ERROR_SUCCESS; }

bool StillThere(const std::wstring& target) {
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    return !NotThere(GetLastError());
}

}  // namespace

bool Removal::NeedsAdmin() const { return Result == Outcome::Failed && NeedsAdminRights(Error); }

RemovalService::RemovalService(std::shared_ptr<const ProtectedPlaces> places)
    : places_(places ? std::move(places) : std::make_shared<const ProtectedPlaces>()) {}

bool RemovalService::AllowsPlace(const std::wstring& path) const {
    return !path.empty() && !HasWildcard(path) && JudgeFileTarget(path, *places_) == TargetVerdict::Allowed &&
           !ReachedThroughReparsePoint(path);
}

Removal RemovalService::RemoveFile(const std::wstring& path, const FileRemovalOptions& options) const {
    if (path.empty() || HasWildcard(path)) return Refused(TargetVerdict::NotFullPath);
    const TargetVerdict verdict = JudgeFileTarget(path, *places_);
    if (verdict != TargetVerdict::Allowed) return Refused(verdict);
    if (ReachedThroughReparsePoint(path)) return Refused(TargetVerdict::ThroughReparsePoint);

    const std::wstring target = ExtendedPath(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return NotThere(error) ? Answer(Outcome::Missing) : Failed(error);
    }
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // A folder stands where the file was: not what the caller saw.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !link) return Answer(Outcome::Missing);
    if (link) {
        // A link is removed itself, never what it leads to; the bin is not asked.
        if (options.Method == FileMethod::Recycle) return Failed(ERROR_NOT_SUPPORTED);
        if (RemoveReparsePoint(path)) return Answer(Outcome::Done);
        return Failed(GetLastError());
    }

    if (options.Method == FileMethod::Recycle) {
        // The bin must keep it: a file the shell would destroy instead stays where it is.
        if (!recycler_ && !RecycleBinKeeps(path, SizeOf(target))) return Failed(ERROR_NOT_SUPPORTED);
    }
    if (options.EndHolders) GetWinSys().EndUsersOfFile(path);

    // The marks that would make the system refuse are cleared for the call only.
    const bool marked = (attributes & kMarks) != 0;
    const bool cleared = marked && SetFileAttributesW(target.c_str(), attributes & ~kMarks) != FALSE;
    const auto restore = [&](DWORD keep) {
        if (cleared && StillThere(target)) SetFileAttributesW(target.c_str(), attributes & ~keep);
    };

    if (recorder_) {
        // Kept rather than deleted: the file moves into the recorder's store with its marks as
        // they were; one that cannot move now (held) is deleted at the restart, unrecoverable.
        const Removal stored = recorder_->StoreFile(path, attributes);
        if (stored.Result == Outcome::Done || stored.Result == Outcome::Missing) return stored;
        if (options.Method != FileMethod::RestartIfHeld || stored.Error == ERROR_CANNOT_MAKE) {
            restore(0);
            return Noted(stored);
        }
    }

    if (options.Method == FileMethod::Recycle && !recorder_) {
        const bool recycled = recycler_ ? recycler_(path) : RecycleFile(path);
        const DWORD error = GetLastError();
        if (recycled && !StillThere(target)) return Answer(Outcome::Recycled);
        restore(0);
        return Failed(recycled ? ERROR_ACCESS_DENIED : error ? error : ERROR_ACCESS_DENIED);
    }

    if (DeleteFileW(target.c_str())) return Answer(Outcome::Done);
    const DWORD error = GetLastError();
    if (NotThere(error)) return Answer(Outcome::Missing);
    // Without administrator rights neither the system's restart list nor the boot-time tool's
    // can be written: a file refused for want of them stays, failed.
    if (options.Method == FileMethod::RestartIfHeld && !NeedsAdminRights(error)) {
        bool deferred = DeleteAtReboot(path);
        if (options.RecordForBootTool && RecordBootDelete(BootRecordFile, path) != BootRecordResult::Refused)
            deferred = true;
        if (deferred) {
            if (recorder_) recorder_->RecordNotRestorable(path);
            // Hidden and system marks come back; read-only stays cleared, or the deletion at
            // boot would be refused.
            restore(FILE_ATTRIBUTE_READONLY);
            Removal removal = Answer(Outcome::Deferred);
            removal.Error = error;
            return removal;
        }
    }
    restore(0);
    return Failed(error);
}

// What both folder removals check first: the guard, no link on the way, and a folder there.
// Gives the answer when there is nothing more to do; otherwise the folder's attributes.
std::optional<Removal> RemovalService::JudgeFolder(const std::wstring& folder, DWORD& attributes) const {
    if (folder.empty() || HasWildcard(folder)) return Refused(TargetVerdict::NotFullPath);
    const TargetVerdict verdict = JudgeFolderTarget(folder, *places_);
    if (verdict != TargetVerdict::Allowed) return Refused(verdict);
    if (ReachedThroughReparsePoint(folder)) return Refused(TargetVerdict::ThroughReparsePoint);
    attributes = GetFileAttributesW(ExtendedPath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return NotThere(error) ? Answer(Outcome::Missing) : Failed(error);
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Answer(Outcome::Missing);
    return std::nullopt;
}

Removal RemovalService::RemoveFolderTree(const std::wstring& folder) const {
    DWORD attributes = 0;
    if (const auto answer = JudgeFolder(folder, attributes)) return *answer;
    // A folder that is a link is only a link: removed as such, nothing to keep.
    if (recorder_ && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return Noted(recorder_->StoreFolder(folder));
    if (::tidemark::RemoveFolderTree(folder)) return Answer(Outcome::Done);
    const DWORD error = GetLastError();
    return Failed(error ? error : ERROR_DIR_NOT_EMPTY);
}

Removal RemovalService::RemoveEmptyFolder(const std::wstring& folder) const {
    DWORD attributes = 0;
    if (const auto answer = JudgeFolder(folder, attributes)) return *answer;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Refused(TargetVerdict::ThroughReparsePoint);
    const std::wstring target = ExtendedPath(folder);
    const bool cleared = (attributes & kMarks) && SetFileAttributesW(target.c_str(), attributes & ~kMarks);
    if (RemoveDirectoryW(target.c_str())) return Answer(Outcome::Done);
    const DWORD error = GetLastError();
    if (cleared) SetFileAttributesW(target.c_str(), attributes);
    return Failed(error);
}

Removal RemovalService::RemoveRegValue(HKEY root, const std::wstring& key, const std::wstring& name) const {
    if (!root || !IsExactKeyPath(key) || name.find(L'\0') != std::wstring::npos)
        return Refused(TargetVerdict::NotFullPath);
    const bool exists = open_ ? RegValueExists(root, key, name, open_) : RegValueExists(root, key, name);
    if (!exists) return Answer(Outcome::Missing);
    std::optional<std::size_t> ticket;
    if (recorder_ && !(ticket = recorder_->RecordValue(root, key, name))) return Failed(ERROR_CANNOT_MAKE);
    const bool removed =
        open_ ? RegDeleteValueChecked(root, key, name, open_) : RegDeleteValueChecked(root, key, name);
    if (ticket) recorder_->Settle(*ticket, removed);
    return removed ? Answer(Outcome::Done) : Failed(ERROR_ACCESS_DENIED);
}

Removal RemovalService::RemoveRegKeyTree(HKEY root, const std::wstring& key) const {
    if (!root || !IsExactKeyPath(key)) return Refused(TargetVerdict::NotFullPath);
    const bool exists = open_ ? RegKeyExists(root, key, open_) : RegKeyExists(root, key);
    if (!exists) return Answer(Outcome::Missing);
    std::optional<std::size_t> ticket;
    if (recorder_ && !(ticket = recorder_->RecordKeyTree(root, key))) return Failed(ERROR_CANNOT_MAKE);
    const bool removed = open_ || remove_ ? RegDeleteKeyTreeUsing(root, key, remove_ ? remove_ : SystemKeyRemover,
                                                                  open_ ? open_ : OpenRegKey)
                                          : RegDeleteKeyTree(root, key);
    // A tree the system refused part-way may have lost some of its keys: what was recorded is
    // kept either way.
    if (ticket) recorder_->Settle(*ticket, true);
    return removed ? Answer(Outcome::Done) : Failed(ERROR_ACCESS_DENIED);
}

Removal RemovalService::RemoveRegValuePath(const std::wstring& fullValuePath) const {
    HKEY root = nullptr;
    std::wstring key, name;
    SplitValuePath(fullValuePath, root, key, name);
    return RemoveRegValue(root, key, name);
}

Removal RemovalService::RemoveRegKeyPath(const std::wstring& fullKeyPath) const {
    HKEY root = nullptr;
    std::wstring key;
    SplitRootPath(fullKeyPath, root, key);
    return RemoveRegKeyTree(root, key);
}

Removal RemovalService::RemoveService(SC_HANDLE manager, const std::wstring& name) const {
    if (name.empty() || name.find_first_of(L"\\/") != std::wstring::npos) return Refused(TargetVerdict::NotFullPath);
    UniqueScHandle own;
    if (!manager) {
        own = OpenServiceManager();
        manager = own.get();
        if (!manager) return Failed(GetLastError());
    }
    if (QueryServicePresence(manager, name) == ServicePresence::Absent) return Answer(Outcome::Missing);
    std::optional<std::size_t> ticket;
    if (recorder_ && !(ticket = recorder_->RecordService(name))) return Failed(ERROR_CANNOT_MAKE);
    const bool removed = DeleteServiceWith(manager, name);
    const DWORD error = GetLastError();
    if (ticket) recorder_->Settle(*ticket, removed);
    return removed ? Answer(Outcome::Done) : Failed(error);
}

namespace {

ProtectedPlaces (*&PlacesSource())() {
    static ProtectedPlaces (*source)() = nullptr;
    return source;
}

std::mutex& PlacesLock() {
    static std::mutex lock;
    return lock;
}

std::shared_ptr<const ProtectedPlaces>& InstalledPlaces() {
    static std::shared_ptr<const ProtectedPlaces> places;
    return places;
}

RemovalService& BaseService() {
    static RemovalService service(
        std::make_shared<const ProtectedPlaces>(PlacesSource() ? PlacesSource()() : ProtectedFoldersOfSystem()));
    return service;
}

RemovalService*& RecordingService() {
    static RemovalService* active = nullptr;
    return active;
}

}  // namespace

void SetRemovalPlaces(ProtectedPlaces places) {
    std::lock_guard<std::mutex> hold(PlacesLock());
    InstalledPlaces() = std::make_shared<const ProtectedPlaces>(std::move(places));
    BaseService() = RemovalService(InstalledPlaces());
}

void SetRemovalPlacesSource(ProtectedPlaces (*source)()) { PlacesSource() = source; }

RemovalService& ProcessRemovalService() { return RecordingService() ? *RecordingService() : BaseService(); }

ScopedRecording::ScopedRecording(RemovalRecorder& recorder)
    : recorded_(BaseService().Recorded(recorder)), previous_(RecordingService()) {
    RecordingService() = &recorded_;
}

ScopedRecording::~ScopedRecording() { RecordingService() = previous_; }

bool RemoveFileNow(const std::wstring& path) {
    return ProcessRemovalService().RemoveFile(path, FileRemovalOptions{FileMethod::Direct}).Gone();
}

bool RemoveFolderTreeGuarded(const std::wstring& folder) { return ProcessRemovalService().RemoveFolderTree(folder).Gone(); }

}  // namespace tidemark
