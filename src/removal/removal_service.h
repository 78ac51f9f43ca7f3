// The one way anything is removed from the system: a file, a folder tree, a registry value or
// key tree, a service. Every engine (junk, traces, the definitions and their routines, plug-ins,
// the registry fix, the repairs) removes through it, so one rule holds everywhere:
//   - the exact path is judged by the removal guard first (a refusal touches nothing);
//   - nothing is removed through a junction or symbolic link on the way;
//   - read-only, hidden and system marks are cleared only for the call and put back when the
//     item stays;
//   - a file that cannot go now is left for the restart only when the caller's method allows;
//   - the answer is one Outcome with the system's error code; a refusal for want of
//     administrator rights is reported to the live tallies (NoteRefusal, system/sys_misc.h).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/engine_contract.h"
#include "removal/removal_guard.h"
#include "system/reg_paths.h"

namespace tidemark {

enum class FileMethod {
    Direct,         // deleted now, or it stays (Failed)
    RestartIfHeld,  // deleted now, else at the next restart (Deferred); never a file refused for
                    // want of administrator rights, which the restart could not remove either
    Recycle,        // into the recycle bin; never deleted for good (Failed when the bin would not keep it)
};

struct FileRemovalOptions {
    FileMethod Method = FileMethod::RestartIfHeld;
    // End the programs that run the file or have it loaded first (a rogue program's own files).
    bool EndHolders = false;
    // A deletion left for the restart is also recorded in the boot-time list for the native tool.
    bool RecordForBootTool = false;
};

// The answer for one item.
struct Removal {
    Outcome Result = Outcome::Failed;  // Done, Recycled, Deferred, Missing, Refused or Failed
    unsigned long Error = 0;           // the system's error code when it refused (Failed)
    TargetVerdict Verdict = TargetVerdict::Allowed;  // why the guard refused (Refused)
    // Nothing of the item is left in place now.
    bool Gone() const { return Result == Outcome::Done || Result == Outcome::Recycled || Result == Outcome::Missing; }
    // The system refused it for want of administrator rights (NeedsAdminRights): the item
    // needs the program run as administrator rather than another try.
    bool NeedsAdmin() const;
};

// What keeps a removal undoable (the journal of a cleaning run). The service asks it before
// each change; when it cannot record, the item is not touched (Failed, ERROR_CANNOT_MAKE).
class RemovalRecorder {
public:
    virtual ~RemovalRecorder() = default;
    // Registry items and services: what is about to go is written down first. A ticket for
    // Settle, or nothing when it could not be written.
    virtual std::optional<std::size_t> RecordValue(HKEY root, const std::wstring& key, const std::wstring& name) = 0;
    virtual std::optional<std::size_t> RecordKeyTree(HKEY root, const std::wstring& key) = 0;
    virtual std::optional<std::size_t> RecordService(const std::wstring& name) = 0;
    // After the change: kept when the item is gone, forgotten when nothing changed.
    virtual void Settle(std::size_t ticket, bool changed) = 0;
    // A file is not deleted but moved into the recorder's store (its marks as they were before
    // the call in attributes). Done when it is there; Missing, or Failed with the system's error,
    // when it stays where it is (nothing recorded).
    virtual Removal StoreFile(const std::wstring& path, DWORD attributes) = 0;
    // The same for a folder with everything in it (moved whole; never across volumes).
    virtual Removal StoreFolder(const std::wstring& folder) = 0;
    // A file left for the restart: the run says so, and it cannot be brought back.
    virtual void RecordNotRestorable(const std::wstring& path) = 0;
};

class RemovalService {
public:
    // Moves path to the recycle bin; true when it is there. The default asks the shell, after
    // making sure the bin of the drive would keep the file rather than destroy it.
    using Recycler = std::function<bool(const std::wstring& path)>;

    explicit RemovalService(std::shared_ptr<const ProtectedPlaces> places);

    const ProtectedPlaces& Places() const { return *places_; }
    // Whether a file may be written back at path (a restore): where a removal would be allowed,
    // never through a link on the way.
    bool AllowsPlace(const std::wstring& path) const;
    void SetRecycler(Recycler recycler) { recycler_ = std::move(recycler); }
    // The same service, every change recorded first (files moved into the recorder's store
    // rather than deleted; the recycle bin is not used). The recorder outlives the copy.
    RemovalService Recorded(RemovalRecorder& recorder) const {
        RemovalService copy = *this;
        copy.recorder_ = &recorder;
        return copy;
    }
    RemovalRecorder* Recorder() const { return recorder_; }
    // How registry keys are opened and key trees removed (the system's by default). Lets tests
    // stand in for keys the system refuses, which Wine, ignoring key security, never does.
    void SetRegistryAccess(KeyOpener open, KeyRemover remove) {
        open_ = open;
        remove_ = remove;
    }

    // A file (not a folder). A file that is itself a link is removed as the link.
    Removal RemoveFile(const std::wstring& path, const FileRemovalOptions& options = {}) const;
    // A folder with everything in it; a folder that is itself a link is removed as the link.
    Removal RemoveFolderTree(const std::wstring& folder) const;
    // An empty folder (a clean's leftovers); Failed when something is in it.
    Removal RemoveEmptyFolder(const std::wstring& folder) const;
    // A value of the key below root ("" is the key's default value). The key path must name
    // exactly one key below the root.
    Removal RemoveRegValue(HKEY root, const std::wstring& key, const std::wstring& name) const;
    // A key with its whole tree. Never a root, never a path with an empty part.
    Removal RemoveRegKeyTree(HKEY root, const std::wstring& key) const;
    // The same over one text, root first ("HKEY_LOCAL_MACHINE\...\Run\" + value name).
    Removal RemoveRegValuePath(const std::wstring& fullValuePath) const;
    Removal RemoveRegKeyPath(const std::wstring& fullKeyPath) const;
    // A service by key name, through manager (null: one is opened for the call).
    Removal RemoveService(SC_HANDLE manager, const std::wstring& name) const;

private:
    std::optional<Removal> JudgeFolder(const std::wstring& folder, DWORD& attributes) const;

    std::shared_ptr<const ProtectedPlaces> places_;
    Recycler recycler_;
    RemovalRecorder* recorder_ = nullptr;
    KeyOpener open_ = nullptr;
    KeyRemover remove_ = nullptr;
};

// The process's service. Engines that are handed no service use this one. Its places are made
// on first use by the source SetRemovalPlacesSource installed (the front ends install the
// system's folders and its file list), or are the system's protected folders alone.
RemovalService& ProcessRemovalService();
// While it lives, the process's service records every change through recorder first: a
// cleaning run whose engines and repairs remove through ProcessRemovalService() (the plug-in
// clean, the repairs) is recorded whole. Scopes nest; the innermost records.
class ScopedRecording {
public:
    explicit ScopedRecording(RemovalRecorder& recorder);
    ~ScopedRecording();
    ScopedRecording(const ScopedRecording&) = delete;
    ScopedRecording& operator=(const ScopedRecording&) = delete;

private:
    RemovalService recorded_;
    RemovalService* previous_;
};

// Installs the protected places now (replacing the service's).
void SetRemovalPlaces(ProtectedPlaces places);
// Names where the places come from when the service is first used (nothing is read until then).
void SetRemovalPlacesSource(ProtectedPlaces (*source)());

// The process service's removals for callers that take a plain file operation (the repairs):
// true when nothing of the file (Direct) or the folder tree is left.
bool RemoveFileNow(const std::wstring& path);
bool RemoveFolderTreeGuarded(const std::wstring& folder);

}  // namespace tidemark
