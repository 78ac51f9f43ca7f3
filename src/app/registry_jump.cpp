#include "app/registry_jump.h"

#include <windows.h>

#include <utility>

#include "system/ansi_text.h"
#include "system/guarded_call.h"
#include "system/sealed_resource.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

using RegJumpProc = void(__cdecl*)(const char*);

struct JumpHelper {
    UniqueForeignLibrary module;
    std::wstring file;
    RegJumpProc entry = nullptr;
};

JumpHelper& Helper() {
    static JumpHelper helper;
    return helper;
}

bool LoadHelper(JumpHelper& helper) {
    if (helper.entry) return true;
    std::wstring file = GetWinInfo().TempDir + L"\\cleanreg.dll";
    if (!ExtractSealedResource(GetModuleHandleW(nullptr), L"FILE", L"REGHLPS", file)) return false;
    // Written: the file goes at the end whether or not it loads.
    helper.file = file;
    UniqueForeignLibrary module(LoadForeignLibrary(file, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module) return false;
    const auto entry = ForeignExport<RegJumpProc>(module.get(), "RegJump");
    if (!entry) return false;
    helper.module = std::move(module);
    helper.entry = entry;
    return true;
}

// The path in the ANSI code page, up to the first key name it cannot spell: a '?' typed in its
// place would send the editor's search to some other key.
std::string AnsiPathPrefix(const std::wstring& path) {
    std::string result;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find(L'\\', start);
        const std::optional<std::string> name =
            ToAnsiExactly(path.substr(start, end == std::wstring::npos ? end : end - start));
        if (!name) break;
        if (start != 0) result += '\\';
        result += *name;
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    return result;
}

}  // namespace

bool JumpToRegistryKey(const std::wstring& path) {
    JumpHelper& helper = Helper();
    if (!LoadHelper(helper)) return false;
    const std::string target = AnsiPathPrefix(path);
    const char* text = target.c_str();
    const RegJumpProc entry = helper.entry;
    return CallGuarded([&] { entry(text); });
}

void ReleaseRegistryJump() {
    JumpHelper& helper = Helper();
    helper.entry = nullptr;
    helper.module.reset();
    if (!helper.file.empty()) {
        SetFileAttributesW(helper.file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(helper.file.c_str());
    }
    helper.file.clear();
}

}  // namespace tidemark
