#include "cli/console.h"

#include <windows.h>

#include <vector>

namespace tidemark::cli {
namespace {

constexpr std::size_t kOutputChunk = 64 * 1024;

bool IsConsole(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

void WriteTo(DWORD which, const std::string& utf8) {
    HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || utf8.empty()) return;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        // A console shows wide text whatever its code page.
        const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                          nullptr, 0);
        std::vector<wchar_t> wide(n > 0 ? n : 1);
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(n), &written, nullptr);
        return;
    }
    const char* data = utf8.data();
    DWORD left = static_cast<DWORD>(utf8.size());
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, data, left, &written, nullptr) || written == 0) return;
        data += written;
        left -= written;
    }
}

}  // namespace

StdOutput::~StdOutput() { Flush(); }

void StdOutput::Out(const std::string& utf8) {
    if (outIsConsole_ < 0) outIsConsole_ = IsConsole(STD_OUTPUT_HANDLE) ? 1 : 0;
    if (outIsConsole_ == 1) {
        WriteTo(STD_OUTPUT_HANDLE, utf8);
        return;
    }
    pending_ += utf8;
    if (pending_.size() >= kOutputChunk) Flush();
}

void StdOutput::Err(const std::string& utf8) {
    Flush();
    WriteTo(STD_ERROR_HANDLE, utf8);
}

void StdOutput::Flush() {
    if (pending_.empty()) return;
    WriteTo(STD_OUTPUT_HANDLE, pending_);
    pending_.clear();
}

}  // namespace tidemark::cli
