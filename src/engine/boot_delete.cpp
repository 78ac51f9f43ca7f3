#include "engine/boot_delete.h"

#include <windows.h>

#include <cwctype>
#include <vector>

#include "engine/boot_checksum.h"
#include "engine/md5.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/sealed_resource.h"
#include "system/win_info.h"

#if __has_include("cleandos_digest.h")
#include "cleandos_digest.h"
#endif

namespace tidemark {
namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kDefaultBootExecute[] = L"autocheck autochk *";

bool IsToolEntry(const std::wstring& entry) {
    std::size_t first = 0, last = entry.size();
    auto blank = [](wchar_t c) { return c == L' ' || (c >= 0 && c < 0x20); };
    while (first < last && blank(entry[first])) ++first;
    while (last > first && blank(entry[last - 1])) --last;
    std::wstring trimmed = entry.substr(first, last - first);
    for (wchar_t& c : trimmed) c = static_cast<wchar_t>(std::towlower(c));
    return trimmed.rfind(L"cleandos", 0) == 0;
}

}  // namespace

bool FileMatchesMD5(const std::string& hexDigest, const std::wstring& path) {
    UniqueHandle file(CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
    if (!file || hexDigest.size() != 32) return false;
    Md5 md5;
    char chunk[16384];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) md5.Update(chunk, got);
    const std::string actual = Md5Hex(md5.Final());
    for (std::size_t i = 0; i < 32; ++i)
        if (std::tolower(static_cast<unsigned char>(hexDigest[i])) != actual[i]) return false;
    return true;
}

std::vector<std::wstring> NextBootExecute(std::vector<std::wstring> strings, unsigned checksum) {
    for (auto it = strings.begin(); it != strings.end(); ++it)
        if (IsToolEntry(*it)) {
            strings.erase(it);
            break;
        }
    if (strings.empty()) strings.emplace_back(kDefaultBootExecute);
    strings.push_back(L"cleandos " + std::to_wstring(checksum));
    return strings;
}

void CommitBootDeleteWith(const BootList& list, const std::string& toolDigest, int windowsKind) {
    if (windowsKind <= 2 || list.Lines().empty()) return;
    list.Save();
    const unsigned checksum = BootListChecksum(list.Lines());

    const std::wstring tool = GetWinInfo().SystemDir + L"\\cleandos.exe";
    if (!FileMatchesMD5(toolDigest, tool)) ExtractSealedResource(nullptr, L"FILE", L"DOSTOOL", tool);

    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
        return;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), L"BootExecute", nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return;
    // Room beyond the stored size, zero-filled, so the strings always end.
    std::vector<wchar_t> buffer((size + 256) / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), L"BootExecute", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
        ERROR_SUCCESS)
        return;
    std::vector<std::wstring> strings;
    const std::size_t units = bytes / sizeof(wchar_t);
    for (std::size_t at = 0; at < units && buffer[at] != L'\0';) {
        std::wstring entry(buffer.data() + at);
        at += entry.size() + 1;
        strings.push_back(std::move(entry));
    }
    std::wstring data;
    for (const std::wstring& entry : NextBootExecute(std::move(strings), checksum)) {
        data += entry;
        data.push_back(L'\0');
    }
    data.push_back(L'\0');
    RegSetValueExW(key.get(), L"BootExecute", 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

void CommitBootDelete() {
#ifdef TM_CLEANDOS_MD5
    CommitBootDeleteWith(BootDeleteList(), TM_CLEANDOS_MD5, GetWinInfo().Kind);
#else
    CommitBootDeleteWith(BootDeleteList(), "", GetWinInfo().Kind);
#endif
}

}  // namespace tidemark
