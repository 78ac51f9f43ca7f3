#include "registry/judge_path.h"

namespace tidemark {

namespace {

constexpr wchar_t kNameCutters[] = L"\\/:*?\"<>|";
constexpr wchar_t kUndecidable[] = L";,# ";

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

int JudgePath(const std::wstring& text, PathProbe& probe) {
    const std::size_t colon = text.find(L":\\");
    if (colon == std::wstring::npos) return PathUndecided;
    if (probe.Probe(text) == PathState::File) return PathExists;

    // A second drive path inside the text (not counting its last character): two paths, or a
    // launcher with a path argument; we cannot tell which one matters.
    const std::size_t afterRoot = colon + 2;
    if (text.size() > afterRoot + 1 &&
        text.substr(afterRoot, text.size() - 1 - afterRoot).find(L":\\") != std::wstring::npos)
        return PathUndecided;
    if (text.find(L'.') == std::wstring::npos) return PathUndecided;
    if (text.find(L"?:\\") != std::wstring::npos) return PathUndecided;

    // Only a letter names a drive; anything else before the colon is never a file we can find.
    if (colon == 0 || !IsDriveLetter(text[colon - 1])) return PathUndecided;
    if (colon >= 2) {
        // Quoted: "X:\dir\file.exe" args
        if (text[colon - 2] != L'"') return PathUndecided;
        // From the drive letter to the end: the closing quote may be the text's last character.
        const std::wstring quoted = text.substr(colon - 1);
        const std::size_t close = quoted.find(L'"');
        if (close == std::wstring::npos) return PathUndecided;
        if (quoted.find(L"\\\\") != std::wstring::npos) return PathUndecided;
        switch (probe.Probe(quoted.substr(0, close))) {
            case PathState::File:
            case PathState::Folder: return PathExists;
            case PathState::Missing: return PathMissing;
            case PathState::Unknown: return PathUndecided;
        }
        return PathUndecided;
    }
    if (colon == 1) {
        // Plain: X:\dir\file.ext, with whatever a name cannot hold cut off.
        const std::size_t slash = text.rfind(L'\\');
        const std::wstring folder = text.substr(0, slash + 1);
        std::wstring name = text.substr(slash + 1);
        if (name.empty() || name.find(L'.') == std::wstring::npos) return PathUndecided;
        for (const wchar_t* c = kNameCutters; *c; ++c) {
            const std::size_t at = name.find(*c);
            if (at != std::wstring::npos) name.erase(at);
        }
        if (name.empty()) return PathUndecided;
        if (name.find_first_of(kUndecidable) != std::wstring::npos) return PathUndecided;
        switch (probe.Probe(folder + name)) {
            case PathState::File: return PathExists;
            case PathState::Missing: return PathMissing;
            case PathState::Folder:
            case PathState::Unknown: return PathUndecided;
        }
        return PathUndecided;
    }
    return PathUndecided;
}

}  // namespace tidemark
