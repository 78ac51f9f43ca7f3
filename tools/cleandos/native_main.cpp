// cleandos.exe: started by the session manager early in the boot (native subsystem, no Win32)
// from the boot-execute entry "cleandos <checksum>". Works through the list in the system
// folder and prints one line per action on the boot screen.
#include "cleandos/cleandos_core.h"
#include "cleandos/cleandos_nt.h"

// No C runtime is linked: the compiler may still emit calls to these two.
extern "C" void* memset(void* target, int value, size_t size) {
    auto* bytes = static_cast<volatile unsigned char*>(target);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(value);
    return target;
}

extern "C" void* memcpy(void* target, const void* source, size_t size) {
    auto* to = static_cast<volatile unsigned char*>(target);
    const auto* from = static_cast<const unsigned char*>(source);
    for (size_t i = 0; i < size; ++i) to[i] = from[i];
    return target;
}

namespace {

class ScreenOutput final : public tidemark::cleandos::BootOutput {
public:
    void Line(const wchar_t* text) override {
        Show(text);
        Show(L"\n");
    }

private:
    static void Show(const wchar_t* text) {
        unsigned n = 0;
        while (text[n] && n < 32767) ++n;
        UNICODE_STRING s;
        s.Length = static_cast<USHORT>(n * sizeof(wchar_t));
        s.MaximumLength = s.Length;
        s.Buffer = const_cast<PWSTR>(text);
        NtDisplayString(&s);
    }
};

// The system folder in NT form. "\SystemRoot" is the boot-time name; a system without that
// link (Wine) still has the Windows folder in the shared user data page.
const wchar_t* SystemFolder(wchar_t* buffer, unsigned capacity) {
    static const wchar_t kBootName[] = L"\\SystemRoot\\system32";
    UNICODE_STRING name;
    name.Length = sizeof(kBootName) - sizeof(wchar_t);
    name.MaximumLength = sizeof(kBootName);
    name.Buffer = const_cast<PWSTR>(kBootName);
    OBJECT_ATTRIBUTES attributes;
    attributes.Length = sizeof(attributes);
    attributes.RootDirectory = nullptr;
    attributes.ObjectName = &name;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;
    attributes.SecurityDescriptor = nullptr;
    attributes.SecurityQualityOfService = nullptr;
    IO_STATUS_BLOCK io;
    HANDLE folder = nullptr;
    if (NT_SUCCESS(NtOpenFile(&folder, FILE_LIST_DIRECTORY | SYNCHRONIZE, &attributes, &io,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT))) {
        NtClose(folder);
        return kBootName;
    }
    // KUSER_SHARED_DATA.NtSystemRoot: "C:\windows", at the same address in every process.
    const auto* root = reinterpret_cast<const volatile wchar_t*>(0x7FFE0030);
    static const wchar_t kPrefix[] = L"\\??\\";
    static const wchar_t kSuffix[] = L"\\system32";
    unsigned n = 0;
    for (unsigned i = 0; kPrefix[i]; ++i) buffer[n++] = kPrefix[i];
    for (unsigned i = 0; i < 260 && root[i] && n + 16 < capacity; ++i) buffer[n++] = root[i];
    if (n == 4) return kBootName;
    for (unsigned i = 0; kSuffix[i]; ++i) buffer[n++] = kSuffix[i];
    buffer[n] = 0;
    return buffer;
}

}  // namespace

extern "C" void NTAPI NtProcessStartup(PPEB peb) {
    wchar_t argument[32];
    bool given = false;
    if (peb && peb->ProcessParameters) {
        const UNICODE_STRING& line = peb->ProcessParameters->CommandLine;
        given = tidemark::cleandos::BootArgumentFromCommandLine(
            line.Buffer, line.Length / sizeof(wchar_t), argument, sizeof(argument) / sizeof(argument[0]));
    }
    ScreenOutput out;
    wchar_t folder[300];
    const tidemark::cleandos::BootListSummary summary = tidemark::cleandos::RunBootList(
        SystemFolder(folder, sizeof(folder) / sizeof(folder[0])), given ? argument : nullptr, out);
    // The session manager only logs the exit status; a failure must not stop the boot.
    NtTerminateProcess(reinterpret_cast<HANDLE>(-1), summary.failed ? 1 : 0);
}
