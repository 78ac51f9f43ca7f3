// Tells the seeding script where a folder macro points in this prefix:
//   tm_seed_folders <macro>...
// prints one UTF-8 line per argument, in order: the Windows folder it names, or an empty line
// when it names none. The program's own folder macros ("%usertemp%", "%userdesktop%") come
// first, so seeded files land exactly where its definitions look; any other name is read from
// the environment ("%TEMP%", "%LOCALAPPDATA%").
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "system/folder_macros.h"
#include "system/text_case.h"

namespace {

std::wstring FolderOf(const std::wstring& macro) {
    const std::wstring lower = tidemark::LowerCased(macro);
    for (int i = 0; i < tidemark::kFolderMacroCount; ++i)
        if (lower == tidemark::FolderMacroNames[i]) return tidemark::GetFolderMacros().Value(i);
    if (macro.size() < 3 || macro.front() != L'%' || macro.back() != L'%' ||
        macro.find(L'%', 1) != macro.size() - 1)
        return {};
    std::wstring buffer(32768, L'\0');
    const DWORD n = ExpandEnvironmentStringsW(macro.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n > buffer.size()) return {};
    buffer.resize(n - 1);
    // An unknown variable is left as it was written.
    return buffer == macro ? std::wstring() : buffer;
}

void PrintLine(const std::wstring& text) {
    std::string bytes;
    if (!text.empty()) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        bytes.resize(n);
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    }
    bytes += '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    for (int i = 1; i < argc; ++i) PrintLine(FolderOf(argv[i]));
    return std::fflush(stdout) == 0 ? 0 : 1;
}
