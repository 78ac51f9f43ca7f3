// What Windows sees at each path read from standard input (UTF-8, one per line):
//   "file <size> <YYYY-MM-DD HH:MM:SS>" (last write, UTC), "folder", or "missing".
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(n, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

void Describe(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        std::printf("missing\n");
        return;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        std::printf("folder\n");
        return;
    }
    SYSTEMTIME t = {};
    FileTimeToSystemTime(&data.ftLastWriteTime, &t);
    const unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::printf("file %llu %04u-%02u-%02u %02u:%02u:%02u\n", size, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
}

}  // namespace

int main() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    std::string line;
    char chunk[4096];
    while (std::fgets(chunk, sizeof chunk, stdin)) {
        line += chunk;
        if (line.back() != '\n' && !std::feof(stdin)) continue;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        Describe(FromUtf8(line));
        line.clear();
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
