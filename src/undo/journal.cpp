#include "undo/journal.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <utility>
#include <cstdio>
#include <cstring>

#include "system/ansi_text.h"
#include "system/app_data.h"
#include "system/file_digest.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/reg_editor.h"
#include "system/reg_paths.h"
#include "system/reg_text.h"
#include "system/reg_view.h"
#include "system/text_case.h"

namespace tidemark {

namespace {

using Json = nlohmann::json;

constexpr wchar_t kIndexName[] = L"index.json";
constexpr int kFormat = 1;
const wchar_t* const kServicesKey = L"SYSTEM\\CurrentControlSet\\Services";

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text) { return FromCodePage(CP_UTF8, text.data(), text.size()); }

HKEY RootOfFullName(const std::wstring& name) {
    HKEY root = nullptr;
    std::wstring path;
    SplitRootPath(name + L"\\x", root, path);
    return root;
}

// A key handle that is not a predefined root (a parent key a caller opened itself), named from
// the root: the kernel's name of the key ("\REGISTRY\USER\S-1-5-…\Software\…") mapped to
// HKEY_USERS or HKEY_LOCAL_MACHINE. Nothing when the system does not say.
bool NameFromRoot(HKEY& root, std::wstring& key) {
    if (!RootFullName(root).empty()) return true;
    HKEY named = nullptr;
    std::wstring path;
    if (!RootPathOfKernelName(KernelKeyName(root), named, path)) return false;
    root = named;
    key = path + (key.empty() ? L"" : L"\\" + key);
    return true;
}

std::uint64_t Join(FILETIME t) { return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }
FILETIME Split(std::uint64_t v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; }

std::wstring IsoTime(const SYSTEMTIME& t) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02uT%02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}

// A data file name the journal itself would write: digits, a dot, "reg" or "file".
bool IsOwnDataName(const std::wstring& name) {
    const std::size_t dot = name.find(L'.');
    if (dot == 0 || dot == std::wstring::npos || dot > 9) return false;
    for (std::size_t i = 0; i < dot; ++i)
        if (name[i] < L'0' || name[i] > L'9') return false;
    const std::wstring ext = name.substr(dot + 1);
    return ext == L"reg" || ext == L"file" || ext == L"folder";
}

// An id the journal itself would make: "yyyymmdd-hhmmss" with an optional "-n".
bool IsOwnId(const std::wstring& id) {
    if (id.size() < 15 || id.size() > 20 || id[8] != L'-') return false;
    for (std::size_t i = 0; i < id.size(); ++i) {
        if (i == 8) continue;
        if (i == 15) {
            if (id[i] != L'-') return false;
            continue;
        }
        if (id[i] < L'0' || id[i] > L'9') return false;
    }
    return id.size() == 15 || id.size() > 16;
}

bool IsHexDigest(const std::string& text) {
    return text.empty() || (text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
                                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                            }));
}

std::optional<JournalKind> KindOfName(const std::string& name) {
    for (JournalKind kind : {JournalKind::File, JournalKind::Key, JournalKind::Value, JournalKind::Service})
        if (name == JournalKindName(kind)) return kind;
    return std::nullopt;
}

std::uint64_t FolderBytes(const std::wstring& folder) {
    std::uint64_t total = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            total += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return total;
}

// Every folder on the way to path's folder, made where missing.
bool MakeParents(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash < 3) return true;
    const std::wstring parent = path.substr(0, slash);
    const DWORD attributes = GetFileAttributesW(parent.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return MakeParents(parent) && (CreateDirectoryW(parent.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
}

void SetAttributesAndTimes(const std::wstring& target, const JournalItem& item) {
    // Backup semantics: a folder opens the same way.
    UniqueHandle file(CreateFileW(target.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file) {
        const FILETIME created = Split(item.Created), written = Split(item.Written);
        SetFileTime(file.get(), &created, nullptr, &written);
    }
    file.reset();
    SetFileAttributesW(target.c_str(), item.Attributes ? item.Attributes : FILE_ATTRIBUTE_NORMAL);
}

// A registry value or tree written over: the recorded state goes back over the present one. A
// tree is removed first (so nothing added since stays), with a copy of it to fall back on when
// the import fails.
bool RestoreWrittenOver(const JournalItem& item, const std::wstring& data) {
    HKEY root = RootOfFullName(item.Root);
    if (!root) return false;
    if (item.Kind != JournalKind::Key) return ImportRegFile(data);
    std::wstring present;
    const bool there = RegKeyExists(root, item.Key);
    if (there && !AppendRegKeyTree(root, item.Key, present)) return false;
    const std::wstring fallback = data + L".present.reg";
    if (there && (!WriteRegTextFile(fallback, RegTextHeader() + present) || !RegDeleteKeyTree(root, item.Key))) {
        DeleteFileForce(fallback);
        return false;
    }
    const bool imported = ImportRegFile(data);
    if (!imported && there) ImportRegFile(fallback);
    DeleteFileForce(fallback);
    return imported;
}

}  // namespace

const char* JournalKindName(JournalKind kind) {
    switch (kind) {
        case JournalKind::File: return "file";
        case JournalKind::Key: return "key";
        case JournalKind::Value: return "value";
        case JournalKind::Service: return "service";
    }
    return "value";
}

const char* RestoreResultName(RestoreResult result) {
    switch (result) {
        case RestoreResult::Restored: return "restored";
        case RestoreResult::Kept: return "kept";
        case RestoreResult::Failed: return "failed";
    }
    return "failed";
}

std::uint64_t FileTimeNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return Join(now);
}

// ---- the index ----

std::string JournalIndexText(const JournalEntry& entry) {
    Json items = Json::array();
    for (const JournalItem& item : entry.Items) {
        Json j = {{"item", item.Index},           {"kind", JournalKindName(item.Kind)},
                  {"root", Utf8(item.Root)},      {"key", Utf8(item.Key)},
                  {"name", Utf8(item.Name)},      {"path", Utf8(item.Path)},
                  {"view", item.View},            {"restorable", item.Restorable},
                  {"data", Utf8(item.Data)}};
        if (item.Overwritten) j["overwritten"] = true;
        if (item.Folder) j["folder"] = true;
        if (item.Kind == JournalKind::File) {
            j["attributes"] = item.Attributes;
            j["created"] = item.Created;
            j["written"] = item.Written;
            j["size"] = item.Size;
            j["sha256"] = item.Sha256;
        }
        items.push_back(std::move(j));
    }
    const Json index = {{"tidemark_journal", kFormat}, {"id", Utf8(entry.Id)},          {"time", Utf8(entry.Time)},
                        {"stamp", entry.Stamp},        {"command", Utf8(entry.Command)}, {"items", std::move(items)}};
    return index.dump(1);
}

std::optional<JournalEntry> ParseJournalIndex(const std::string& text) {
    const Json index = Json::parse(text, nullptr, false);
    if (index.is_discarded() || !index.is_object()) return std::nullopt;
    try {
        if (index.at("tidemark_journal").get<int>() != kFormat) return std::nullopt;
        JournalEntry entry;
        entry.Id = Wide(index.at("id").get<std::string>());
        entry.Time = Wide(index.at("time").get<std::string>());
        entry.Stamp = index.at("stamp").get<std::uint64_t>();
        entry.Command = Wide(index.at("command").get<std::string>());
        if (!IsOwnId(entry.Id)) return std::nullopt;
        for (const Json& j : index.at("items")) {
            JournalItem item;
            item.Index = j.at("item").get<std::size_t>();
            const auto kind = KindOfName(j.at("kind").get<std::string>());
            if (!kind) return std::nullopt;
            item.Kind = *kind;
            item.Root = Wide(j.at("root").get<std::string>());
            item.Key = Wide(j.at("key").get<std::string>());
            item.Name = Wide(j.at("name").get<std::string>());
            item.Path = Wide(j.at("path").get<std::string>());
            item.View = j.at("view").get<int>();
            item.Restorable = j.at("restorable").get<bool>();
            item.Data = Wide(j.at("data").get<std::string>());
            item.Overwritten = j.value("overwritten", false);
            item.Folder = j.value("folder", false);
            if (item.Restorable && !IsOwnDataName(item.Data)) return std::nullopt;
            if (item.Kind == JournalKind::File) {
                item.Attributes = j.at("attributes").get<std::uint32_t>();
                item.Created = j.at("created").get<std::uint64_t>();
                item.Written = j.at("written").get<std::uint64_t>();
                item.Size = j.at("size").get<std::uint64_t>();
                item.Sha256 = j.at("sha256").get<std::string>();
                if (!IsHexDigest(item.Sha256)) return std::nullopt;
                // A place the journal could have recorded: a full local path.
                if (item.Path.size() < 4 || item.Path[1] != L':' || item.Path[2] != L'\\') return std::nullopt;
            } else if (RootOfFullName(item.Root) == nullptr || !IsExactKeyPath(item.Key)) {
                // Never a root alone or a path with an empty part: a restore deletes and
                // rewrites exactly the key named.
                return std::nullopt;
            }
            entry.Items.push_back(std::move(item));
        }
        return entry;
    } catch (const Json::exception&) {
        return std::nullopt;
    }
}

// ---- recording ----

JournalRun::JournalRun(std::wstring folder, JournalEntry entry) : folder_(std::move(folder)), entry_(std::move(entry)) {}

JournalRun::~JournalRun() { Finish(); }

bool JournalRun::WriteIndex() { return WriteFileReplacing(folder_ + L"\\" + kIndexName, JournalIndexText(entry_)); }

std::optional<JournalItem> JournalRun::FileItem(const std::wstring& path, const wchar_t* extension) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(ExtendedPath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    JournalItem item;
    item.Index = next_++;
    item.Kind = JournalKind::File;
    item.Path = path;
    item.Data = std::to_wstring(item.Index) + extension;
    item.Attributes = data.dwFileAttributes;
    item.Created = Join(data.ftCreationTime);
    item.Written = Join(data.ftLastWriteTime);
    item.Size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return item;
}

bool JournalRun::Keep(const JournalItem& item) {
    entry_.Items.push_back(item);
    if (WriteIndex()) return true;
    entry_.Items.pop_back();
    return false;
}

void JournalRun::Forget(std::size_t index) {
    const auto found = std::find_if(entry_.Items.begin(), entry_.Items.end(),
                                    [&](const JournalItem& item) { return item.Index == index; });
    if (found == entry_.Items.end()) return;
    if (!found->Data.empty()) DeleteFileForce(folder_ + L"\\" + found->Data);
    entry_.Items.erase(found);
    WriteIndex();
}

std::optional<std::size_t> JournalRun::RecordRegistry(JournalKind kind, HKEY root, const std::wstring& key,
                                                      const std::wstring& name, const std::wstring& text) {
    if (finished_) return std::nullopt;
    JournalItem item;
    item.Index = next_++;
    item.Kind = kind;
    item.Root = RootFullName(root);
    item.Key = key;
    item.Name = name;
    item.View = SystemIs64Bit() ? ViewNumber(CurrentRegView()) : 0;
    item.Data = std::to_wstring(item.Index) + L".reg";
    if (!WriteRegTextFile(folder_ + L"\\" + item.Data, RegTextHeader() + text)) return std::nullopt;
    if (Keep(item)) return item.Index;
    DeleteFileForce(folder_ + L"\\" + item.Data);
    return std::nullopt;
}

std::optional<std::size_t> JournalRun::RecordValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    std::wstring path = key;
    if (!NameFromRoot(root, path)) return std::nullopt;
    std::wstring text;
    if (!AppendRegValue(root, path, name, text)) return std::nullopt;
    return RecordRegistry(JournalKind::Value, root, path, name, text);
}

std::optional<std::size_t> JournalRun::RecordKeyTree(HKEY root, const std::wstring& key) {
    std::wstring path = key;
    if (!NameFromRoot(root, path)) return std::nullopt;
    std::wstring text;
    if (!AppendRegKeyTree(root, path, text)) return std::nullopt;
    return RecordRegistry(JournalKind::Key, root, path, L"", text);
}

std::optional<std::size_t> JournalRun::RecordService(const std::wstring& name) {
    // A service is its key: the configuration the service manager reads at start-up.
    const std::wstring key = std::wstring(kServicesKey) + L"\\" + name;
    std::wstring text;
    if (!AppendRegKeyTree(HKEY_LOCAL_MACHINE, key, text)) return std::nullopt;
    return RecordRegistry(JournalKind::Service, HKEY_LOCAL_MACHINE, key, name, text);
}

void JournalRun::Settle(std::size_t ticket, bool changed) {
    if (!changed) Forget(ticket);
}

Removal JournalRun::StoreFile(const std::wstring& path, DWORD attributes) {
    Removal answer;
    answer.Result = Outcome::Failed;
    if (finished_) {
        answer.Error = ERROR_CANNOT_MAKE;
        return answer;
    }
    std::optional<JournalItem> item = FileItem(path, L".file");
    if (!item) {
        const DWORD error = GetLastError();
        answer.Result = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Outcome::Missing : Outcome::Failed;
        answer.Error = answer.Result == Outcome::Failed ? error : 0;
        return answer;
    }
    // The marks as they were before the service cleared them for the call.
    item->Attributes = attributes;
    // A file held open for writing may not be readable: it is kept all the same, undigested.
    item->Sha256 = FileSha256(ExtendedPath(path)).value_or("");
    if (!Keep(*item)) {
        answer.Error = ERROR_CANNOT_MAKE;
        return answer;
    }
    const std::wstring stored = folder_ + L"\\" + item->Data;
    if (MoveFileVerified(path, stored, item->Sha256)) {
        // The stored copy carries no marks of its own: the index keeps them.
        SetFileAttributesW(stored.c_str(), FILE_ATTRIBUTE_NORMAL);
        answer.Result = Outcome::Done;
        return answer;
    }
    answer.Error = GetLastError();
    Forget(item->Index);
    return answer;
}

Removal JournalRun::StoreFolder(const std::wstring& named) {
    Removal answer;
    answer.Result = Outcome::Failed;
    // Definitions name folders with a trailing backslash; the place is the folder itself.
    std::wstring folder = named;
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    std::optional<JournalItem> item = finished_ ? std::nullopt : FileItem(folder, L".folder");
    if (!item) {
        answer.Error = finished_ ? ERROR_CANNOT_MAKE : GetLastError();
        return answer;
    }
    item->Folder = true;
    item->Size = 0;
    if (!Keep(*item)) {
        answer.Error = ERROR_CANNOT_MAKE;
        return answer;
    }
    // A rename keeps everything inside as it was; another volume would need a copy of the whole
    // tree, which is not made: the folder stays.
    if (MoveFolder(folder, folder_ + L"\\" + item->Data)) {
        answer.Result = Outcome::Done;
        return answer;
    }
    answer.Error = GetLastError();
    Forget(item->Index);
    return answer;
}

void JournalRun::RecordNotRestorable(const std::wstring& path) {
    if (finished_) return;
    JournalItem item;
    item.Index = next_++;
    item.Kind = JournalKind::File;
    item.Path = path;
    item.Restorable = false;
    entry_.Items.push_back(item);
    WriteIndex();
}

// A key as a place written to: the same path in the two views is two places.
std::wstring JournalRun::ViewPlace(HKEY root, const std::wstring& key) {
    return std::to_wstring(ViewNumber(CurrentRegView())) + L":" + RootFullName(root) + L"\\" + key;
}

bool JournalRun::FirstWriteOf(const std::wstring& place) {
    const std::wstring key = UpperCased(place);
    if (std::find(written_.begin(), written_.end(), key) != written_.end()) return false;
    written_.push_back(key);
    return true;
}

bool JournalRun::BeforeValueWrite(HKEY root, const std::wstring& key, const std::wstring& name) {
    if (finished_ || RootFullName(root).empty()) return false;
    if (!FirstWriteOf(ViewPlace(root, key) + L"\\\\" + name)) return true;
    std::wstring text;
    if (!RegValueExists(root, key, name)) {
        // It is made by the write: putting back means removing it.
        text = L"[" + RegTextKeyName(root, key) + L"]\r\n" + RegValueDeletionLine(name) + L"\r\n";
    } else if (!AppendRegValue(root, key, name, text)) {
        return false;
    }
    const auto index = RecordRegistry(JournalKind::Value, root, key, name, text);
    if (index) entry_.Items.back().Overwritten = true;
    return index && WriteIndex();
}

bool JournalRun::BeforeKeyTreeWrite(HKEY root, const std::wstring& key) {
    if (finished_ || RootFullName(root).empty()) return false;
    if (!FirstWriteOf(ViewPlace(root, key))) return true;
    std::wstring text;
    if (!AppendRegKeyTree(root, key, text)) return false;
    const auto index = RecordRegistry(JournalKind::Key, root, key, L"", text);
    if (index) entry_.Items.back().Overwritten = true;
    return index && WriteIndex();
}

bool JournalRun::BeforeFileRewrite(const std::wstring& path) {
    if (finished_) return false;
    if (!FirstWriteOf(path)) return true;
    std::optional<JournalItem> item = FileItem(path, L".file");
    if (!item) return false;
    item->Overwritten = true;
    const std::wstring stored = folder_ + L"\\" + item->Data;
    const auto digest = FileSha256(ExtendedPath(path));
    if (!digest || !CopyFileVerified(path, stored, *digest)) return false;
    item->Sha256 = *digest;
    SetFileAttributesW(stored.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (Keep(*item)) return true;
    DeleteFileForce(stored);
    return false;
}

void JournalRun::Finish() {
    if (finished_) return;
    finished_ = true;
    if (entry_.Items.empty()) RemoveFolderTree(folder_);
}

// ---- the journal ----

Journal Journal::OfUser() {
    const std::wstring data = ProgramDataFolder(true);
    return Journal(data.empty() ? std::wstring() : data + L"\\Journal");
}

std::unique_ptr<JournalRun> Journal::Begin(const std::wstring& command, std::wstring* why) const {
    const auto fail = [&](const std::wstring& reason) -> std::unique_ptr<JournalRun> {
        if (why) *why = reason;
        return nullptr;
    };
    if (folder_.empty()) return fail(L"no application-data folder for the journal");
    if (!CreateDirectoryW(folder_.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return fail(L"the journal folder cannot be made: " + folder_);
    SYSTEMTIME local;
    GetLocalTime(&local);
    JournalEntry entry;
    wchar_t id[24];
    std::swprintf(id, 24, L"%04u%02u%02u-%02u%02u%02u", local.wYear, local.wMonth, local.wDay, local.wHour,
                  local.wMinute, local.wSecond);
    std::wstring folder;
    for (int n = 1; n < 100; ++n) {
        entry.Id = n == 1 ? std::wstring(id) : std::wstring(id) + L"-" + std::to_wstring(n);
        folder = folder_ + L"\\" + entry.Id;
        if (CreateDirectoryW(folder.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return fail(L"the journal entry cannot be made: " + folder);
        folder.clear();
    }
    if (folder.empty()) return fail(L"too many journal entries in one second");
    entry.Time = IsoTime(local);
    entry.Stamp = FileTimeNow();
    entry.Command = command;
    std::unique_ptr<JournalRun> run(new JournalRun(folder, std::move(entry)));
    if (!run->WriteIndex()) {
        RemoveFolderTree(folder);
        run->finished_ = true;
        return fail(L"the journal index cannot be written: " + folder);
    }
    return run;
}

std::optional<JournalEntry> Journal::Load(const std::wstring& id) const {
    if (folder_.empty() || !IsOwnId(id)) return std::nullopt;
    const std::wstring folder = folder_ + L"\\" + id;
    auto entry = ParseJournalIndex(ReadFileBytes(folder + L"\\" + kIndexName));
    if (!entry || entry->Id != id) return std::nullopt;
    entry->Bytes = FolderBytes(folder);
    return entry;
}

std::vector<JournalEntry> Journal::List(std::vector<std::wstring>* damaged) const {
    std::vector<JournalEntry> entries;
    if (folder_.empty()) return entries;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder_ + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return entries;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L".." || !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (auto entry = Load(name)) {
            entries.push_back(std::move(*entry));
        } else if (damaged) {
            damaged->push_back(name);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    // Newest first: by the second, then by the run's number within it ("-2" before "-10").
    const auto order = [](const std::wstring& id) {
        return std::make_pair(id.substr(0, 15), id.size() > 16 ? std::stoi(id.substr(16)) : 1);
    };
    std::sort(entries.begin(), entries.end(),
              [&](const JournalEntry& a, const JournalEntry& b) { return order(a.Id) > order(b.Id); });
    return entries;
}

bool Journal::Remove(const std::wstring& id) const {
    if (folder_.empty() || !IsOwnId(id)) return false;
    const std::wstring folder = folder_ + L"\\" + id;
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    return RemoveFolderTree(folder);
}

std::vector<RestoredItem> Journal::Restore(const std::wstring& id, const std::vector<std::size_t>& indexes,
                                           const std::function<bool(const std::wstring&)>& targetAllowed) const {
    std::vector<RestoredItem> results;
    auto entry = Load(id);
    if (!entry) return results;
    const std::wstring folder = folder_ + L"\\" + id;
    std::vector<JournalItem> left;
    // Newest change first: a place changed twice in one run (a value fixed, then its whole tree
    // imported over) ends as it was before the first change.
    for (auto it = entry->Items.rbegin(); it != entry->Items.rend(); ++it) {
        const JournalItem& item = *it;
        if (!indexes.empty() && std::find(indexes.begin(), indexes.end(), item.Index) == indexes.end()) {
            left.push_back(item);
            continue;
        }
        // Registry items are looked at and put back in the view they were taken from.
        const ScopedRegView view(ViewOfNumber(item.View));
        RestoredItem done{item, RestoreResult::Failed};
        const std::wstring data = folder + L"\\" + item.Data;
        if (!item.Restorable) {
            left.push_back(item);
        } else if (item.Kind == JournalKind::File && item.Overwritten) {
            // The file as it was goes back over the rewritten one.
            const std::wstring target = ExtendedPath(item.Path);
            if (targetAllowed && !targetAllowed(item.Path)) {
                done.Result = RestoreResult::Failed;
            } else {
                SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (ReplaceFileWith(data, item.Path)) {
                    SetAttributesAndTimes(target, item);
                    done.Result = RestoreResult::Restored;
                }
            }
            if (done.Result != RestoreResult::Restored) left.push_back(item);
        } else if (item.Kind == JournalKind::File) {
            const std::wstring target = ExtendedPath(item.Path);
            if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
                done.Result = RestoreResult::Kept;
            } else if (targetAllowed && !targetAllowed(item.Path)) {
                done.Result = RestoreResult::Failed;
            } else if (item.Folder) {
                if (MakeParents(item.Path) && MoveFolder(data, item.Path)) {
                    SetAttributesAndTimes(target, item);
                    done.Result = RestoreResult::Restored;
                }
            } else if (MakeParents(item.Path) && MoveFileVerified(data, item.Path, item.Sha256)) {
                SetAttributesAndTimes(target, item);
                done.Result = RestoreResult::Restored;
            }
            if (done.Result != RestoreResult::Restored) left.push_back(item);
        } else if (item.Overwritten) {
            if (RestoreWrittenOver(item, data)) {
                done.Result = RestoreResult::Restored;
                DeleteFileForce(data);
            } else {
                left.push_back(item);
            }
        } else {
            HKEY root = RootOfFullName(item.Root);
            const bool there = item.Kind == JournalKind::Value ? RegValueExists(root, item.Key, item.Name)
                                                               : RegKeyExists(root, item.Key);
            if (there) {
                done.Result = RestoreResult::Kept;
            } else if (ImportRegFile(data) && (item.Kind == JournalKind::Value ? RegValueExists(root, item.Key, item.Name)
                                                                               : RegKeyExists(root, item.Key))) {
                done.Result = RestoreResult::Restored;
                DeleteFileForce(data);
            }
            if (done.Result != RestoreResult::Restored) left.push_back(item);
        }
        results.push_back(std::move(done));
    }
    std::reverse(results.begin(), results.end());
    std::reverse(left.begin(), left.end());
    if (left.empty()) {
        RemoveFolderTree(folder);
    } else if (left.size() != entry->Items.size()) {
        entry->Items = std::move(left);
        WriteFileReplacing(folder + L"\\" + kIndexName, JournalIndexText(*entry));
    }
    return results;
}

std::vector<JournalEntry> Journal::Purge(int maxAgeDays, std::uint64_t maxBytes, std::uint64_t now) const {
    std::vector<JournalEntry> removed;
    std::vector<JournalEntry> entries = List();
    const std::uint64_t maxAge = static_cast<std::uint64_t>(maxAgeDays < 0 ? 0 : maxAgeDays) * 864000000000ull;
    // Newest first: kept while young and within the budget; once the budget is spent, every
    // older entry goes.
    std::uint64_t kept = 0;
    bool full = false;
    for (JournalEntry& entry : entries) {
        const bool old = now > entry.Stamp && now - entry.Stamp > maxAge;
        full = full || kept + entry.Bytes > maxBytes;
        if (old || full) {
            if (Remove(entry.Id)) removed.push_back(std::move(entry));
            continue;
        }
        kept += entry.Bytes;
    }
    return removed;
}

RecordedRun::RecordedRun(const std::wstring& command, const RemovalService& base, const Journal& journal)
    : run_(journal.Begin(command, &why_)), service_(run_ ? base.Recorded(*run_) : base) {}

std::wstring RecordedRun::Finish() {
    if (!run_) return {};
    const bool recorded = run_->Items() > 0;
    run_->Finish();
    return recorded ? run_->Id() : std::wstring();
}

}  // namespace tidemark
