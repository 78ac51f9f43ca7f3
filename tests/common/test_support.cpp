#include "common/test_support.h"

#include <shlwapi.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "system/file_ops.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/sys_misc.h"

namespace tidemark::test {
namespace {

std::wstring UniqueName(const wchar_t* stem) {
    static std::atomic<unsigned> counter{0};
    return std::wstring(stem) + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(counter++);
}

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, buffer);
    std::wstring path = buffer;
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

UniqueHandle InheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return UniqueHandle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

// This process's environment with the "NAME=value" entries of extra (separated by '\n') set.
std::vector<wchar_t> EnvironmentWith(const std::wstring& extra) {
    std::vector<std::wstring> entries;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1) entries.emplace_back(p);
        FreeEnvironmentStringsW(block);
    }
    std::size_t start = 0;
    while (start < extra.size()) {
        std::size_t end = extra.find(L'\n', start);
        if (end == std::wstring::npos) end = extra.size();
        const std::wstring entry = extra.substr(start, end - start);
        const std::wstring name = entry.substr(0, entry.find(L'=') + 1);
        std::erase_if(entries, [&](const std::wstring& e) {
            return _wcsnicmp(e.c_str(), name.c_str(), name.size()) == 0;
        });
        if (!entry.empty()) entries.push_back(entry);
        start = end + 1;
    }
    std::vector<wchar_t> block;
    for (const auto& e : entries) {
        block.insert(block.end(), e.begin(), e.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

}  // namespace

ScratchDir::ScratchDir() : path_(TempFolder() + L"\\" + UniqueName(L"tm-test-")) {
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() {
    if (!RemoveFolderTree(path_)) ShellDeletePath(path_);
}

ScratchKey::ScratchKey() : path_(L"Software\\TidemarkTests\\" + UniqueName(L"key-")) {
    UniqueHKey key;
    RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    key.put(), nullptr);
}

ScratchKey::~ScratchKey() { SHDeleteKeyW(HKEY_CURRENT_USER, path_.c_str()); }

bool MakeDirs(const std::wstring& path) {
    const std::wstring full = ExtendedPath(path);
    if (GetFileAttributesW(full.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const auto slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2 && !MakeDirs(path.substr(0, slash))) return false;
    return CreateDirectoryW(full.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteFileText(const std::wstring& path, const std::string& bytes, DWORD attributes) {
    const auto slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && !MakeDirs(path.substr(0, slash))) return false;
    const std::wstring full = ExtendedPath(path);
    UniqueHandle file(CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    if (!bytes.empty() && !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return false;
    file.reset();
    return attributes == 0 || SetFileAttributesW(full.c_str(), attributes);
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(ExtendedPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ExeDir() {
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::wstring path = buffer;
    return path.substr(0, path.find_last_of(L'\\'));
}

bool ChildProcess::Start(const std::wstring& commandLine, const std::wstring& extraEnvironment) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(L'\0');
    std::vector<wchar_t> env = EnvironmentWith(extraEnvironment);
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        env.data(), nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    id_ = pi.dwProcessId;
    return true;
}

ChildProcess::~ChildProcess() {
    if (!process_) return;
    if (Running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool ChildProcess::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool ChildProcess::WaitExit(DWORD timeoutMs) {
    return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const {
    DWORD code = 0xFFFFFFFF;
    if (process_) GetExitCodeProcess(process_, &code);
    return code;
}

std::vector<HWND> WindowsOfClass(const wchar_t* className, DWORD processId) {
    struct Search {
        const wchar_t* className;
        DWORD processId;
        std::vector<HWND> found;
    } search{className, processId, {}};
    struct Visit {
        static BOOL CALLBACK Window(HWND hwnd, LPARAM lp) {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t name[128] = {};
            GetClassNameW(hwnd, name, 128);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (wcscmp(name, s->className) == 0 && (s->processId == 0 || pid == s->processId))
                s->found.push_back(hwnd);
            return TRUE;
        }
    };
    EnumWindows(Visit::Window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

ProcessResult RunProcess(const std::wstring& commandLine, const std::wstring& extraEnvironment) {
    ScratchDir capture;
    const std::wstring outPath = capture / L"out.txt", errPath = capture / L"err.txt";
    ProcessResult result;
    {
        UniqueHandle out = InheritableFile(outPath), err = InheritableFile(errPath);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = out.get();
        si.hStdError = err.get();
        PROCESS_INFORMATION pi{};
        std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
        cmd.push_back(L'\0');
        std::vector<wchar_t> env = EnvironmentWith(extraEnvironment);
        if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE,
                            CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, env.data(), nullptr, &si, &pi))
            return result;
        UniqueHandle process(pi.hProcess), thread(pi.hThread);
        WaitForSingleObject(process.get(), 120000);
        GetExitCodeProcess(process.get(), &result.exitCode);
    }
    result.out = ReadFileBytes(outPath);
    result.err = ReadFileBytes(errPath);
    return result;
}

std::vector<LoggedRecord> ReadUsageLog(const std::wstring& path) {
    std::vector<LoggedRecord> entries;
    const std::string bytes = ReadFileBytes(path);
    for (std::size_t at = 0; at + 84 <= bytes.size(); at += 84) {
        LoggedRecord entry;
        std::memcpy(&entry.type, bytes.data() + at, 4);
        entry.record.assign(bytes.begin() + at + 4, bytes.begin() + at + 84);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::wstring LoggedRecord::Code() const {
    std::wstring code;
    for (std::size_t i = 44; i + 1 < 76 && (record[i] || record[i + 1]); i += 2)
        code.push_back(static_cast<wchar_t>(record[i] | (record[i + 1] << 8)));
    return code;
}

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    return text;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

ScopedAdminRights::ScopedAdminRights(bool has)
    : previous_(SetAdminRightsQuery(has ? +[] { return true; } : +[] { return false; })) {}

ScopedAdminRights::~ScopedAdminRights() { SetAdminRightsQuery(previous_); }

UniqueHKey OpenKeyForReadingOnly(HKEY root, const std::wstring& path, REGSAM access, LONG* error) {
    const REGSAM changes = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE | WRITE_DAC | WRITE_OWNER;
    if (access & changes) {
        if (error) *error = ERROR_ACCESS_DENIED;
        return UniqueHKey();
    }
    return OpenRegKey(root, path, access, error);
}

bool RefuseKeyRemoval(HKEY, const std::wstring&) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

}  // namespace tidemark::test
