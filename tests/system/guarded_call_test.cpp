#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/guarded_call.h"

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

namespace tidemark {
namespace {

// The compiler cannot see through these, so the faults below are real instructions, not traps it
// substituted for undefined behaviour.
int* volatile g_null = nullptr;
volatile int g_zero = 0;

// The thread's innermost exception registration.
void* ChainHead() {
    void* head = nullptr;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void WriteThroughNull(void*) noexcept { *g_null = 1; }
void DivideByZero(void* out) noexcept { *static_cast<int*>(out) = 100 / g_zero; }
void RaiseSoftware(void*) noexcept { RaiseException(0xE0001234, 0, 0, nullptr); }
void RaiseNoncontinuable(void*) noexcept { RaiseException(0xE0005678, EXCEPTION_NONCONTINUABLE, 0, nullptr); }
void Breakpoint(void*) noexcept { __asm__ volatile("int3"); }
void IllegalInstruction(void*) noexcept { __asm__ volatile("ud2"); }
void Returns(void* out) noexcept { *static_cast<int*>(out) = 42; }

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
}

// ---- the state a faulting callee leaves behind ----


unsigned short X87ControlWord() {
    unsigned short word = 0;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

TEST(CallGuarded, CallerStateSurvivesACalleeThatScribbledOverIt) {
    const unsigned short controlWord = X87ControlWord();
    EXPECT_EQ(RegistersAcrossAFault(), 0xF);
    unsigned long flags = 0;
    __asm__ volatile("pushfl\n\tpopl %0" : "=r"(flags));
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
struct Registration {
    Registration* next;
    void* handler;
};
std::vector<DWORD> g_calleeFrameFlags;

extern "C" EXCEPTION_DISPOSITION __cdecl CalleeFrameHandler(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
    g_calleeFrameFlags.push_back(record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND));
    return ExceptionContinueSearch;
}

void CalleeWithOwnFrame(void*) noexcept {
    Registration own{static_cast<Registration*>(ChainHead()), reinterpret_cast<void*>(CalleeFrameHandler)};
    __asm__ volatile("movl %0, %%fs:0" : : "r"(&own) : "memory");
    *g_null = 1;
    __asm__ volatile("movl %0, %%fs:0" : : "r"(own.next) : "memory");
}

TEST(CallGuarded, TheCalleesOwnFramesAreUnwound) {
    g_calleeFrameFlags.clear();
    void* const chain = ChainHead();
    EXPECT_FALSE(CallGuarded(CalleeWithOwnFrame, nullptr));
    EXPECT_EQ(ChainHead(), chain);
    EXPECT_EQ(g_calleeFrameFlags, (std::vector<DWORD>{0, EXCEPTION_UNWINDING}));
}

}  // namespace
}  // namespace tidemark
