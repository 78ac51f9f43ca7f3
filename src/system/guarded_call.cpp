#include "system/guarded_call.h"

#include <windows.h>

// The frame is laid out by hand: an x86 exception registration for the product, and a function
// with its own unwind data and language handler for the 64-bit test build.
#if defined(__i386__)

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

#elif defined(__x86_64__)

// On x64 the handler is named in the guard's unwind data (.seh_handler) rather than pushed on a
// chain; rsp after the guard's prologue is the establisher frame the handler receives. The
// handler unwinds the callee's frames (RtlUnwindEx runs their termination handlers and cuts
// the dispatch back to us) and continues at TmGuardFaulted, still inside our frame. As on x86
// the guard keeps its own copies of what the callee must preserve: the callee-saved registers
// (pushed in the prologue, popped by the one epilogue), MXCSR and the x87 control word, so a
// callee that broke the calling convention before faulting leaves nothing behind.
// Frame: rsp+0 home space for the callee, +32 faultCode, +40 MXCSR, +44 x87 control word.
extern "C" {

extern char TmGuardFaulted[];

__attribute__((used)) EXCEPTION_DISPOSITION TmGuardHandler(EXCEPTION_RECORD* record, void* frame,
                                                           CONTEXT*, DISPATCHER_CONTEXT* dispatch) {
    constexpr DWORD kNotForUs = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND | EXCEPTION_NESTED_CALL;
    if (record->ExceptionFlags & kNotForUs) return ExceptionContinueSearch;
    auto* faultCode = *reinterpret_cast<unsigned long**>(static_cast<char*>(frame) + 32);
    if (faultCode) *faultCode = record->ExceptionCode;
    RtlUnwindEx(frame, TmGuardFaulted, record, nullptr, dispatch->ContextRecord, dispatch->HistoryTable);
    return ExceptionContinueSearch;  // not reached: the unwind continues at TmGuardFaulted
}

int TmGuardEnter(tidemark::GuardedFunction, void*, unsigned long*);

__asm__(
    ".text\n\t"
    ".globl TmGuardEnter\n\t"
    ".def TmGuardEnter; .scl 2; .type 32; .endef\n\t"
    ".seh_proc TmGuardEnter\n"
    "TmGuardEnter:\n\t"
    "pushq %rbp\n\t.seh_pushreg %rbp\n\t"
    "pushq %rbx\n\t.seh_pushreg %rbx\n\t"
    "pushq %rsi\n\t.seh_pushreg %rsi\n\t"
    "pushq %rdi\n\t.seh_pushreg %rdi\n\t"
    "pushq %r12\n\t.seh_pushreg %r12\n\t"
    "pushq %r13\n\t.seh_pushreg %r13\n\t"
    "pushq %r14\n\t.seh_pushreg %r14\n\t"
    "pushq %r15\n\t.seh_pushreg %r15\n\t"
    "subq $56, %rsp\n\t"
    ".seh_stackalloc 56\n\t"
    ".seh_endprologue\n\t"
    ".seh_handler TmGuardHandler, @except\n\t"
    "movq %r8, 32(%rsp)\n\t"
    "stmxcsr 40(%rsp)\n\t"
    "fnstcw 44(%rsp)\n\t"
    "movq %rcx, %rax\n\t"
    "movq %rdx, %rcx\n\t"
    "callq *%rax\n\t"
    "nop\n\t"
    "movl $1, %eax\n"
    "TmGuardLeave:\n\t"
    "addq $56, %rsp\n\t"
    "popq %r15\n\tpopq %r14\n\tpopq %r13\n\tpopq %r12\n\t"
    "popq %rdi\n\tpopq %rsi\n\tpopq %rbx\n\tpopq %rbp\n\t"
    "ret\n\t"
    ".globl TmGuardFaulted\n"
    "TmGuardFaulted:\n\t"
    "cld\n\t"
    "fninit\n\t"
    "fldcw 44(%rsp)\n\t"
    "ldmxcsr 40(%rsp)\n\t"
    "xorl %eax, %eax\n\t"
    "jmp TmGuardLeave\n\t"
    ".seh_endproc\n\t");

}  // extern "C"

#else
#error "the guard is written for x86 and x64"
#endif

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
