#include "cleandos/cleandos_core.h"

#include "cleandos/cleandos_nt.h"
#include "engine/boot_checksum.h"

namespace tidemark::cleandos {
namespace {

// The private heap of one run; the tool has no C runtime to allocate from.
void* g_heap = nullptr;

void* Allocate(unsigned bytes) { return g_heap ? RtlAllocateHeap(g_heap, 0, bytes) : nullptr; }
void Release(void* block) {
    if (block && g_heap) RtlFreeHeap(g_heap, 0, block);
}

// The longest name a UNICODE_STRING can carry.
constexpr unsigned kMaxChars = 32767;
// Folder and key trees deeper than this are left: the recursion runs on a small native stack.
constexpr unsigned kMaxDepth = 400;
// A list larger than this is not one the program wrote.
constexpr unsigned kMaxListBytes = 16u * 1024 * 1024;

constexpr ULONG kStickyAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr ULONG kKeptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY |
                                  FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

unsigned Length(const wchar_t* text) {
    unsigned n = 0;
    while (text[n]) ++n;
    return n;
}

wchar_t Upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

bool StartsWithNoCase(const wchar_t* text, unsigned n, const wchar_t* prefix) {
    const unsigned p = Length(prefix);
    if (n < p) return false;
    for (unsigned i = 0; i < p; ++i)
        if (Upper(text[i]) != Upper(prefix[i])) return false;
    return true;
}

// A zero-ended text of bounded size on the private heap; appending past the end marks it
// broken rather than cutting it short silently.
class Text {
public:
    Text() : data_(static_cast<wchar_t*>(Allocate((kMaxChars + 1) * sizeof(wchar_t)))) {
        if (data_) data_[0] = 0;
    }
    ~Text() { Release(data_); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;

    bool ok() const { return data_ && !broken_; }
    const wchar_t* data() const { return data_ ? data_ : L""; }
    unsigned size() const { return size_; }

    void Clear() {
        size_ = 0;
        broken_ = false;
        if (data_) data_[0] = 0;
    }
    void Truncate(unsigned size) {
        if (size < size_ && data_) {
            size_ = size;
            data_[size_] = 0;
        }
    }
    Text& Append(const wchar_t* text, unsigned n) {
        if (!data_ || size_ + n > kMaxChars) {
            broken_ = true;
            return *this;
        }
        for (unsigned i = 0; i < n; ++i) data_[size_++] = text[i];
        data_[size_] = 0;
        return *this;
    }
    Text& Append(const wchar_t* text) { return Append(text, Length(text)); }
    Text& AppendDecimal(unsigned long value) {
        wchar_t digits[12];
        unsigned n = 0;
        do {
            digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
            value /= 10;
        } while (value);
        while (n) Append(&digits[--n], 1);
        return *this;
    }
    Text& AppendHex(unsigned long value) {
        static const wchar_t kDigits[] = L"0123456789ABCDEF";
        Append(L"0x");
        for (int shift = 28; shift >= 0; shift -= 4) Append(&kDigits[(value >> shift) & 0xF], 1);
        return *this;
    }

private:
    wchar_t* data_;
    unsigned size_ = 0;
    bool broken_ = false;
};

class Handle {
public:
    Handle() = default;
    ~Handle() {
        if (value_) NtClose(value_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return value_; }
    HANDLE* put() { return &value_; }

private:
    HANDLE value_ = nullptr;
};

UNICODE_STRING Counted(const wchar_t* text, unsigned n) {
    UNICODE_STRING s;
    s.Length = static_cast<USHORT>(n * sizeof(wchar_t));
    s.MaximumLength = s.Length;
    s.Buffer = const_cast<PWSTR>(text);
    return s;
}

OBJECT_ATTRIBUTES Attributes(HANDLE root, UNICODE_STRING* name, ULONG flags) {
    OBJECT_ATTRIBUTES a;
    a.Length = sizeof(a);
    a.RootDirectory = root;
    a.ObjectName = name;
    a.Attributes = flags;
    a.SecurityDescriptor = nullptr;
    a.SecurityQualityOfService = nullptr;
    return a;
}

NTSTATUS OpenFile(HANDLE root, const wchar_t* name, unsigned n, ACCESS_MASK access,
                  ULONG share, ULONG options, Handle& out) {
    if (n > kMaxChars) return nt::kObjectNameInvalid;
    UNICODE_STRING s = Counted(name, n);
    OBJECT_ATTRIBUTES a = Attributes(root, &s, nt::kObjCaseInsensitive);
    IO_STATUS_BLOCK io;
    return NtOpenFile(out.put(), access, &a, &io, share, options);
}

NTSTATUS QueryAttributes(HANDLE file, ULONG& attributes) {
    nt::FileBasic basic{};
    IO_STATUS_BLOCK io;
    const NTSTATUS status =
        NtQueryInformationFile(file, &io, &basic, sizeof(basic), FileBasicInformation);
    attributes = basic.attributes;
    return status;
}

NTSTATUS SetAttributes(HANDLE file, ULONG attributes) {
    nt::FileBasic basic{};  // zero times leave the times as they are
    basic.attributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    IO_STATUS_BLOCK io;
    return NtSetInformationFile(file, &io, &basic, sizeof(basic), FileBasicInformation);
}

// Marks an open file, folder or link for deletion. Read-only, hidden and system are cleared
// first (a read-only entry refuses deletion) and put back when the deletion is refused anyway.
NTSTATUS MarkForDeletion(HANDLE file, ULONG attributes) {
    bool cleared = false;
    if (attributes & kStickyAttributes)
        cleared = NT_SUCCESS(SetAttributes(file, attributes & kKeptAttributes));
    nt::FileDisposition disposition{TRUE};
    IO_STATUS_BLOCK io;
    const NTSTATUS status = NtSetInformationFile(file, &io, &disposition, sizeof(disposition),
                                                 FileDispositionInformation);
    if (!NT_SUCCESS(status) && cleared)
        SetAttributes(file, attributes & (kKeptAttributes | kStickyAttributes));
    return status;
}

bool IsNotFound(NTSTATUS status) {
    return status == nt::kObjectNameNotFound || status == nt::kObjectPathNotFound ||
           status == nt::kNoSuchFile || status == nt::kNoMoreFiles;
}

struct Context {
    BootOutput& out;
    BootListSummary summary;
    Text message;
    Text path;  // the target being worked on, as the list names it (for messages)
    Text nt;    // the same in NT form
};

void Say(Context& c) { c.out.Line(c.message.data()); }

// A survivor inside a tree, named so the user sees what stayed.
void SayInnerFailure(Context& c, NTSTATUS status) {
    c.message.Clear();
    c.message.Append(L"cleandos: deleting ").Append(c.path.data(), c.path.size());
    c.message.Append(L" failed (status ").AppendHex(static_cast<ULONG>(status)).Append(L")");
    if (status == nt::kNotAReparsePoint)
        c.message.Append(L": the link opens as its target and is left");
    Say(c);
}

NTSTATUS RemoveEntry(Context& c, HANDLE root, const wchar_t* name, unsigned n, ULONG entryAttributes,
                     unsigned depth);

// Removes a junction or symbolic link itself. The handle must turn out to be the link: a system
// that resolves it anyway (Wine does for Unix symbolic links) would hand over the target.
NTSTATUS RemoveLink(HANDLE root, const wchar_t* name, unsigned n) {
    Handle link;
    NTSTATUS status = OpenFile(root, name, n,
                               DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                               kShareAll, nt::kOpenReparsePoint | nt::kSynchronousIo | nt::kBackupIntent,
                               link);
    if (!NT_SUCCESS(status)) return status;
    ULONG attributes = 0;
    status = QueryAttributes(link.get(), attributes);
    if (!NT_SUCCESS(status)) return status;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return nt::kNotAReparsePoint;
    return MarkForDeletion(link.get(), attributes);
}

NTSTATUS RemoveFile(HANDLE root, const wchar_t* name, unsigned n) {
    Handle file;
    NTSTATUS status = OpenFile(root, name, n,
                               DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                               kShareAll,
                               nt::kNonDirectoryFile | nt::kOpenReparsePoint | nt::kSynchronousIo |
                                   nt::kBackupIntent,
                               file);
    if (!NT_SUCCESS(status)) return status;
    ULONG attributes = 0;
    status = QueryAttributes(file.get(), attributes);
    if (!NT_SUCCESS(status)) return status;
    return MarkForDeletion(file.get(), attributes);
}

bool IsDots(const WCHAR* name, unsigned n) {
    return (n == 1 && name[0] == L'.') || (n == 2 && name[0] == L'.' && name[1] == L'.');
}

// Empties and removes a folder; nothing more is deleted after the first entry that stays.
NTSTATUS RemoveFolder(Context& c, HANDLE root, const wchar_t* name, unsigned n, unsigned depth) {
    if (depth > kMaxDepth) return nt::kTooDeep;
    Handle folder;
    NTSTATUS status = OpenFile(root, name, n,
                               FILE_LIST_DIRECTORY | DELETE | FILE_READ_ATTRIBUTES |
                                   FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                               kShareAll,
                               nt::kDirectoryFile | nt::kOpenReparsePoint | nt::kSynchronousIo |
                                   nt::kBackupIntent,
                               folder);
    if (!NT_SUCCESS(status)) return status;
    ULONG attributes = 0;
    status = QueryAttributes(folder.get(), attributes);
    if (!NT_SUCCESS(status)) return status;
    // The listing did not call it a link, but the handle is one: remove the link only.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return MarkForDeletion(folder.get(), attributes);

    constexpr ULONG kBufferBytes = 16 * 1024;
    auto* buffer = static_cast<unsigned char*>(Allocate(kBufferBytes));
    if (!buffer) return nt::kNoMemory;
    // Every pass starts the listing again: the entries of the last pass are gone by then (or
    // the walk has stopped), and no system has to keep a listing valid across deletions.
    for (bool more = true; more;) {
        IO_STATUS_BLOCK io;
        status = NtQueryDirectoryFile(folder.get(), nullptr, nullptr, nullptr, &io, buffer,
                                      kBufferBytes, FileDirectoryInformation, FALSE, nullptr, TRUE);
        if (status == nt::kNoMoreFiles || status == nt::kNoSuchFile) {
            status = nt::kSuccess;
            break;
        }
        if (!NT_SUCCESS(status)) break;
        more = false;
        for (ULONG offset = 0;;) {
            const auto* entry = reinterpret_cast<const nt::FileDirectoryEntry*>(buffer + offset);
            const unsigned chars = entry->fileNameLength / sizeof(WCHAR);
            if (!IsDots(entry->fileName, chars)) {
                more = true;
                const unsigned pathSize = c.path.size();
                c.path.Append(L"\\").Append(entry->fileName, chars);
                status = RemoveEntry(c, folder.get(), entry->fileName, chars, entry->attributes,
                                     depth + 1);
                if (!NT_SUCCESS(status) && status != nt::kTooDeep) SayInnerFailure(c, status);
                c.path.Truncate(pathSize);
                if (!NT_SUCCESS(status)) break;
            }
            if (!entry->nextEntryOffset) break;
            offset += entry->nextEntryOffset;
        }
        if (!NT_SUCCESS(status)) break;
    }
    Release(buffer);
    if (!NT_SUCCESS(status)) return status;
    return MarkForDeletion(folder.get(), attributes);
}

// Removes one entry by what its folder listing says it is.
NTSTATUS RemoveEntry(Context& c, HANDLE root, const wchar_t* name, unsigned n, ULONG entryAttributes,
                     unsigned depth) {
    if (entryAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveLink(root, name, n);
    if (entryAttributes & FILE_ATTRIBUTE_DIRECTORY) return RemoveFolder(c, root, name, n, depth);
    return RemoveFile(root, name, n);
}

// What the folder listing of its parent says about an NT path. The listing, unlike an open
// handle, is not fooled by a link the system would resolve.
NTSTATUS LookUpEntry(const wchar_t* path, unsigned n, ULONG& attributes) {
    unsigned cut = n;
    while (cut && path[cut - 1] != L'\\') --cut;
    if (cut < 2) return nt::kObjectNameInvalid;
    unsigned parentSize = cut - 1;
    if (path[parentSize - 1] == L':') ++parentSize;  // "\??\C:" is the volume, "\??\C:\" its root
    Handle parent;
    NTSTATUS status = OpenFile(nullptr, path, parentSize, FILE_LIST_DIRECTORY | SYNCHRONIZE,
                               kShareAll, nt::kDirectoryFile | nt::kSynchronousIo | nt::kBackupIntent,
                               parent);
    if (!NT_SUCCESS(status)) return status;
    alignas(8) unsigned char buffer[sizeof(nt::FileDirectoryEntry) + 600 * sizeof(WCHAR)];
    UNICODE_STRING leaf = Counted(path + cut, n - cut);
    IO_STATUS_BLOCK io;
    status = NtQueryDirectoryFile(parent.get(), nullptr, nullptr, nullptr, &io, buffer, sizeof(buffer),
                                  FileDirectoryInformation, TRUE, &leaf, TRUE);
    if (!NT_SUCCESS(status)) return status;
    attributes = reinterpret_cast<const nt::FileDirectoryEntry*>(buffer)->attributes;
    return nt::kSuccess;
}

// C0, DEL and C1: never part of a target the program records. A CR or LF inside a target
// would have made it several lines; one found inside a line means the list was not written
// by the program.
bool IsControlChar(wchar_t ch) { return ch < 0x20 || (ch >= 0x7F && ch <= 0x9F); }

bool HasControlChar(const wchar_t* text, unsigned n) {
    for (unsigned i = 0; i < n; ++i)
        if (IsControlChar(text[i])) return true;
    return false;
}

bool IsBadNameChar(wchar_t ch) {
    return ch < 0x20 || ch == L'*' || ch == L'?' || ch == L'"' || ch == L'<' || ch == L'>' ||
           ch == L'|' || ch == L':' || ch == L'/';
}

// "C:\x", "\\server\share\x", "\\?\C:\x", "\\?\UNC\server\share\x" or "\??\..." to NT form.
// Relative paths, empty, "." and ".." parts and wildcards are refused, and so is a drive or
// share root: nothing the program cleans is a whole drive.
bool ToNtPath(const wchar_t* p, unsigned n, Text& nt) {
    nt.Clear();
    unsigned at = 0;
    bool unc = false;
    if (StartsWithNoCase(p, n, L"\\\\?\\") || StartsWithNoCase(p, n, L"\\??\\")) {
        at = 4;
        if (StartsWithNoCase(p + at, n - at, L"UNC\\")) {
            at += 4;
            unc = true;
        }
    } else if (StartsWithNoCase(p, n, L"\\\\")) {
        at = 2;
        unc = true;
    }
    unsigned needed = 1;
    if (unc) {
        nt.Append(L"\\??\\UNC\\");
        needed = 3;
    } else {
        if (n - at < 3 || Upper(p[at]) < L'A' || Upper(p[at]) > L'Z' || p[at + 1] != L':' ||
            p[at + 2] != L'\\')
            return false;
        nt.Append(L"\\??\\").Append(p + at, 3);
        at += 3;
    }
    if (n > at && p[n - 1] == L'\\') --n;
    unsigned parts = 0;
    while (at < n) {
        unsigned end = at;
        while (end < n && p[end] != L'\\') {
            if (IsBadNameChar(p[end])) return false;
            ++end;
        }
        if (end == at || IsDots(p + at, end - at)) return false;
        if (parts) nt.Append(L"\\");
        nt.Append(p + at, end - at);
        ++parts;
        at = end + 1;
    }
    return parts >= needed && nt.ok();
}

// "HKLM\x" to "\Registry\Machine\x", "HKCR\x" to "\Registry\Machine\SOFTWARE\Classes\x". Empty
// parts are refused, and so are the roots themselves.
bool ToKeyPath(const wchar_t* p, unsigned n, Text& key) {
    key.Clear();
    unsigned at;
    if (StartsWithNoCase(p, n, L"HKLM\\")) {
        at = 5;
        key.Append(L"\\Registry\\Machine\\");
    } else if (StartsWithNoCase(p, n, L"HKEY_LOCAL_MACHINE\\")) {
        at = 19;
        key.Append(L"\\Registry\\Machine\\");
    } else if (StartsWithNoCase(p, n, L"HKCR\\")) {
        at = 5;
        key.Append(L"\\Registry\\Machine\\SOFTWARE\\Classes\\");
    } else if (StartsWithNoCase(p, n, L"HKEY_CLASSES_ROOT\\")) {
        at = 18;
        key.Append(L"\\Registry\\Machine\\SOFTWARE\\Classes\\");
    } else {
        return false;
    }
    if (at >= n) return false;
    for (unsigned i = at; i < n; ++i)
        if (p[i] == L'\\' && (i == at || i + 1 == n || p[i + 1] == L'\\')) return false;
    key.Append(p + at, n - at);
    return key.ok();
}

NTSTATUS OpenKey(HANDLE root, const wchar_t* name, unsigned n, ACCESS_MASK access, Handle& out) {
    UNICODE_STRING s = Counted(name, n);
    // Open a registry link as itself: deleting must never reach the key it points at.
    OBJECT_ATTRIBUTES a = Attributes(root, &s, nt::kObjCaseInsensitive | nt::kObjOpenLink);
    return NtOpenKey(out.put(), access, &a);
}

constexpr ACCESS_MASK kKeyTreeAccess = DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

// Subkeys first, deepest first (a key with subkeys cannot be deleted); stops at the first one
// that stays.
NTSTATUS DeleteKeyTree(HANDLE key, unsigned depth) {
    if (depth > kMaxDepth) return nt::kTooDeep;
    alignas(8) unsigned char buffer[sizeof(nt::KeyBasic) + 512 * sizeof(WCHAR)];
    for (;;) {
        ULONG size = 0;
        NTSTATUS status =
            NtEnumerateKey(key, 0, nt::kKeyBasicInformation, buffer, sizeof(buffer), &size);
        if (status == nt::kNoMoreEntries) break;
        if (!NT_SUCCESS(status)) return status;
        const auto* info = reinterpret_cast<const nt::KeyBasic*>(buffer);
        Handle child;
        status = OpenKey(key, info->name, info->nameLength / sizeof(WCHAR), kKeyTreeAccess, child);
        if (NT_SUCCESS(status)) status = DeleteKeyTree(child.get(), depth + 1);
        if (!NT_SUCCESS(status)) return status;
    }
    return NtDeleteKey(key);
}

enum class Outcome { Deleted, Absent, Failed };

struct Action {
    const wchar_t* noun;
    Outcome outcome;
    NTSTATUS status;
};

Action DeleteFolderLine(Context& c) {
    ULONG attributes = 0;
    NTSTATUS status = LookUpEntry(c.nt.data(), c.nt.size(), attributes);
    if (IsNotFound(status)) return {L"folder", Outcome::Absent, status};
    if (NT_SUCCESS(status)) {
        if (!(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            status = nt::kNotADirectory;
        else
            status = RemoveEntry(c, nullptr, c.nt.data(), c.nt.size(), attributes, 0);
    }
    return {L"folder", NT_SUCCESS(status) ? Outcome::Deleted : Outcome::Failed, status};
}

Action DeleteFileLine(Context& c) {
    ULONG attributes = 0;
    NTSTATUS status = LookUpEntry(c.nt.data(), c.nt.size(), attributes);
    if (IsNotFound(status)) return {L"file", Outcome::Absent, status};
    if (NT_SUCCESS(status)) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            status = nt::kFileIsADirectory;
        else
            status = RemoveEntry(c, nullptr, c.nt.data(), c.nt.size(), attributes, 0);
    }
    return {L"file", NT_SUCCESS(status) ? Outcome::Deleted : Outcome::Failed, status};
}

Action DeleteKeyLine(Context& c) {
    Handle key;
    NTSTATUS status = OpenKey(nullptr, c.nt.data(), c.nt.size(), kKeyTreeAccess, key);
    if (IsNotFound(status)) return {L"key", Outcome::Absent, status};
    if (NT_SUCCESS(status)) status = DeleteKeyTree(key.get(), 0);
    return {L"key", NT_SUCCESS(status) ? Outcome::Deleted : Outcome::Failed, status};
}

Action DeleteValueLine(Context& c) {
    unsigned cut = c.nt.size();
    while (cut && c.nt.data()[cut - 1] != L'\\') --cut;
    Handle key;
    NTSTATUS status = OpenKey(nullptr, c.nt.data(), cut - 1, KEY_SET_VALUE, key);
    if (NT_SUCCESS(status)) {
        UNICODE_STRING name = Counted(c.nt.data() + cut, c.nt.size() - cut);
        status = NtDeleteValueKey(key.get(), &name);
    }
    if (IsNotFound(status)) return {L"value", Outcome::Absent, status};
    return {L"value", NT_SUCCESS(status) ? Outcome::Deleted : Outcome::Failed, status};
}

// "V" takes "HKLM\key\name"; the key part must be a key path of its own.
bool ToValuePath(const wchar_t* p, unsigned n, Text& nt) {
    unsigned cut = n;
    while (cut && p[cut - 1] != L'\\') --cut;
    if (cut < 2) return false;
    if (!ToKeyPath(p, cut - 1, nt)) return false;
    nt.Append(L"\\").Append(p + cut, n - cut);
    return nt.ok();
}

void DoLine(Context& c, const wchar_t* line, unsigned n, unsigned number) {
    const wchar_t tag = Upper(line[0]);
    const wchar_t* target = line + 1;
    const unsigned size = n - 1;
    c.path.Clear();
    c.path.Append(target, size);
    bool understood = false;
    if (!HasControlChar(line, n)) {
        switch (tag) {
            case L'D':
            case L'F': understood = ToNtPath(target, size, c.nt); break;
            case L'K': understood = ToKeyPath(target, size, c.nt); break;
            case L'V': understood = ToValuePath(target, size, c.nt); break;
            default: break;
        }
    }
    c.message.Clear();
    if (!understood || !c.path.ok()) {
        ++c.summary.failed;
        c.message.Append(L"cleandos: line ").AppendDecimal(number).Append(L" not understood: ");
        // Control characters shown as '?', so the line cannot move the boot screen's cursor.
        for (unsigned i = 0; i < n; ++i) c.message.Append(IsControlChar(line[i]) ? L"?" : line + i, 1);
        Say(c);
        return;
    }
    Action action = tag == L'D'   ? DeleteFolderLine(c)
                    : tag == L'F' ? DeleteFileLine(c)
                    : tag == L'K' ? DeleteKeyLine(c)
                                  : DeleteValueLine(c);
    c.message.Clear();
    switch (action.outcome) {
        case Outcome::Deleted:
            ++c.summary.deleted;
            c.message.Append(L"cleandos: deleted ").Append(action.noun).Append(L" ");
            c.message.Append(c.path.data(), c.path.size());
            break;
        case Outcome::Absent:
            ++c.summary.absent;
            c.message.Append(L"cleandos: ").Append(action.noun).Append(L" ");
            c.message.Append(c.path.data(), c.path.size()).Append(L" is already gone");
            break;
        case Outcome::Failed:
            ++c.summary.failed;
            c.message.Append(L"cleandos: deleting ").Append(action.noun).Append(L" ");
            c.message.Append(c.path.data(), c.path.size()).Append(L" failed (status ");
            c.message.AppendHex(static_cast<ULONG>(action.status)).Append(L")");
            break;
    }
    Say(c);
}

// Calls f(line, length) for every line: lines end at LF, a CR before it (or at the very end)
// is not part of the line, and the last line needs no line end.
template <typename F>
void ForEachLine(const wchar_t* text, unsigned n, F f) {
    unsigned start = 0;
    while (start < n) {
        unsigned end = start;
        while (end < n && text[end] != L'\n') ++end;
        unsigned stop = end;
        if (stop > start && text[stop - 1] == L'\r') --stop;
        f(text + start, stop - start);
        start = end + 1;
    }
}

bool ParseDecimal(const wchar_t* text, unsigned long& value) {
    if (!text || !*text) return false;
    value = 0;
    for (; *text; ++text) {
        if (*text < L'0' || *text > L'9') return false;
        if (value > 0xFFFFFFFFul / 10 - 1) return false;  // far beyond any checksum
        value = value * 10 + static_cast<unsigned long>(*text - L'0');
    }
    return true;
}

struct ListText {
    wchar_t* text = nullptr;
    unsigned size = 0;
    ~ListText() { Release(text); }
};

NTSTATUS ReadList(const Text& file, ListText& list) {
    Handle handle;
    NTSTATUS status = OpenFile(nullptr, file.data(), file.size(), FILE_READ_DATA | SYNCHRONIZE,
                               FILE_SHARE_READ, nt::kNonDirectoryFile | nt::kSynchronousIo, handle);
    if (!NT_SUCCESS(status)) return status;
    nt::FileStandard standard{};
    IO_STATUS_BLOCK io;
    status = NtQueryInformationFile(handle.get(), &io, &standard, sizeof(standard),
                                    FileStandardInformation);
    if (!NT_SUCCESS(status)) return status;
    if (standard.endOfFile.HighPart || standard.endOfFile.LowPart > kMaxListBytes)
        return nt::kNoMemory;
    const ULONG bytes = standard.endOfFile.LowPart;
    auto* raw = static_cast<char*>(Allocate(bytes + 1));
    list.text = static_cast<wchar_t*>(Allocate((bytes + 1) * sizeof(wchar_t)));
    if (!raw || !list.text) {
        Release(raw);
        return nt::kNoMemory;
    }
    ULONG done = 0;
    while (done < bytes) {
        LARGE_INTEGER offset;
        offset.QuadPart = done;
        status = NtReadFile(handle.get(), nullptr, nullptr, nullptr, &io, raw + done, bytes - done,
                            &offset, nullptr);
        if (!NT_SUCCESS(status) || io.Information == 0) break;
        done += static_cast<ULONG>(io.Information);
    }
    if (NT_SUCCESS(status) && done < bytes) status = nt::kNoSuchFile;  // shrank while read
    ULONG converted = 0;
    if (NT_SUCCESS(status) && done)
        status = RtlMultiByteToUnicodeN(list.text, done * sizeof(wchar_t), &converted, raw, done);
    Release(raw);
    list.size = converted / sizeof(wchar_t);
    return status;
}

NTSTATUS EmptyList(const Text& file) {
    Handle handle;
    NTSTATUS status = OpenFile(nullptr, file.data(), file.size(), FILE_WRITE_DATA | SYNCHRONIZE,
                               FILE_SHARE_READ, nt::kNonDirectoryFile | nt::kSynchronousIo, handle);
    if (!NT_SUCCESS(status)) return status;
    nt::FileEndOfFile end{};
    IO_STATUS_BLOCK io;
    return NtSetInformationFile(handle.get(), &io, &end, sizeof(end), FileEndOfFileInformation);
}

BootListSummary Run(const wchar_t* systemFolder, const wchar_t* argument, BootOutput& out) {
    Context c{out, {}, {}, {}, {}};
    if (!c.message.ok() || !c.path.ok() || !c.nt.ok()) {
        out.Line(L"cleandos: out of memory; nothing deleted");
        return c.summary;
    }
    unsigned long wanted = 0;
    if (!argument || !*argument) {
        out.Line(L"cleandos: no checksum given; nothing deleted");
        return c.summary;
    }
    Text file;
    file.Append(systemFolder).Append(L"\\cleandos.lst");
    ListText list;
    const NTSTATUS read = file.ok() ? ReadList(file, list) : nt::kObjectNameInvalid;
    if (!NT_SUCCESS(read)) {
        c.message.Append(L"cleandos: cannot read the list (status ").AppendHex(static_cast<ULONG>(read));
        c.message.Append(L"); nothing deleted");
        Say(c);
        return c.summary;
    }
    std::uint32_t sum = 0;
    ForEachLine(list.text, list.size, [&](const wchar_t* line, unsigned n) {
        sum = AddBootLine(sum, std::u16string_view(reinterpret_cast<const char16_t*>(line), n));
    });
    const std::uint32_t checksum = BootChecksumOfSum(sum);
    if (!ParseDecimal(argument, wanted) || wanted != checksum) {
        c.message.Append(L"cleandos: checksum ").Append(argument).Append(L" does not match the list (");
        c.message.AppendDecimal(checksum).Append(L"); nothing deleted");
        Say(c);
        return c.summary;
    }
    c.summary.ran = true;
    const NTSTATUS emptied = EmptyList(file);
    if (!NT_SUCCESS(emptied)) {
        c.message.Append(L"cleandos: emptying the list failed (status ").AppendHex(static_cast<ULONG>(emptied));
        c.message.Append(L")");
        Say(c);
    }
    unsigned number = 0;
    ForEachLine(list.text, list.size, [&](const wchar_t* line, unsigned n) {
        ++number;
        if (n) DoLine(c, line, n, number);
    });
    c.message.Clear();
    c.message.Append(L"cleandos: ").AppendDecimal(c.summary.deleted).Append(L" deleted, ");
    c.message.AppendDecimal(c.summary.absent).Append(L" already gone, ");
    c.message.AppendDecimal(c.summary.failed).Append(L" failed");
    Say(c);
    return c.summary;
}

}  // namespace

BootListSummary RunBootList(const wchar_t* systemFolder, const wchar_t* argument, BootOutput& out) {
    g_heap = RtlCreateHeap(HEAP_GROWABLE, nullptr, 0, 0, nullptr, nullptr);
    if (!g_heap) {
        out.Line(L"cleandos: out of memory; nothing deleted");
        return {};
    }
    const BootListSummary summary = Run(systemFolder, argument, out);
    RtlDestroyHeap(g_heap);
    g_heap = nullptr;
    return summary;
}

bool BootArgumentFromCommandLine(const wchar_t* commandLine, unsigned length, wchar_t* argument,
                                 unsigned capacity) {
    if (!argument || !capacity) return false;
    argument[0] = 0;
    if (!commandLine) return false;
    auto blank = [](wchar_t ch) { return ch == L' ' || ch == L'\t'; };
    unsigned at = 0;
    while (at < length && blank(commandLine[at])) ++at;
    unsigned first = at;
    bool quoted = at < length && commandLine[at] == L'"';
    if (quoted) ++at;
    while (at < length && (quoted ? commandLine[at] != L'"' : !blank(commandLine[at]))) ++at;
    if (quoted && at < length) ++at;
    unsigned end = length;
    while (end > at && blank(commandLine[end - 1])) --end;
    unsigned from = at;
    while (from < end && blank(commandLine[from])) ++from;
    if (from == end) {
        // Only one word: it is the argument when it is a number.
        from = first;
        end = at;
        if (from == end) return false;
        for (unsigned i = from; i < end; ++i)
            if (commandLine[i] < L'0' || commandLine[i] > L'9') return false;
    }
    if (end - from >= capacity) return false;
    for (unsigned i = from; i < end; ++i) argument[i - from] = commandLine[i];
    argument[end - from] = 0;
    return true;
}

}  // namespace tidemark::cleandos
