#include "system/guarded_call.h"

#include <windows.h>

// The frame is laid out by hand, so this file is for 32-bit x86 only.
static_assert(sizeof(void*) == 4, "the guard builds an x86 exception registration");

namespace {

// What TmGuardEnter pushes, from fs:[0] upwards; TmGuardHandler receives its address.
struct GuardFrame {
    GuardFrame* next;
    void* handler;
    unsigned long* faultCode;
};

constexpr DWORD kNotForUs = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND | EXCEPTION_NESTED_CALL;

}  // namespace

extern "C" {

[[noreturn]] void __cdecl TmGuardUnwindAndResume(GuardFrame* frame, EXCEPTION_RECORD* record);

// The registration's handler (cdecl, as the system calls it). Unwind notices pass through; so
// does an exception raised while a handler of this dispatch runs (a fault in the callee's own
// clean-up during our unwind), which we could not unwind again. Every other exception the callee
// left unhandled ends the call.
__attribute__((used)) EXCEPTION_DISPOSITION __cdecl TmGuardHandler(EXCEPTION_RECORD* record, void* frame,
                                                                    CONTEXT*, void*) {
    if (record->ExceptionFlags & kNotForUs) return ExceptionContinueSearch;
    auto* guard = static_cast<GuardFrame*>(frame);
    if (guard->faultCode) *guard->faultCode = record->ExceptionCode;
    TmGuardUnwindAndResume(guard, record);
}

// int TmGuardEnter(fn, context, faultCode): 1 when fn returned, 0 after a fault.
// Stack below ebp: -4 ebx, -8 esi, -12 edi, -16 x87 control word, then the GuardFrame at -28.
__attribute__((naked, noinline, used)) int __cdecl TmGuardEnter(tidemark::GuardedFunction, void*, unsigned long*) {
    __asm__(
        "pushl %ebp\n\t"
        "movl %esp, %ebp\n\t"
        "pushl %ebx\n\t"
        "pushl %esi\n\t"
        "pushl %edi\n\t"
        "subl $4, %esp\n\t"
        "fnstcw (%esp)\n\t"
        "pushl 16(%ebp)\n\t"           // GuardFrame::faultCode
        "pushl $_TmGuardHandler\n\t"   // GuardFrame::handler
        "pushl %fs:0\n\t"              // GuardFrame::next
        "movl %esp, %fs:0\n\t"
        "pushl 12(%ebp)\n\t"
        "call *8(%ebp)\n\t"
        "movl $1, %eax\n"
        ".LTmGuardLeave:\n\t"
        "movl -28(%ebp), %ecx\n\t"
        "movl %ecx, %fs:0\n\t"
        "leal -12(%ebp), %esp\n\t"
        "popl %edi\n\t"
        "popl %esi\n\t"
        "popl %ebx\n\t"
        "popl %ebp\n\t"
        "ret\n"
        // After a fault: the callee may have left anything on the x87 stack or in the flags.
        ".LTmGuardFaulted:\n\t"
        "cld\n\t"
        "fninit\n\t"
        "fldcw -16(%ebp)\n\t"
        "xorl %eax, %eax\n\t"
        "jmp .LTmGuardLeave\n\t");
}

// Unwinds the callee's frames down to ours as compiled __except does, then continues at
// .LTmGuardFaulted with ebp rebuilt from the frame's address. RtlUnwind is not trusted with
// ebx/esi/edi/ebp, so the frame's address is read back from our argument on the stack.
__attribute__((naked, noinline, used)) void __cdecl TmGuardUnwindAndResume(GuardFrame*, EXCEPTION_RECORD*) {
    __asm__(
        "pushl $0\n\t"                 // ReturnValue
        "pushl 12(%esp)\n\t"           // ExceptionRecord
        "pushl $1f\n\t"                // TargetIp
        "pushl 16(%esp)\n\t"           // TargetFrame
        "call *__imp__RtlUnwind@16\n"
        "1:\n\t"
        "movl 4(%esp), %eax\n\t"
        "leal 28(%eax), %ebp\n\t"
        "jmp .LTmGuardFaulted\n\t");
}

}  // extern "C"

namespace tidemark {

bool CallGuarded(GuardedFunction fn, void* context, unsigned long* faultCode) {
    if (faultCode) *faultCode = 0;
    return TmGuardEnter(fn, context, faultCode) != 0;
}

HMODULE LoadForeignLibrary(const std::wstring& path, DWORD flags) {
    HMODULE module = nullptr;
    const wchar_t* file = path.c_str();
    if (!CallGuarded([&] { module = LoadLibraryExW(file, nullptr, flags); })) return nullptr;
    return module;
}

void FreeForeignLibrary(HMODULE module) {
    if (module) CallGuarded([module] { FreeLibrary(module); });
}

}  // namespace tidemark
