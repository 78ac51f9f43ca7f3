#include "engine/sealed_store.h"

#include "engine/md5.h"
#include "system/ansi_text.h"
#include "engine/sealed_text.h"
#include "system/file_ops.h"
#include "system/guarded_call.h"
#include "system/handles.h"
#include "system/sealed_resource.h"

namespace tidemark {
namespace {

struct MappedView {
    const void* data = nullptr;
    ~MappedView() {
        if (data) UnmapViewOfFile(data);
    }
};

// Views of this size keep a file larger than the free address space readable.
constexpr ULONGLONG kViewSize = 16u << 20;

}  // namespace

std::optional<std::string> ReadSealedResource(HMODULE module, const wchar_t* type, const wchar_t* name,
                                              std::string_view key) {
    const ResourceBytes resource = FindResourceBytes(module, type, name);
    if (!resource.found) return std::nullopt;
    const std::string_view stored(static_cast<const char*>(resource.data), resource.size);
    return key.empty() ? std::string(stored) : DecipherSealed(stored, key);
}

std::optional<TextList> ReadSealedLines(HMODULE module, const wchar_t* type, const wchar_t* name,
                                        std::string_view key) {
    const std::optional<std::string> bytes = ReadSealedResource(module, type, name, key);
    if (!bytes) return std::nullopt;
    // An enciphered text ends at its last whole block: a partial block after it was never
    // enciphered and is no text.
    std::string_view text = *bytes;
    if (!key.empty()) text = text.substr(0, text.size() / 8 * 8);
    TextList lines;
    // Line ends are single bytes the code page never uses inside a character, so the split
    // can come before the conversion.
    for (const std::string& line : SplitTextLines(TextBeforeZero(text))) lines.push_back(FromAnsi(line));
    return lines;
}

bool ExtractSealedResource(HMODULE module, const wchar_t* type, const wchar_t* name, const std::wstring& path,
                           std::string_view key, bool* leftOldFile) {
    if (leftOldFile) *leftOldFile = false;
    const std::optional<std::string> bytes = ReadSealedResource(module, type, name, key);
    if (!bytes) return false;
    return PlaceSealedBytes(bytes->data(), static_cast<unsigned long>(bytes->size()), path, leftOldFile);
}

Md5Digest StringMD5(const std::wstring& text) {
    const std::string bytes = ToAnsiNoBestFit(text);
    Md5 md5;
    md5.Update(bytes.data(), bytes.size());
    return md5.Final();
}

std::optional<Md5Digest> FileDigest(const std::wstring& path) {
    UniqueHandle file(CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return std::nullopt;
    DWORD high = 0;
    const DWORD low = GetFileSize(file.get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return std::nullopt;
    const ULONGLONG size = (static_cast<ULONGLONG>(high) << 32) | low;
    UniqueHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return std::nullopt;  // an empty file among others

    Md5 md5;
    for (ULONGLONG at = 0; at < size; at += kViewSize) {
        const DWORD length = static_cast<DWORD>(size - at < kViewSize ? size - at : kViewSize);
        MappedView view{MapViewOfFile(mapping.get(), FILE_MAP_READ, static_cast<DWORD>(at >> 32),
                                      static_cast<DWORD>(at), length)};
        if (!view.data) return std::nullopt;
        // A page that cannot be read in (a share or removable disk going away) raises an in-page
        // error, which must cost the digest, not the process.
        const bool read = CallGuarded([&]() noexcept { md5.Update(view.data, length); });
        if (!read) return std::nullopt;
    }
    return md5.Final();
}

Md5Digest FileMD5(const std::wstring& path) { return FileDigest(path).value_or(Md5Digest{}); }

}  // namespace tidemark
