// The yardstick of a whole console junk scan: a plain program that walks a tree with
// FindFirstFileW (links not entered) and prints how many files it saw.
//   walk_process <folder>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

unsigned long long Walk(const std::wstring& folder) {
    unsigned long long files = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((L"\\\\?\\" + folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        const wchar_t* n = data.cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) files += Walk(folder + n + L"\\");
        else ++files;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return files;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    std::wstring folder = argv[1];
    if (folder.back() != L'\\') folder += L'\\';
    std::printf("%llu files\n", Walk(folder));
    return 0;
}
