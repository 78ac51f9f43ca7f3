// The undo journal: every cleaning run that changes the system's configuration (the registry fix,
// the plug-in and definition cleans, the repairs) records what it changes before it changes it,
// so that any item can be put back later.
//
// The journal lives in the program's data folder ("%APPDATA%\Corvane\Tidemark\Journal"), which
// junk and trace scans leave alone. One folder per run, named by its id: "index.json" (UTF-8 JSON:
// id, time, command, items) and one data file per item ("3.reg": registry-editor 5.00 text of
// the value, key tree or service key; "4.file": the file itself, moved there instead of deleted,
// with its place, attributes, times, size and SHA-256 in the index). The index is rewritten
// before every change, so an item is on disk before the system changes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "removal/removal_service.h"
#include "system/change_recorder.h"

namespace tidemark {

enum class JournalKind { File, Key, Value, Service };
const char* JournalKindName(JournalKind kind);  // "file", "key", "value", "service"

struct JournalItem {
    std::size_t Index = 0;  // stable within its entry
    JournalKind Kind = JournalKind::Value;
    std::wstring Root;  // registry items: the full root name ("HKEY_CURRENT_USER")
    std::wstring Key;   // registry items: the path below the root; services: theirs
    std::wstring Name;  // values: the value name; services: the service name
    std::wstring Path;  // files: where the file was
    int View = 0;       // the registry view: 0 the program's own
    bool Restorable = true;
    // Written over rather than removed (a repair's value, the hosts file, the WinSock2
    // catalogue): a restore puts the old state back over whatever is there now.
    bool Overwritten = false;
    bool Folder = false;  // files: a whole folder
    std::wstring Data;  // the data file (or folder) in the entry's folder
    // Files.
    std::uint32_t Attributes = 0;
    std::uint64_t Created = 0, Written = 0, Size = 0;  // FILETIME values; bytes
    std::string Sha256;
};

struct JournalEntry {
    std::wstring Id;       // "20261211-013512" (+ "-2", "-3" for runs in the same second)
    std::wstring Time;     // ISO 8601, local time
    std::wstring Command;  // what ran ("reg fix", "plugins clean")
    std::vector<JournalItem> Items;
    std::uint64_t Bytes = 0;  // what the entry's folder holds
    std::uint64_t Stamp = 0;  // FILETIME of Time, for ageing
};

enum class RestoreResult { Restored, Kept, Failed };
const char* RestoreResultName(RestoreResult result);  // "restored", "kept", "failed"

struct RestoredItem {
    JournalItem Item;
    RestoreResult Result = RestoreResult::Failed;
};

// One run being recorded: the recorder the removal service asks before each removal, and the
// writers of configuration before each write.
class JournalRun final : public RemovalRecorder, public ChangeRecorder {
public:
    ~JournalRun() override;
    JournalRun(const JournalRun&) = delete;
    JournalRun& operator=(const JournalRun&) = delete;

    const std::wstring& Id() const { return entry_.Id; }
    std::size_t Items() const { return entry_.Items.size(); }

    std::optional<std::size_t> RecordValue(HKEY root, const std::wstring& key, const std::wstring& name) override;
    std::optional<std::size_t> RecordKeyTree(HKEY root, const std::wstring& key) override;
    std::optional<std::size_t> RecordService(const std::wstring& name) override;
    void Settle(std::size_t ticket, bool changed) override;
    Removal StoreFile(const std::wstring& path, DWORD attributes) override;
    Removal StoreFolder(const std::wstring& folder) override;
    void RecordNotRestorable(const std::wstring& path) override;

    // Writes: what was there first (each place once per run, so a restore brings back the state
    // before the run, not one in between).
    bool BeforeValueWrite(HKEY root, const std::wstring& key, const std::wstring& name) override;
    bool BeforeKeyTreeWrite(HKEY root, const std::wstring& key) override;
    bool BeforeFileRewrite(const std::wstring& path) override;

    // Ends the run: an entry that recorded nothing leaves no folder behind. The destructor ends
    // it too.
    void Finish();

private:
    friend class Journal;
    JournalRun(std::wstring folder, JournalEntry entry);
    std::optional<std::size_t> RecordRegistry(JournalKind kind, HKEY root, const std::wstring& key,
                                              const std::wstring& name, const std::wstring& text);
    bool WriteIndex();
    // A file item of path as it is now (attributes, times, size), data named for its index.
    std::optional<JournalItem> FileItem(const std::wstring& path, const wchar_t* extension);
    // Adds the item and writes the index; false (and not added) when the index cannot be written.
    bool Keep(const JournalItem& item);
    // Drops an item and its data: nothing of it changed.
    void Forget(std::size_t index);

    bool FirstWriteOf(const std::wstring& place);
    static std::wstring ViewPlace(HKEY root, const std::wstring& key);

    std::wstring folder_;  // the entry's folder
    JournalEntry entry_;
    std::vector<std::wstring> written_;  // the places whose first state is recorded
    std::size_t next_ = 0;
    bool finished_ = false;
};

class Journal {
public:
    explicit Journal(std::wstring folder) : folder_(std::move(folder)) {}
    // The user's journal; its folder is made on first use.
    static Journal OfUser();
    const std::wstring& Folder() const { return folder_; }

    // Starts recording a run: its folder and first index are written now. Nothing, with why,
    // when they cannot be; then the run must change nothing.
    std::unique_ptr<JournalRun> Begin(const std::wstring& command, std::wstring* why = nullptr) const;

    // Every entry, newest first. An entry whose index is damaged or not ours is named in
    // damaged and skipped, never trusted.
    std::vector<JournalEntry> List(std::vector<std::wstring>* damaged = nullptr) const;
    std::optional<JournalEntry> Load(const std::wstring& id) const;

    // Puts items back (every item when indexes is empty): registry text imported by the
    // registry editor; files moved back with their attributes and times. Something at the
    // item's place now is never overwritten (Kept: the item stays in the journal). A restored
    // item leaves the journal; an entry left empty goes. targetAllowed judges a file's place
    // (the removal guard) before anything is written there.
    std::vector<RestoredItem> Restore(const std::wstring& id, const std::vector<std::size_t>& indexes,
                                      const std::function<bool(const std::wstring&)>& targetAllowed) const;

    // Removes an entry and everything it kept.
    bool Remove(const std::wstring& id) const;
    // Entries older than maxAgeDays at now, then the oldest until the rest hold at most maxBytes.
    // Answers the entries removed.
    std::vector<JournalEntry> Purge(int maxAgeDays, std::uint64_t maxBytes, std::uint64_t now) const;

private:
    std::wstring folder_;
};

// A cleaning run of a front end, recorded in the user's journal: what it removes goes through
// Service(). When the journal cannot be written, Ready() is false and Why() says why, and the
// run must change nothing.
class RecordedRun {
public:
    explicit RecordedRun(const std::wstring& command, const RemovalService& base = ProcessRemovalService(),
                         const Journal& journal = Journal::OfUser());
    bool Ready() const { return run_ != nullptr; }
    const std::wstring& Why() const { return why_; }
    const RemovalService& Service() const { return service_; }
    JournalRun* Run() const { return run_.get(); }
    // Ends the run: the entry's id when it recorded anything, else empty.
    std::wstring Finish();

private:
    std::unique_ptr<JournalRun> run_;
    std::wstring why_;
    RemovalService service_;
};

// While it lives, everything the process removes through its removal service and every
// configuration write is recorded in run first.
class ScopedJournal {
public:
    explicit ScopedJournal(JournalRun& run) : removals_(run), previous_(SetActiveChangeRecorder(&run)) {}
    ~ScopedJournal() { SetActiveChangeRecorder(previous_); }
    ScopedJournal(const ScopedJournal&) = delete;
    ScopedJournal& operator=(const ScopedJournal&) = delete;

private:
    ScopedRecording removals_;
    ChangeRecorder* previous_;
};

// The retention the program keeps at start-up: 30 days, 500 MB.
constexpr int kJournalDays = 30;
constexpr std::uint64_t kJournalBytes = 500ull << 20;
std::uint64_t FileTimeNow();

// The entry's index as the file holds it, and back; nothing for a damaged or foreign text.
std::string JournalIndexText(const JournalEntry& entry);
std::optional<JournalEntry> ParseJournalIndex(const std::string& text);

}  // namespace tidemark
