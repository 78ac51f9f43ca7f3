// The definition set the program carries: every "V" resource, deciphered with its own key,
// read as a definition script and built into an object, in the order of the resource table.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/clean_obj.h"
#include "engine/definition_script.h"

namespace tidemark {

class TSoftObj;

// Why a load ended: the resource that could not be read, or the script line that stopped it.
struct DefinitionLoadError {
    std::wstring Resource;  // "V12"
    std::optional<DefinitionScriptError> Script;  // none: the resource itself could not be read
};

// Names of the "V" resources of module, in the order of its resource table.
std::vector<std::wstring> DefinitionResourceNames(HMODULE module);

// Builds one object of cls from each "V" resource of module (null: the program itself) and
// appends it to target; after each one, routine (when given) completes it. The first resource
// that cannot be read or built ends the load: the error says which, target keeps what was built.
// A routine that an unexpected error ended answers why; routineFailures (when given) gets
// "<resource>: <why>" for each, and the load goes on.
using BuiltInRoutine = std::optional<std::wstring> (*)(TCleanObj& object);
std::optional<DefinitionLoadError> LoadDefinitions(HMODULE module, const CleanClass& cls,
                                                   std::vector<std::unique_ptr<TCleanObj>>& target,
                                                   CleanHost& host = DefaultCleanHost(),
                                                   BuiltInRoutine routine = nullptr,
                                                   std::vector<Failure>* routineFailures = nullptr);

// The loaded set, owning its definitions; includes are resolved within it.
class DefinitionSet {
public:
    // Nothing when the load failed (error tells why); no half-loaded set is ever kept.
    static std::unique_ptr<DefinitionSet> Load(HMODULE module, CleanHost& host, DefinitionLoadError* error);

    const std::vector<std::unique_ptr<TCleanObj>>& Items() const { return items_; }
    TSoftObj* Definition(std::size_t index) const;
    std::size_t Count() const { return items_.size(); }
    // The definition with that id other than asking (first in load order); null when no
    // definition of the set has it.
    TSoftObj* FindById(const TSoftObj* asking, std::int32_t id) const;
    // The built-in routines an unexpected error ended while the set loaded ("V12: why").
    const std::vector<Failure>& RoutineFailures() const { return routineFailures_; }

private:
    std::vector<std::unique_ptr<TCleanObj>> items_;
    std::vector<Failure> routineFailures_;
};

}  // namespace tidemark
