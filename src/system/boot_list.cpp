#include "system/boot_list.h"

#include <windows.h>

#include <algorithm>

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

std::wstring Decode(const std::string& bytes) {
    auto convert = [](UINT codePage, const char* data, int size) {
        const int n = MultiByteToWideChar(codePage, 0, data, size, nullptr, 0);
        std::wstring text(n > 0 ? n : 0, L'\0');
        if (n > 0) MultiByteToWideChar(codePage, 0, data, size, text.data(), n);
        return text;
    };
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        return convert(CP_UTF8, bytes.data() + 3, static_cast<int>(bytes.size() - 3));
    if (bytes.size() >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        const bool bigEndian = b[0] == 0xFE;
        std::wstring text;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<wchar_t>(bigEndian ? (b[i] << 8) | b[i + 1] : b[i] | (b[i + 1] << 8)));
        return text;
    }
    return convert(CP_ACP, bytes.data(), static_cast<int>(bytes.size()));
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
        if (end > start) lines_.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

bool BootList::Record(int type, const std::wstring& target) {
    const wchar_t tag = TagOf(type);
    if (!tag) return false;
    const std::wstring line = tag + target;
    for (const std::wstring& existing : lines_)
        if (SameIgnoringAsciiCase(existing, line)) return false;
    lines_.push_back(line);
    return true;
}

bool BootList::Save() const {
    std::wstring text;
    for (const std::wstring& line : lines_) text += line + L"\r\n";
    std::string bytes;
    if (!text.empty()) {
        const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        bytes.assign(n > 0 ? n : 0, '\0');
        if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    }
    return WriteBytesToFile(path_, bytes.data(), static_cast<unsigned long>(bytes.size()), false);
}

BootList& BootDeleteList() {
    static BootList list(GetWinInfo().SystemDir + L"\\cleandos.lst");
    return list;
}

bool RecordBootDelete(int type, const std::wstring& target) { return BootDeleteList().Record(type, target); }

}  // namespace tidemark
