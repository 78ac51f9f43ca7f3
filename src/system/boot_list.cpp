#include "system/boot_list.h"

#include <windows.h>

#include <algorithm>
#include <optional>

#include "system/ansi_text.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

wchar_t TagOf(int type) {
    switch (type) {
    case BootRecordFolder: return L'D';
    case BootRecordFile: return L'F';
    case BootRecordKey: case BootRecordKeyAlso: return L'K';
    case BootRecordValue: return L'V';
    default: return 0;
    }
}

bool IsControlChar(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// What a line of the list may hold: the tool splits at line ends and refuses other control
// characters, and reads the file in the ANSI code page.
bool IsRecordable(const std::wstring& text) {
    return std::none_of(text.begin(), text.end(), IsControlChar) && ToAnsiExactly(text).has_value();
}

std::wstring Decode(const std::string& bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        return FromCodePage(CP_UTF8, bytes.data() + 3, bytes.size() - 3);
    if (bytes.size() >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        const bool bigEndian = b[0] == 0xFE;
        std::wstring text;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<wchar_t>(bigEndian ? (b[i] << 8) | b[i + 1] : b[i] | (b[i + 1] << 8)));
        return text;
    }
    return FromAnsi(bytes);
}

}  // namespace

bool SameIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
    auto fold = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](wchar_t x, wchar_t y) { return fold(x) == fold(y); });
}

BootList::BootList(std::wstring path) : path_(std::move(path)) {
    const std::wstring text = Decode(ReadFileBytes(path_));
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        if (end > start) {
            std::wstring line = text.substr(start, end - start);
            if (IsRecordable(line)) lines_.push_back(std::move(line));
        }
        start = end + 1;
    }
}

BootRecordResult BootList::Record(int type, const std::wstring& target) {
    const wchar_t tag = TagOf(type);
    if (!tag || target.empty() || !IsRecordable(target)) return BootRecordResult::Refused;
    const std::wstring line = tag + target;
    for (const std::wstring& existing : lines_)
        if (SameIgnoringAsciiCase(existing, line)) return BootRecordResult::AlreadyListed;
    lines_.push_back(line);
    return BootRecordResult::Added;
}

bool BootList::Save() const {
    std::string bytes;
    for (const std::wstring& line : lines_) {
        if (std::any_of(line.begin(), line.end(), IsControlChar)) return false;
        const auto ansi = ToAnsiExactly(line);
        if (!ansi) return false;
        bytes += *ansi + "\r\n";
    }
    return WriteBytesToFile(path_, bytes.data(), static_cast<unsigned long>(bytes.size()), false);
}

BootList& BootDeleteList() {
    static BootList list(GetWinInfo().SystemDir + L"\\cleandos.lst");
    return list;
}

BootRecordResult RecordBootDelete(int type, const std::wstring& target) { return BootDeleteList().Record(type, target); }

}  // namespace tidemark
