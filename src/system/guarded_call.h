// Calls into libraries we do not build (the maker's logging and identity libraries, the
// registry-jump helper), so that a fault inside one costs that call and nothing more.
//
// 32-bit MinGW g++ has no __try/__except, so the guard builds the frame those would: a few lines
// of assembly push an x86 exception registration (next, handler) onto the thread's chain at
// fs:[0] and call fn(context). An exception the callee leaves unhandled reaches our handler
// before anything of ours further out. The handler runs the global unwind (RtlUnwind: the
// callee's own __finally blocks run and the chain is cut back to our registration), then resumes
// in the guard's epilogue with the stack pointer and callee-saved registers it saved on entry,
// an empty x87 stack and the caller's x87 control word; the registration is unlinked and the
// guard returns false. Nothing here needs more than Windows 95 / NT 4, and Wine dispatches the
// same chain. The chain is per thread, so any thread may guard. Exceptions raised outside a
// guarded call never reach the handler; nor do unwind notices, nor a fault inside the callee's
// own clean-up while we unwind it (that one goes on to the process's handlers, as without us).
// GNU ld writes no SafeSEH table, so the system accepts a handler anywhere in our code.
//
// What callers must keep to:
// - fn is noexcept: a C++ exception must not meet the assembly frame, which has no unwind
//   tables (and a C++ unwind through it would leave fs:[0] pointing into a dead frame).
// - Between fn's start and the foreign call, hold nothing with a destructor or a lock: after a
//   fault nothing of ours in between is unwound. Call the foreign function and return.
// - A fault leaves the foreign library as it was at the fault; whatever it held and did not
//   release in its own __finally stays held.
// - A stack overflow is caught too, but the stack's guard page is not re-armed: a second
//   overflow on that thread ends the process.
#pragma once

#include <windows.h>

#include <string>
#include <type_traits>

#include "system/handles.h"

namespace tidemark {

using GuardedFunction = void (*)(void* context) noexcept;

// Calls fn(context). True when it returned; false when an exception escaped it (faultCode, when
// given, receives the exception code, e.g. EXCEPTION_ACCESS_VIOLATION). Nests.
bool CallGuarded(GuardedFunction fn, void* context, unsigned long* faultCode = nullptr);

// The same for a callable without arguments, e.g. [&] { result = entry(argument); }.
template <typename Callable>
bool CallGuarded(Callable&& call, unsigned long* faultCode = nullptr) {
    using Target = std::remove_reference_t<Callable>;
    return CallGuarded([](void* context) noexcept { (*static_cast<Target*>(context))(); },
                       const_cast<void*>(static_cast<const void*>(&call)), faultCode);
}

// Loading and unloading run the library's DllMain, so both are guarded as well (the system's
// loader catches most DllMain faults itself; the guard covers the rest). Null when the library
// cannot be loaded or faulted while loading.
HMODULE LoadForeignLibrary(const std::wstring& path, DWORD flags = 0);
void FreeForeignLibrary(HMODULE module);

struct ForeignLibraryTraits {
    using Handle = HMODULE;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { FreeForeignLibrary(h); }
};
using UniqueForeignLibrary = UniqueResource<ForeignLibraryTraits>;

// An export of a foreign library as a function pointer of type Function (null when missing).
template <typename Function>
Function ForeignExport(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace tidemark
