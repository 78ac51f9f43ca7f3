// A rogue-software definition: the object a definition script becomes. It detects its program
// by the check entries and services the script names, and removes it with everything listed.
#pragma once

#include <functional>
#include <stdexcept>

#include "engine/clean_obj.h"
#include "engine/definition_script.h"

namespace tidemark {

// RunState of a definition.
enum SoftRunState : std::uint8_t {
    RunLoaded = 0, RunDetecting = 1, RunDetected = 2, RunCleaning = 3, RunCleaningIncludes = 4, RunCleaned = 5
};

// A script the definition set cannot be loaded with (a numeric key without a number).
class DefinitionScriptFailure : public std::runtime_error {
public:
    explicit DefinitionScriptFailure(DefinitionScriptError error)
        : std::runtime_error("definition script"), Error(std::move(error)) {}
    DefinitionScriptError Error;
};

// The fixes the loaded scripts ask of a clean ("fixhosts=1", "fixnotify=1"): one per process.
ScriptFixRequests& DefinitionFixRequests();

class TSoftObj : public TCleanObj {
public:
    explicit TSoftObj(CleanHost& host = DefaultCleanHost());
    // Built from the script's lines; throws DefinitionScriptFailure for a script the set cannot
    // be loaded with.
    TSoftObj(const std::vector<std::wstring>& script, CleanHost& host = DefaultCleanHost());

    static const CleanClass Class;

    std::wstring Hint;
    std::wstring Main;
    std::vector<std::int32_t> Includes;
    bool SafeMode = false;
    bool KillExplorer = false;
    bool CancelShutdown = false;
    std::uint8_t RunState = RunLoaded;
    // Resolves Includes; attached by whoever owns the whole set.
    std::function<TSoftObj*(const TSoftObj& sender, std::int32_t id)> FindById;
    // What a built-in routine found at load and must do only when the user cleans this
    // definition, just before its entries are removed (suspending a rogue driver's threads).
    std::function<void(TSoftObj& self)> BeforeRemoval;

    ItemList CheckFiles, CheckKeys, CheckValues, CheckTexts;

    std::uint8_t Check() override;
    bool Clean() override;
    int AddFile(const std::wstring& path) override;
    int AddCheckFile(const std::wstring& path) override;
    int AddCheckKey(const std::wstring& path) override;
    int AddCheckValue(const std::wstring& path) override;
    int AddCheckText(const std::wstring& text) override;
    bool CleanCheckFile(int index, bool recheck) override;
    bool CleanCheckValue(int index, bool recheck) override;
    int CheckCount() const override;

private:
    void Build(const DefinitionScript& script);
    // Check entries looked at, a registry path in both views counted once, and those found.
    struct Tally {
        int entries = 0;
        int found = 0;
    };
    void Examine(ItemList& list, ItemKind kind, bool (*exists)(const std::wstring&), Tally& tally);
};

// The status detection gives for found of total check entries: none found is "not found";
// with 20 or more entries, under 40 % found is "remnants"; otherwise "installed".
std::uint8_t StatusOfChecks(int found, int total);

}  // namespace tidemark
