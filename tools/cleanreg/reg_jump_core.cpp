#include "cleanreg/reg_jump_core.h"

#include <windows.h>

#include <cstring>

namespace tidemark::cleanreg {
namespace {

struct RootName {
    const char* shortName;
    const char* longName;
};

constexpr RootName kRoots[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE"}, {"HKCU", "HKEY_CURRENT_USER"},
    {"HKCR", "HKEY_CLASSES_ROOT"},  {"HKU", "HKEY_USERS"},
    {"HKCC", "HKEY_CURRENT_CONFIG"},
};

// Root names are ASCII; folding only ASCII letters keeps double-byte text from matching.
bool SameAsciiName(const std::string& text, const char* name) {
    if (text.size() != std::strlen(name)) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != name[i]) return false;
    }
    return true;
}

// Length of text cut to at most limit bytes without splitting a double-byte character. The
// walk starts at the beginning because a trail byte can look like a lead byte.
std::size_t CutLength(const char* text, std::size_t limit) {
    std::size_t length = 0;
    while (length < limit && text[length] != '\0') {
        const bool pair = IsDBCSLeadByte(static_cast<BYTE>(text[length])) && text[length + 1] != '\0';
        const std::size_t width = pair ? 2 : 1;
        if (length + width > limit) break;
        length += width;
    }
    return length;
}

}  // namespace

std::optional<std::string> RegJumpTarget(const char* text) {
    if (!text || text[0] == '\0') return std::nullopt;
    const std::string copy(text, CutLength(text, kMaxJumpText));
    const std::size_t slash = copy.find('\\');
    const std::string root = copy.substr(0, slash);
    const std::string rest = slash == std::string::npos ? std::string() : copy.substr(slash + 1);
    for (const RootName& r : kRoots) {
        if (SameAsciiName(root, r.shortName) || SameAsciiName(root, r.longName))
            return std::string(r.longName) + "\\" + rest;
    }
    return std::nullopt;
}

std::wstring AnsiToUtf16(const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), n);
    return wide;
}

std::vector<KeyStep> RegJumpKeySteps(const std::wstring& target) {
    std::vector<KeyStep> steps(kCollapsePresses, KeyStep{KeyStepKind::KeyDown, VK_LEFT});
    steps.push_back({KeyStepKind::KeyDown, VK_RIGHT});
    bool nameStart = true;
    for (const wchar_t unit : target) {
        if (unit == L'\\') {
            steps.push_back({KeyStepKind::KeyDown, VK_ADD});
            nameStart = true;
            continue;
        }
        if (nameStart) steps.push_back({KeyStepKind::Pause, kTypeAheadResetMs});
        nameStart = false;
        steps.push_back({KeyStepKind::Char, static_cast<unsigned>(unit)});
    }
    steps.push_back({KeyStepKind::KeyDown, VK_ADD});
    return steps;
}

}  // namespace tidemark::cleanreg
