#include "engine/boot_delete.h"

#include <windows.h>

#include <cwctype>
#include <vector>

#include "engine/boot_checksum.h"
#include "engine/md5.h"
#include "engine/sealed_store.h"
#include "system/change_recorder.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/reg_ops.h"
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
    auto blank = [](wchar_t c) { return c == L' ' || c < 0x20; };
    while (first < last && blank(entry[first])) ++first;
    while (last > first && blank(entry[last - 1])) --last;
    std::wstring trimmed = entry.substr(first, last - first);
    for (wchar_t& c : trimmed) c = static_cast<wchar_t>(std::towlower(c));
    return trimmed.compare(0, 8, L"cleandos") == 0;
}

}  // namespace

bool FileMatchesMD5(const std::string& hexDigest, const std::wstring& path) {
    // A file that cannot be read matches nothing, not even a digest of zeros.
    const std::optional<Md5Digest> digest = FileDigest(path);
    if (!digest || hexDigest.size() != 32) return false;
    const std::string actual = Md5Hex(*digest);
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

BootCommitResult CommitBootDeleteWith(const BootList& list, const std::string& toolDigest, int windowsKind) {
    if (windowsKind <= 2 || list.Lines().empty()) return BootCommitResult::NotNeeded;
    if (!list.Save()) return BootCommitResult::ListNotSaved;
    const unsigned checksum = BootListChecksum(list.Lines());

    // Whatever the extraction says, only the digest tells that the tool at the boot entry's
    // end is the one we carry.
    const std::wstring tool = GetWinInfo().SystemDir + L"\\cleandos.exe";
    if (!FileMatchesMD5(toolDigest, tool)) {
        ExtractSealedResource(nullptr, L"FILE", L"DOSTOOL", tool);
        if (!FileMatchesMD5(toolDigest, tool)) return BootCommitResult::ToolNotWritten;
    }

    UniqueHKey key = OpenRegKey(HKEY_LOCAL_MACHINE, kSessionManager, KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!key) return BootCommitResult::BootEntryNotWritten;
    auto strings = QueryMultiStringValue(key.get(), L"BootExecute");
    // A recorded clean keeps the entry as it was in its journal; without that, no change.
    if (!strings || !RecordValueWrite(HKEY_LOCAL_MACHINE, kSessionManager, L"BootExecute") || !SetMultiStringValue(key.get(), L"BootExecute", NextBootExecute(std::move(*strings), checksum)))
        return BootCommitResult::BootEntryNotWritten;
    return BootCommitResult::Committed;
}

BootCommitResult CommitBootDelete() {
#ifdef TM_CLEANDOS_MD5
    return CommitBootDeleteWith(BootDeleteList(), TM_CLEANDOS_MD5, GetWinInfo().Kind);
#else
    return CommitBootDeleteWith(BootDeleteList(), "", GetWinInfo().Kind);
#endif
}

}  // namespace tidemark
