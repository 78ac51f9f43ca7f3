// Fuzz entry point for the definition-script reader: the bytes are a script, split into lines
// at CR LF, LF and CR, each byte taken as one character.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/definition_script.h"

using namespace tidemark;

namespace {

// What holds whatever the script says; a breach is a fault of the reader.
void CheckRead(const DefinitionScriptRead& read, std::size_t lineCount, const ScriptFixRequests& before,
               const ScriptFixRequests& after) {
    if (!read.Ok()) {
        if (read.Error->Line == 0 || read.Error->Line > lineCount) __builtin_trap();
        if (after.HostsFixWanted != before.HostsFixWanted || after.NotifyFixWanted != before.NotifyFixWanted)
            __builtin_trap();
        return;
    }
    if ((before.HostsFixWanted && !after.HostsFixWanted) || (before.NotifyFixWanted && !after.NotifyFixWanted))
        __builtin_trap();
    int previous = 0;
    for (const ScriptEntry& file : read.Script.Files) {
        const int group = FileOrderGroup(file.Text);
        if (group < previous || file.Line == 0 || file.Line > lineCount || file.Text.empty()) __builtin_trap();
        previous = group;
    }
    for (const ScriptEntry& text : read.Script.CheckTexts) {
        const std::wstring_view path = CheckTextValuePath(text.Text);
        if (path.empty() || path.size() > text.Text.size() || text.Text.compare(0, path.size(), path) != 0)
            __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> lines(1);
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        if (byte == '\r' || byte == '\n') {
            if (byte == '\r' && i + 1 < size && data[i + 1] == '\n') ++i;
            lines.emplace_back();
        } else {
            lines.back().push_back(static_cast<wchar_t>(byte));
        }
    }
    ScriptFixRequests fixes;
    fixes.NotifyFixWanted = size % 2 == 1;  // a flag already set must survive any script
    const ScriptFixRequests before = fixes;
    const DefinitionScriptRead read = ReadDefinitionScript(lines, fixes);
    CheckRead(read, lines.size(), before, fixes);
    return 0;
}
