#include "removal/removal_guard.h"

#include <cwctype>

namespace tidemark {

const char* TargetVerdictName(TargetVerdict verdict) {
    switch (verdict) {
        case TargetVerdict::Allowed: return "allowed";
        case TargetVerdict::NotFullPath: return "not a full path";
        case TargetVerdict::DriveRoot: return "a drive root";
        case TargetVerdict::ProtectedFolder: return "a protected folder";
        case TargetVerdict::HoldsProtectedFolder: return "a folder holding a protected folder";
        case TargetVerdict::SystemFile: return "a file of the system";
        case TargetVerdict::BroadWildcard: return "a wildcard over a protected folder";
        case TargetVerdict::ThroughReparsePoint: return "reached through a link";
    }
    return "?";
}

namespace {

wchar_t Folded(wchar_t c) {
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
    if (c < 0x80) return c;
    return static_cast<wchar_t>(std::towupper(c));
}

bool IsWildcard(wchar_t c) { return c == L'*' || c == L'?'; }

// Steps of a comparable path below its root: "C:\A\B" gives {"A", "B"}; the root is the part
// before the first step ("C:" or "\\SERVER\SHARE").
struct SplitPath {
    std::wstring Root;
    std::vector<std::wstring_view> Steps;
    bool Valid = false;
};

SplitPath Split(const std::wstring& path) {
    SplitPath split;
    std::size_t rest = 0;
    if (path.size() >= 2 && path[1] == L':' && ((path[0] >= L'A' && path[0] <= L'Z'))) {
        if (path.size() > 2 && path[2] != L'\\') return split;  // "C:x" is relative to a drive
        split.Root = path.substr(0, 2);
        rest = 2;
    } else if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\') {
        const std::size_t server = path.find(L'\\', 2);
        if (server == std::wstring::npos || server == 2) return split;
        const std::size_t share = path.find(L'\\', server + 1);
        if (share == server + 1) return split;
        rest = share == std::wstring::npos ? path.size() : share;
        split.Root = path.substr(0, rest);
    } else {
        return split;
    }
    while (rest < path.size()) {
        const std::size_t start = rest + 1;
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring_view step(path.data() + start, end - start);
        if (step.empty() || step == L"." || step == L"..") return split;
        split.Steps.push_back(step);
        rest = end;
    }
    split.Valid = true;
    return split;
}

// a is b or lies below it (both comparable).
bool IsAtOrBelow(const std::wstring& a, const std::wstring& b) {
    if (a.size() < b.size() || a.compare(0, b.size(), b) != 0) return false;
    return a.size() == b.size() || a[b.size()] == L'\\';
}

}  // namespace

namespace {

std::wstring ComparableOnce(std::wstring_view path) {
    std::wstring text;
    text.reserve(path.size());
    std::size_t i = 0;
    if (path.substr(0, 4) == L"\\\\?\\" || path.substr(0, 4) == L"//?/") {
        i = 4;
        if (path.size() >= 8 && Folded(path[4]) == L'U' && Folded(path[5]) == L'N' && Folded(path[6]) == L'C' &&
            (path[7] == L'\\' || path[7] == L'/')) {
            text = L"\\";  // \\?\UNC\server\share is \\server\share
            i = 7;
        }
    }
    bool leading = true;
    for (; i < path.size(); ++i) {
        wchar_t c = path[i] == L'/' ? L'\\' : path[i];
        if (c == L'\\' && !text.empty() && text.back() == L'\\' && !(leading && text.size() == 1)) continue;
        if (c != L'\\') leading = false;
        text.push_back(Folded(c));
    }
    while (text.size() > 1 && text.back() == L'\\' && !(text.size() == 2 && text[0] == L'\\')) text.pop_back();
    return text;
}

}  // namespace

std::wstring ComparablePath(std::wstring_view path) {
    // Every step only folds or shortens, so this ends; a prefix uncovered by one step
    // ("\\?\UNC\\?\...") is dealt with by the next.
    std::wstring text = ComparableOnce(path);
    for (std::wstring next = ComparableOnce(text); next != text; next = ComparableOnce(text)) text = std::move(next);
    return text;
}

void ProtectedPlaces::AddFolder(std::wstring_view folder) {
    std::wstring text = ComparablePath(folder);
    if (!text.empty()) folders_.push_back(std::move(text));
}

void ProtectedPlaces::AddTree(std::wstring_view folder) {
    std::wstring text = ComparablePath(folder);
    if (text.empty()) return;
    folders_.push_back(text);
    trees_.push_back(std::move(text));
}

void ProtectedPlaces::AddSystemFile(std::wstring_view file) {
    std::wstring text = ComparablePath(file);
    if (!text.empty()) systemFiles_.insert(std::move(text));
}

bool ProtectedPlaces::IsSystemFile(std::wstring_view path) const {
    return systemFiles_.count(ComparablePath(path)) != 0;
}

namespace {

// What both judgements share, on a path already in its comparable form.
TargetVerdict JudgePlace(const std::wstring& text, const ProtectedPlaces& places) {
    for (wchar_t c : text) {
        if (c < 32 || IsWildcard(c)) return TargetVerdict::NotFullPath;
    }
    const SplitPath split = Split(text);
    if (!split.Valid) return TargetVerdict::NotFullPath;
    if (split.Steps.empty()) return TargetVerdict::DriveRoot;
    for (const std::wstring& guarded : places.Folders()) {
        if (text == guarded) return TargetVerdict::ProtectedFolder;
        if (IsAtOrBelow(guarded, text)) return TargetVerdict::HoldsProtectedFolder;
    }
    return TargetVerdict::Allowed;
}

}  // namespace

TargetVerdict JudgeFolderTarget(std::wstring_view folder, const ProtectedPlaces& places) {
    const std::wstring text = ComparablePath(folder);
    const TargetVerdict verdict = JudgePlace(text, places);
    if (verdict != TargetVerdict::Allowed) return verdict;
    for (const std::wstring& tree : places.Trees()) {
        if (IsAtOrBelow(text, tree)) return TargetVerdict::ProtectedFolder;
    }
    return TargetVerdict::Allowed;
}

TargetVerdict JudgeFileTarget(std::wstring_view file, const ProtectedPlaces& places) {
    const std::wstring text = ComparablePath(file);
    const TargetVerdict verdict = JudgePlace(text, places);
    if (verdict != TargetVerdict::Allowed) return verdict;
    if (places.IsSystemFile(text)) return TargetVerdict::SystemFile;
    return TargetVerdict::Allowed;
}

TargetVerdict JudgeWildcardTarget(std::wstring_view pattern, const ProtectedPlaces& places) {
    const std::wstring text = ComparablePath(pattern);
    const std::size_t slash = text.find_last_of(L'\\');
    if (slash == std::wstring::npos) return TargetVerdict::NotFullPath;
    const std::wstring base = text.substr(0, slash);
    for (wchar_t c : base) {
        if (IsWildcard(c)) return TargetVerdict::NotFullPath;  // only the last step may hold one
    }
    const TargetVerdict verdict = JudgeFolderTarget(base.size() == 2 ? base + L"\\" : base, places);
    if (verdict == TargetVerdict::ProtectedFolder || verdict == TargetVerdict::DriveRoot ||
        verdict == TargetVerdict::HoldsProtectedFolder) {
        return TargetVerdict::BroadWildcard;
    }
    return verdict;
}

}  // namespace tidemark
