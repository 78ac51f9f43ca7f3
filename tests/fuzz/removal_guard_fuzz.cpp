// Fuzz entry point for the removal guard: the bytes are lines, each byte one character; every
// line but the last is a protected folder (lines starting with "!" a system file), the last one
// is the path judged as a folder, a file and a wildcard.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "removal/removal_guard.h"

using namespace tidemark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> lines(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            lines.emplace_back();
        } else {
            lines.back().push_back(static_cast<wchar_t>(data[i]));
        }
    }
    ProtectedPlaces places;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].empty() && lines[i][0] == L'!') {
            places.AddSystemFile(lines[i].substr(1));
        } else {
            places.AddFolder(lines[i]);
        }
    }
    const std::wstring& path = lines.back();
    const std::wstring comparable = ComparablePath(path);
    // Judging a path or its comparable form is the same judgement.
    if (ComparablePath(comparable) != comparable) __builtin_trap();
    const TargetVerdict folder = JudgeFolderTarget(path, places);
    if (JudgeFolderTarget(comparable, places) != folder) __builtin_trap();
    const TargetVerdict file = JudgeFileTarget(path, places);
    // Whatever is allowed is no protected folder and holds none.
    if (folder == TargetVerdict::Allowed || file == TargetVerdict::Allowed) {
        for (const std::wstring& guarded : places.Folders()) {
            if (guarded == comparable) __builtin_trap();
            if (guarded.size() > comparable.size() && guarded.compare(0, comparable.size(), comparable) == 0 &&
                guarded[comparable.size()] == L'\\')
                __builtin_trap();
        }
    }
    if (file == TargetVerdict::Allowed && places.IsSystemFile(path)) __builtin_trap();
    (void)JudgeWildcardTarget(path, places);
    return 0;
}
