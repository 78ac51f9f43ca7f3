#include "system/reg_text.h"

#include <cstdio>
#include <vector>

#include "system/file_ops.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/reg_view.h"
#include "system/text_case.h"
#include "system/reg_walk.h"

namespace tidemark {

namespace {

std::wstring Quoted(const std::wstring& text) {
    std::wstring out = L"\"";
    for (const wchar_t c : text) {
        if (c == L'\\' || c == L'"') out += L'\\';
        out += c;
    }
    return out + L"\"";
}

// hex bytes, wrapped as the editor wraps them (a trailing backslash continues the line).
std::wstring HexData(const std::wstring& prefix, const BYTE* data, DWORD size) {
    std::wstring out = prefix;
    std::size_t lineLength = prefix.size();
    for (DWORD i = 0; i < size; ++i) {
        wchar_t byte[4];
        std::swprintf(byte, 4, L"%02x", data[i]);
        out += byte;
        lineLength += 2;
        if (i + 1 < size) {
            out += L',';
            ++lineLength;
            if (lineLength > 76) {
                out += L"\\\r\n  ";
                lineLength = 2;
            }
        }
    }
    return out;
}

// A clean string (its one terminating zero, no other zero, no line break) is written as text;
// anything else keeps its exact bytes.
bool IsPlainString(const BYTE* data, DWORD size) {
    if (size < 2 || size % 2) return false;
    const std::size_t chars = size / 2;
    for (std::size_t i = 0; i < chars; ++i) {
        const wchar_t c = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
        if (c == 0) return i + 1 == chars;
        if (c == L'\r' || c == L'\n') return false;
    }
    return false;
}

std::wstring ValueLine(const std::wstring& name, DWORD type, const BYTE* data, DWORD size) {
    std::wstring line = name.empty() ? L"@" : Quoted(name);
    line += L'=';
    if (type == REG_SZ && IsPlainString(data, size)) {
        line += Quoted(StringOfData(data, size));
    } else if (type == REG_DWORD && size == 4) {
        wchar_t number[16];
        std::swprintf(number, 16, L"dword:%08lx",
                      static_cast<unsigned long>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                                 (static_cast<DWORD>(data[3]) << 24)));
        line += number;
    } else if (type == REG_BINARY) {
        line = HexData(line + L"hex:", data, size);
    } else {
        wchar_t prefix[24];
        std::swprintf(prefix, 24, L"hex(%lx):", static_cast<unsigned long>(type));
        line = HexData(line + prefix, data, size);
    }
    return line + L"\r\n";
}

bool ReadValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
        data.resize(size + 2);
        DWORD got = size;
        const LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &got);
        if (rc == ERROR_MORE_DATA) continue;  // it grew meanwhile
        if (rc != ERROR_SUCCESS) return false;
        data.resize(got);
        return true;
    }
    return false;
}

// name: the key's name as the file gives it (RegTextKeyName for the top of the tree).
bool ExportTree(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& text) {
    UniqueHKey key = OpenRegKey(root, path, KEY_READ);
    if (!key) return false;
    text += L"[" + name + L"]\r\n";
    bool ok = EnumValuesWithData(key.get(), [&](const RegValueView& value) {
        text += ValueLine(value.name, value.type, value.data, value.size);
        return true;
    });
    text += L"\r\n";
    std::vector<std::wstring> subKeys;
    ok = EnumSubKeyNames(key.get(), subKeys) && ok;
    for (const std::wstring& sub : subKeys) ok = ExportTree(root, path + L"\\" + sub, name + L"\\" + sub, text) && ok;
    return ok;
}

}  // namespace

std::wstring RegValueDeletionLine(const std::wstring& name) { return (name.empty() ? L"@" : Quoted(name)) + L"=-\r\n"; }

std::wstring RegTextKeyName(HKEY root, const std::wstring& key) { return KeyNameOutsideViews(root, key); }

std::wstring RegTextHeader() { return L"Windows Registry Editor Version 5.00\r\n\r\n"; }

bool AppendRegKeyTree(HKEY root, const std::wstring& path, std::wstring& text) {
    return !RootFullName(root).empty() && ExportTree(root, path, RegTextKeyName(root, path), text);
}

bool AppendRegValue(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring& text) {
    if (RootFullName(root).empty()) return false;
    UniqueHKey handle = OpenRegKey(root, key, KEY_QUERY_VALUE);
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!handle || !ReadValue(handle.get(), name, type, data)) return false;
    text += L"[" + RegTextKeyName(root, key) + L"]\r\n";
    text += ValueLine(name, type, data.data(), static_cast<DWORD>(data.size()));
    text += L"\r\n";
    return true;
}

bool WriteRegTextFile(const std::wstring& file, const std::wstring& text) {
    // wchar_t is UTF-16 LE on this platform: the bytes go out as they are, after the mark.
    const std::wstring marked = L'\xFEFF' + text;
    return WriteBytesToFile(file, marked.data(), static_cast<unsigned long>(marked.size() * sizeof(wchar_t)), false);
}

}  // namespace tidemark
