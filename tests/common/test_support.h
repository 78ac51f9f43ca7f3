// Helpers every test executable shares: scratch folders and registry keys that clean up after
// themselves, file fixtures, and running another program with its output captured.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "system/handles.h"

namespace tidemark::test {

// A fresh folder under the temporary folder, removed with everything in it at scope end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// A fresh key under HKEY_CURRENT_USER\Software\TidemarkTests, deleted at scope end.
class ScratchKey {
public:
    ScratchKey();
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    HKEY root() const { return HKEY_CURRENT_USER; }
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Writes bytes to a new file (folders on the way are created); returns false on failure.
bool WriteFileText(const std::wstring& path, const std::string& bytes, DWORD attributes = 0);
bool MakeDirs(const std::wstring& path);
bool PathExists(const std::wstring& path);

// The folder of the running test executable, without a trailing backslash.
std::wstring ExeDir();

// A program started without waiting for it; ended (killed) at scope end if still running.
class ChildProcess {
public:
    // extraEnvironment: "NAME=value" entries separated by '\n', added to this process's own.
    bool Start(const std::wstring& commandLine, const std::wstring& extraEnvironment = L"");
    ~ChildProcess();
    bool Running() const;
    // Waits for the end; false when it is still running after timeoutMs.
    bool WaitExit(DWORD timeoutMs);
    DWORD ExitCode() const;
    DWORD Id() const { return id_; }

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Top-level windows of a class (of one process when processId is not 0).
std::vector<HWND> WindowsOfClass(const wchar_t* className, DWORD processId = 0);

struct ProcessResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;  // standard output, as bytes
    std::string err;  // standard error, as bytes
};
// Runs a command line and waits for it; extraEnvironment ("NAME=value" entries) is added to a
// copy of this process's environment.
ProcessResult RunProcess(const std::wstring& commandLine,
                         const std::wstring& extraEnvironment = L"");

// What the fixture logging library recorded: per call the type and the 80 record bytes.
struct LoggedRecord {
    std::uint32_t type = 0;
    std::vector<unsigned char> record;
    std::wstring Code() const;  // the event code field
};
std::vector<LoggedRecord> ReadUsageLog(const std::wstring& path);

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& text);

// While it lives the process has administrator rights or not, as told (under Wine it always
// has them); the system's answer comes back at scope end.
class ScopedAdminRights {
public:
    explicit ScopedAdminRights(bool has);
    ~ScopedAdminRights();
    ScopedAdminRights(const ScopedAdminRights&) = delete;
    ScopedAdminRights& operator=(const ScopedAdminRights&) = delete;

private:
    bool (*previous_)();
};

// An opener that opens keys for reading only, and a key removal that never removes: the
// answers of a system that refuses every change, as it does a program without administrator
// rights under HKEY_LOCAL_MACHINE (Wine ignores key security).
UniqueHKey OpenKeyForReadingOnly(HKEY root, const std::wstring& path, REGSAM access, LONG* error);
bool RefuseKeyRemoval(HKEY root, const std::wstring& key);

}  // namespace tidemark::test
