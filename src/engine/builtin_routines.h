// The built-in routines: some rogue programs carry random or version-dependent names that no
// definition script can spell, so the definitions with these ids are completed when they load
// by a routine that looks at the machine and adds the entries it finds.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/clean_obj.h"

namespace tidemark {

struct TWinInfo;

// What the process layer knows of a loaded driver's threads. Names are the driver's file name
// in lower case ("abcdefgh.sys"). The default finds nothing and suspends nothing, as on the 9x
// family.
struct DriverThreads {
    // Whether System threads run inside that driver now. Asked at load; suspends nothing.
    std::function<bool(const std::wstring& driverName)> Find;
    // Suspends the System threads that started inside [base, base + size) of that driver's own
    // module entry; true when any was. Only called when the user cleans the definition.
    std::function<bool(const std::wstring& driverName)> Suspend;
};
DriverThreads NoDriverThreads();

// The places the routines read and add, computed once per run from the system facts; tests
// build their own.
struct RoutineContext {
    std::wstring Drive;      // the Windows drive letter, upper case, no colon
    std::wstring Win;        // the Windows folder, lower case, with "\"
    std::wstring Sys;        // the system folder, with "\"
    std::wstring WinSys;     // the Windows folder + "\system\"
    std::wstring WinSys32;   // the Windows folder + "\system32\"
    std::wstring CommonApp;  // all users' application data (9x: the user's), no "\" at the end
    DriverThreads Threads = NoDriverThreads();
};
RoutineContext BuildRoutineContext(const TWinInfo& info);

// Replaces the process layer's driver threads (the default) for the routines of this process;
// install before the definitions load: a definition keeps what it was loaded with.
void SetDriverThreads(DriverThreads threads);

// Runs the routine of the object's id, if it has one, with this process's context. Never
// throws: an unexpected error ends the routine, keeps what it added before and is answered
// (its reason); nothing when the routine ran to its end or there is none.
std::optional<std::wstring> RunBuiltInRoutine(TCleanObj& object);
std::optional<std::wstring> RunBuiltInRoutine(TCleanObj& object, const RoutineContext& context);
bool HasBuiltInRoutine(std::int32_t id);

// The server (InprocServer32) and local server (LocalServer32) of a class, lower case.
std::wstring ClassServer(const std::wstring& classId);
std::wstring ClassLocalServer(const std::wstring& classId);

// A path read from the registry or a file, as a routine may add it: a wholly quoted text loses
// its quotes; what remains must be a local, fully qualified path ("C:\...") to an existing
// regular file, with no wildcard, quote, argument, empty or "."/".." step. Anything else:
// nothing (the entry is not added, so the program reports it as not found).
std::optional<std::wstring> QualifiedExistingFile(const std::wstring& text);
// The same for an existing folder (a trailing "\" allowed).
std::optional<std::wstring> QualifiedExistingFolder(const std::wstring& text);

// The program a service image path starts, without its arguments: the quoted part of a quoted
// text, else the shortest prefix ending at a blank (or the whole text) that is an existing file.
// Empty when none is.
std::wstring ProgramOfImagePath(const std::wstring& imagePath);

}  // namespace tidemark
