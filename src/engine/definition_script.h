// Reading a definition script: the key=value text that says how to detect and remove one rogue
// program. The reader turns the script's lines into a plain record; building the object from it
// (folder macros, wildcard expansion, the trailing "\" of folders) is the object's business, so
// every text here is kept exactly as the script wrote it, trimmed.
//
// Pure text: no Windows headers, so it builds and can be fuzzed natively too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidemark {

// One entry of a list, with the script line it came from (1-based, counting every line handed
// in). File lines that hold a wildcard add folders when they are expanded, so the object needs
// the line to add the files and folders of a script in the order they were written.
struct ScriptEntry {
    std::wstring Text;
    std::size_t Line = 0;

    bool operator==(const ScriptEntry&) const = default;
};

// Everything one script sets, under the names of the object it becomes (TSoftObj).
struct DefinitionScript {
    std::int32_t Id = -1;
    std::wstring Name;
    std::wstring Main;  // kept, never used
    std::wstring Hint;  // kept, never used
    bool CancelShutdown = false;  // kept, never used
    bool SafeMode = false;
    bool KillExplorer = false;
    std::vector<std::int32_t> Includes;

    // Files comes ordered by OrderFilesByKind; every other list is in script order.
    std::vector<ScriptEntry> Files;
    std::vector<ScriptEntry> RegKeys;
    std::vector<ScriptEntry> RegValues;
    std::vector<ScriptEntry> Services;
    std::vector<ScriptEntry> Folders;
    std::vector<ScriptEntry> KeyFiles;
    std::vector<ScriptEntry> CheckFiles;
    std::vector<ScriptEntry> CheckKeys;
    std::vector<ScriptEntry> CheckValues;
    std::vector<ScriptEntry> CheckTexts;
};

// The two fixes a script can ask of the clean as a whole ("fixhosts=1", "fixnotify=1"). They
// are not the script's own: one instance belongs to whoever loads the definition set (there is
// one per process), every script read into it can only set them, and the plug-in scan clears
// them.
struct ScriptFixRequests {
    bool HostsFixWanted = false;
    bool NotifyFixWanted = false;
};

// A script the set cannot be loaded with: a numeric key ("id", "cancelshutdown", "safemode",
// "killexplorer", "include") whose value is not a decimal number that fits 32 bits. Such a
// script ends the loading of the whole definition set.
struct DefinitionScriptError {
    std::size_t Line = 0;  // 1-based, in the lines handed in
    std::wstring Text;     // that line, trimmed
};

struct DefinitionScriptRead {
    DefinitionScript Script;  // only meaningful without an error
    std::optional<DefinitionScriptError> Error;

    bool Ok() const { return !Error; }
};

// Reads a script already split into lines. The fix requests are updated only when the whole
// script reads, so a failed load leaves them as they were.
DefinitionScriptRead ReadDefinitionScript(const std::vector<std::wstring>& lines,
                                          ScriptFixRequests& fixes);

// Where a file goes in the Files order: 0 for ".exe", 1 for ".dll", 2 for anything else,
// judged by the extension of the last path component, in any letter case.
int FileOrderGroup(std::wstring_view path);

// ".exe" entries first, then ".dll", then the rest; each group keeps its order. The object
// applies it again once wildcard lines are expanded into the files they name.
void OrderFilesByKind(std::vector<ScriptEntry>& files);

// The registry value path a check text names: the text before its last comma, where a comma in
// the first or the last character does not count ("HKLM\Software\X\Run,evil" names the value
// Run). A text without such a comma names itself.
std::wstring_view CheckTextValuePath(std::wstring_view text);

}  // namespace tidemark
