#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/guarded_call.h"

#if defined(__i386__)
// ---- a callee that leaves a mess, and a caller that holds values in every callee-saved register ----

extern "C" {
unsigned long g_messyCode = 0;
int g_messyResult = -1;

// Scribbles over every callee-saved register, sets the direction flag, fills the x87 stack and
// switches it to single precision, then faults.
__attribute__((naked)) void __cdecl MessyFault(void*) noexcept {
    __asm__(
        "movl $0xBAD0BAD0, %ebx\n\t"
        "movl %ebx, %esi\n\t"
        "movl %ebx, %edi\n\t"
        "movl %ebx, %ebp\n\t"
        "std\n\t"
        "fld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\t"
        "pushl $0x007F\n\t"
        "fldcw (%esp)\n\t"
        "xorl %eax, %eax\n\t"
        "movl %eax, (%eax)\n\t");
}

__attribute__((used, noinline)) void __cdecl GuardMessyFault() {
    g_messyResult = tidemark::CallGuarded(MessyFault, nullptr, &g_messyCode) ? 1 : 0;
}

// Holds known values in ebx, esi, edi and ebp across GuardMessyFault; one bit per register that
// came back unchanged.
__attribute__((naked)) int __cdecl RegistersAcrossAFault() {
    __asm__(
        "pushl %ebp\n\tpushl %ebx\n\tpushl %esi\n\tpushl %edi\n\t"
        "movl $0x11111111, %ebx\n\t"
        "movl $0x22222222, %esi\n\t"
        "movl $0x33333333, %edi\n\t"
        "movl $0x44444444, %ebp\n\t"
        "call _GuardMessyFault\n\t"
        "xorl %eax, %eax\n\t"
        "cmpl $0x11111111, %ebx\n\tjne 1f\n\torl $1, %eax\n"
        "1:\n\tcmpl $0x22222222, %esi\n\tjne 2f\n\torl $2, %eax\n"
        "2:\n\tcmpl $0x33333333, %edi\n\tjne 3f\n\torl $4, %eax\n"
        "3:\n\tcmpl $0x44444444, %ebp\n\tjne 4f\n\torl $8, %eax\n"
        "4:\n\tpopl %edi\n\tpopl %esi\n\tpopl %ebx\n\tpopl %ebp\n\tret\n\t");
}
}  // extern "C"
#elif defined(__x86_64__)
extern "C" {
unsigned long g_messyCode = 0;
int g_messyResult = -1;

// Scribbles over every callee-saved register, sets the direction flag, switches the x87 unit to
// single precision and MXCSR to round-to-zero, then faults. It has no unwind data, so the
// system unwinds it as a leaf: nothing it clobbered is restored by the unwind.
__attribute__((naked)) void MessyFault(void*) noexcept {
    __asm__(
        "movq $0xBAD0BAD0, %rbx\n\t"
        "movq %rbx, %rsi\n\tmovq %rbx, %rdi\n\tmovq %rbx, %rbp\n\t"
        "movq %rbx, %r12\n\tmovq %rbx, %r13\n\tmovq %rbx, %r14\n\tmovq %rbx, %r15\n\t"
        "std\n\t"
        "fld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\t"
        "movl $0x007F, -8(%rsp)\n\t"
        "fldcw -8(%rsp)\n\t"
        "movl $0x7F80, -8(%rsp)\n\t"
        "ldmxcsr -8(%rsp)\n\t"
        "xorl %eax, %eax\n\t"
        "movl %eax, (%rax)\n\t");
}

__attribute__((used, noinline)) void GuardMessyFault() {
    g_messyResult = tidemark::CallGuarded(MessyFault, nullptr, &g_messyCode) ? 1 : 0;
}

// Holds known values in rbx, rsi, rdi, rbp and r12-r15 across GuardMessyFault; one bit per
// register that came back unchanged.
__attribute__((naked)) int RegistersAcrossAFault() {
    __asm__(
        "pushq %rbp\n\tpushq %rbx\n\tpushq %rsi\n\tpushq %rdi\n\t"
        "pushq %r12\n\tpushq %r13\n\tpushq %r14\n\tpushq %r15\n\t"
        "subq $40, %rsp\n\t"
        "movq $0x11111111, %rbx\n\tmovq $0x22222222, %rsi\n\t"
        "movq $0x33333333, %rdi\n\tmovq $0x44444444, %rbp\n\t"
        "movq $0x55555555, %r12\n\tmovq $0x66666666, %r13\n\t"
        "movq $0x77777777, %r14\n\tmovq $0x08888888, %r15\n\t"
        "call GuardMessyFault\n\t"
        "xorl %eax, %eax\n\t"
        "cmpq $0x11111111, %rbx\n\tjne 1f\n\torl $1, %eax\n"
        "1:\n\tcmpq $0x22222222, %rsi\n\tjne 2f\n\torl $2, %eax\n"
        "2:\n\tcmpq $0x33333333, %rdi\n\tjne 3f\n\torl $4, %eax\n"
        "3:\n\tcmpq $0x44444444, %rbp\n\tjne 4f\n\torl $8, %eax\n"
        "4:\n\tcmpq $0x55555555, %r12\n\tjne 5f\n\torl $16, %eax\n"
        "5:\n\tcmpq $0x66666666, %r13\n\tjne 6f\n\torl $32, %eax\n"
        "6:\n\tcmpq $0x77777777, %r14\n\tjne 7f\n\torl $64, %eax\n"
        "7:\n\tcmpq $0x08888888, %r15\n\tjne 8f\n\torl $128, %eax\n"
        "8:\n\taddq $40, %rsp\n\t"
        "popq %r15\n\tpopq %r14\n\tpopq %r13\n\tpopq %r12\n\t"
        "popq %rdi\n\tpopq %rsi\n\tpopq %rbx\n\tpopq %rbp\n\tret\n\t");
}

// A callee with unwind data and a handler of its own, as a library built with __try/__finally
// has: it sees the fault first, declines it, and is then told of the unwind.
EXCEPTION_DISPOSITION CalleeFrameHandler(EXCEPTION_RECORD* record, void*, CONTEXT*, void*);
void CalleeWithOwnFrame(void*) noexcept;
__asm__(
    ".text\n\t"
    ".globl CalleeWithOwnFrame\n\t"
    ".def CalleeWithOwnFrame; .scl 2; .type 32; .endef\n\t"
    ".seh_proc CalleeWithOwnFrame\n"
    "CalleeWithOwnFrame:\n\t"
    "subq $40, %rsp\n\t"
    ".seh_stackalloc 40\n\t"
    ".seh_endprologue\n\t"
    ".seh_handler CalleeFrameHandler, @except, @unwind\n\t"
    "xorl %eax, %eax\n\t"
    "movl %eax, (%rax)\n\t"
    "nop\n\t"
    "addq $40, %rsp\n\t"
    "ret\n\t"
    ".seh_endproc\n\t");
}  // extern "C"
#endif

namespace tidemark {
namespace {

// The compiler cannot see through these, so the faults below are real instructions, not traps it
// substituted for undefined behaviour.
int* volatile g_null = nullptr;
volatile int g_zero = 0;

// The thread's innermost exception registration.
void* ChainHead() {
    void* head = nullptr;
#if defined(__i386__)
    __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
#endif
    return head;  // x64 keeps no chain: its handlers live in the unwind data
}

void WriteThroughNull(void*) noexcept { *g_null = 1; }
void DivideByZero(void* out) noexcept { *static_cast<int*>(out) = 100 / g_zero; }
void RaiseSoftware(void*) noexcept { RaiseException(0xE0001234, 0, 0, nullptr); }
void RaiseNoncontinuable(void*) noexcept { RaiseException(0xE0005678, EXCEPTION_NONCONTINUABLE, 0, nullptr); }
void Breakpoint(void*) noexcept { __asm__ volatile("int3"); }
void IllegalInstruction(void*) noexcept { __asm__ volatile("ud2"); }
void Returns(void* out) noexcept { *static_cast<int*>(out) = 42; }
// Not noexcept and not inlined: the lambda that calls it gets C++ unwind data of its own, as the
// guard's real callers (a foreign library's entry called from a lambda) do.
__attribute__((noinline)) void FaultBehindACall() { *g_null = 2; }

TEST(CallGuarded, FaultsEndTheCallAndTheThreadGoesOn) {
    const struct {
        const char* name;
        GuardedFunction fn;
        unsigned long code;
    } cases[] = {
        {"write through null", WriteThroughNull, EXCEPTION_ACCESS_VIOLATION},
        {"integer division by zero", DivideByZero, EXCEPTION_INT_DIVIDE_BY_ZERO},
        {"software exception", RaiseSoftware, 0xE0001234},
        {"non-continuable software exception", RaiseNoncontinuable, 0xE0005678},
        {"breakpoint", Breakpoint, EXCEPTION_BREAKPOINT},
        {"illegal instruction", IllegalInstruction, EXCEPTION_ILLEGAL_INSTRUCTION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        void* const chain = ChainHead();
        int out = 0;
        unsigned long code = 0;
        EXPECT_FALSE(CallGuarded(c.fn, &out, &code));
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(ChainHead(), chain);  // our registration is gone, nothing else was cut
        // The same again: a guard is not spent by a fault.
        EXPECT_FALSE(CallGuarded(c.fn, &out));
    }
    int out = 0;
    unsigned long code = 7;
    EXPECT_TRUE(CallGuarded(Returns, &out, &code));
    EXPECT_EQ(out, 42);
    EXPECT_EQ(code, 0u);

    std::wstring text;
    EXPECT_TRUE(CallGuarded([&] { text = L"called"; }));
    EXPECT_EQ(text, L"called");
    code = 0;
    EXPECT_FALSE(CallGuarded([&] { FaultBehindACall(); }, &code));
    EXPECT_EQ(code, static_cast<unsigned long>(EXCEPTION_ACCESS_VIOLATION));
}

// ---- the state a faulting callee leaves behind ----


unsigned short X87ControlWord() {
    unsigned short word = 0;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

TEST(CallGuarded, CallerStateSurvivesACalleeThatScribbledOverIt) {
    const unsigned short controlWord = X87ControlWord();
#if defined(__i386__)
    EXPECT_EQ(RegistersAcrossAFault(), 0xF);
    unsigned long flags = 0;
    __asm__ volatile("pushfl\n\tpopl %0" : "=r"(flags));
#else
    unsigned int mxcsr = 0;
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
    EXPECT_EQ(RegistersAcrossAFault(), 0xFF);
    unsigned int mxcsrAfter = 0;
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsrAfter));
    EXPECT_EQ(mxcsrAfter, mxcsr);
    unsigned long long flags = 0;
    __asm__ volatile("pushfq\n\tpopq %0" : "=r"(flags));
#endif
    EXPECT_EQ(flags & 0x400, 0u) << "direction flag left set";
    EXPECT_EQ(g_messyResult, 0);
    EXPECT_EQ(g_messyCode, static_cast<unsigned long>(EXCEPTION_ACCESS_VIOLATION));
    EXPECT_EQ(X87ControlWord(), controlWord);
    // With the x87 stack still full this would load a NaN.
    volatile double a = 1.25;
    volatile double b = a * a + 0.1;
    EXPECT_EQ(b, 1.25 * 1.25 + 0.1);
}

// ---- nesting and the callee's own exception frames ----

struct NestedRun {
    bool innerResult = true;
    unsigned long innerCode = 0;
    bool faultAfterInner = false;
    bool reachedEnd = false;
};

void OuterCallee(void* context) noexcept {
    auto* run = static_cast<NestedRun*>(context);
    run->innerResult = CallGuarded(WriteThroughNull, nullptr, &run->innerCode);
    if (run->faultAfterInner) RaiseSoftware(nullptr);
    run->reachedEnd = true;
}

TEST(CallGuarded, GuardsNest) {
    void* const chain = ChainHead();
    for (const bool faultAfterInner : {false, true}) {
        SCOPED_TRACE(faultAfterInner ? "the outer callee faults after the inner fault" : "only the inner faults");
        NestedRun run;
        run.faultAfterInner = faultAfterInner;
        unsigned long outerCode = 0;
        EXPECT_EQ(CallGuarded(OuterCallee, &run, &outerCode), !faultAfterInner);
        EXPECT_FALSE(run.innerResult);
        EXPECT_EQ(run.innerCode, static_cast<unsigned long>(EXCEPTION_ACCESS_VIOLATION));
        EXPECT_EQ(run.reachedEnd, !faultAfterInner);
        EXPECT_EQ(outerCode, faultAfterInner ? 0xE0001234ul : 0ul);
        EXPECT_EQ(ChainHead(), chain);
    }
}

// A callee with an exception frame of its own, as a library built with __try/__finally has:
// it sees the fault first, declines it, and is then told of the unwind (its __finally runs).
std::vector<DWORD> g_calleeFrameFlags;

}  // namespace
}  // namespace tidemark

extern "C" EXCEPTION_DISPOSITION __cdecl CalleeFrameHandler(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
    tidemark::g_calleeFrameFlags.push_back(record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND));
    return ExceptionContinueSearch;
}

namespace tidemark {
namespace {

#if defined(__i386__)
struct Registration {
    Registration* next;
    void* handler;
};

void CalleeWithOwnFrame(void*) noexcept {
    Registration own{static_cast<Registration*>(ChainHead()), reinterpret_cast<void*>(CalleeFrameHandler)};
    __asm__ volatile("movl %0, %%fs:0" : : "r"(&own) : "memory");
    *g_null = 1;
    __asm__ volatile("movl %0, %%fs:0" : : "r"(own.next) : "memory");
}
#endif

TEST(CallGuarded, TheCalleesOwnFramesAreUnwound) {
    g_calleeFrameFlags.clear();
    void* const chain = ChainHead();
    EXPECT_FALSE(CallGuarded(CalleeWithOwnFrame, nullptr));
    EXPECT_EQ(ChainHead(), chain);
    EXPECT_EQ(g_calleeFrameFlags, (std::vector<DWORD>{0, EXCEPTION_UNWINDING}));
}

}  // namespace
}  // namespace tidemark
