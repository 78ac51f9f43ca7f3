#include "system/reg_walk.h"

#include <cstring>
#include <cwchar>
#include <vector>

namespace tidemark {

namespace {
constexpr DWORD kMaxNameChars = 32768;
constexpr DWORD kMaxDataBytes = 64u * 1024 * 1024;  // beyond this a value is not text we judge
}  // namespace

std::wstring StringOfData(const BYTE* data, DWORD size) {
    const std::size_t chars = size / sizeof(wchar_t);
    std::wstring text(chars, L'\0');
    if (chars) std::memcpy(text.data(), data, chars * sizeof(wchar_t));
    const std::size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos) text.resize(zero);
    return text;
}

bool EnumValuesWithData(HKEY key, const std::function<bool(const RegValueView&)>& visit) {
    DWORD maxName = 0, maxData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        maxName = 256;
        maxData = 4096;
    }
    std::vector<wchar_t> nameBuffer(maxName + 2 > 256 ? maxName + 2 : 256);
    std::vector<BYTE> data((maxData > 4096 ? maxData : 4096) + 2);
    std::wstring name;
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(nameBuffer.size());
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size() - 2);
        const LONG rc = RegEnumValueW(key, index, nameBuffer.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (rc == ERROR_NO_MORE_ITEMS) return true;
        if (rc == ERROR_MORE_DATA) {
            // The value grew since the key was asked, or the name did: grow and read it again.
            bool grown = false;
            if (nameBuffer.size() < kMaxNameChars && nameLength + 2 > nameBuffer.size()) {
                nameBuffer.resize(nameBuffer.size() * 4);
                grown = true;
            }
            if (size + 2 > data.size() && size <= kMaxDataBytes) {
                data.resize(static_cast<std::size_t>(size) + 2);
                grown = true;
            } else if (!grown && data.size() < kMaxDataBytes) {
                data.resize(data.size() * 2);  // some systems leave size unchanged on a long name
                grown = true;
            }
            if (grown) continue;
            ++index;  // too large to be anything we judge
            continue;
        }
        if (rc != ERROR_SUCCESS) return false;
        if (size > data.size() - 2) size = static_cast<DWORD>(data.size() - 2);
        data[size] = 0;
        data[size + 1] = 0;
        name.assign(nameBuffer.data(), nameLength);
        if (!visit(RegValueView{name, type, data.data(), size})) return true;
        ++index;
    }
}

}  // namespace tidemark
