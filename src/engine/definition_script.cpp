#include "engine/definition_script.h"

#include <algorithm>
#include <limits>

namespace tidemark {
namespace {

enum class Match : std::uint8_t { Exact, Prefix };

enum class Effect : std::uint8_t {
    Id, Name, Main, Hint, CancelShutdown, SafeMode, KillExplorer, Include, Entry, HostsFix, NotifyFix,
};

struct KeyRule {
    std::wstring_view word;
    Match match;
    Effect effect;
    std::vector<ScriptEntry> DefinitionScript::*list = nullptr;  // for Effect::Entry
};

// Tried top to bottom, first match wins: that is what makes "filelist" a file line and
// "regkeyfile1" a KeyFiles line rather than a RegKeys one.
constexpr KeyRule kKeyRules[] = {
    {L"id", Match::Exact, Effect::Id},
    {L"name", Match::Exact, Effect::Name},
    {L"main", Match::Exact, Effect::Main},
    {L"hint", Match::Exact, Effect::Hint},
    {L"cancelshutdown", Match::Exact, Effect::CancelShutdown},
    {L"safemode", Match::Exact, Effect::SafeMode},
    {L"killexplorer", Match::Exact, Effect::KillExplorer},
    {L"include", Match::Exact, Effect::Include},
    {L"srv", Match::Prefix, Effect::Entry, &DefinitionScript::Services},
    {L"file", Match::Prefix, Effect::Entry, &DefinitionScript::Files},
    {L"folder", Match::Prefix, Effect::Entry, &DefinitionScript::Folders},
    {L"regkeyfile", Match::Prefix, Effect::Entry, &DefinitionScript::KeyFiles},
    {L"regkey", Match::Prefix, Effect::Entry, &DefinitionScript::RegKeys},
    {L"regvalue", Match::Prefix, Effect::Entry, &DefinitionScript::RegValues},
    {L"chkfile", Match::Prefix, Effect::Entry, &DefinitionScript::CheckFiles},
    {L"chkkey", Match::Prefix, Effect::Entry, &DefinitionScript::CheckKeys},
    {L"chkvalue", Match::Prefix, Effect::Entry, &DefinitionScript::CheckValues},
    {L"chktext", Match::Prefix, Effect::Entry, &DefinitionScript::CheckTexts},
    {L"fixhosts", Match::Exact, Effect::HostsFix},
    {L"fixnotify", Match::Exact, Effect::NotifyFix},
};

bool IsNumeric(Effect effect) {
    return effect == Effect::Id || effect == Effect::CancelShutdown || effect == Effect::SafeMode ||
           effect == Effect::KillExplorer || effect == Effect::Include;
}

// wchar_t is signed on some native builds: compare code units as unsigned so that nothing
// outside 0..32 counts as blank.
bool IsBlank(wchar_t c) { return static_cast<std::uint32_t>(c) <= 32; }

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

const KeyRule* FindRule(std::wstring_view key) {
    for (const KeyRule& rule : kKeyRules) {
        if (rule.match == Match::Exact ? key == rule.word : key.starts_with(rule.word)) return &rule;
    }
    return nullptr;
}

// Decimal digits with an optional sign, within 32 bits; nothing else (no blanks inside, no hex).
std::optional<std::int32_t> ParseInt32(std::wstring_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == L'+' || text.front() == L'-')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + (c - L'0');
        if (value > limit) return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

bool EqualsAsciiNoCase(std::wstring_view text, std::wstring_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (AsciiLower(text[i]) != lower[i]) return false;
    }
    return true;
}

}  // namespace

DefinitionScriptRead ReadDefinitionScript(const std::vector<std::wstring>& lines, ScriptFixRequests& fixes) {
    DefinitionScriptRead read;
    DefinitionScript& script = read.Script;
    ScriptFixRequests asked;
    std::wstring key;

    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::wstring_view line = Trim(lines[index]);
        if (line.empty() || line.front() == L'[') continue;
        const std::size_t equals = line.find(L'=');
        if (equals == std::wstring_view::npos) continue;

        const std::wstring_view rawKey = Trim(line.substr(0, equals));
        const std::wstring_view value = Trim(line.substr(equals + 1));
        if (rawKey.empty() || value.empty()) continue;
        key.assign(rawKey);
        std::transform(key.begin(), key.end(), key.begin(), AsciiLower);

        const KeyRule* rule = FindRule(key);
        if (!rule) continue;

        std::int32_t number = 0;
        if (IsNumeric(rule->effect)) {
            const auto parsed = ParseInt32(value);
            if (!parsed) {
                read.Error = DefinitionScriptError{index + 1, std::wstring(line)};
                return read;
            }
            number = *parsed;
        }

        switch (rule->effect) {
            case Effect::Id: script.Id = number; break;
            case Effect::Name: script.Name = value; break;
            case Effect::Main: script.Main = value; break;
            case Effect::Hint: script.Hint = value; break;
            case Effect::CancelShutdown: script.CancelShutdown = number != 0; break;
            case Effect::SafeMode: script.SafeMode = number != 0; break;
            case Effect::KillExplorer: script.KillExplorer = number != 0; break;
            case Effect::Include: script.Includes.push_back(number); break;
            case Effect::Entry: (script.*(rule->list)).push_back({std::wstring(value), index + 1}); break;
            case Effect::HostsFix: if (value == L"1") asked.HostsFixWanted = true; break;
            case Effect::NotifyFix: if (value == L"1") asked.NotifyFixWanted = true; break;
        }
    }

    OrderFilesByKind(script.Files);
    fixes.HostsFixWanted = fixes.HostsFixWanted || asked.HostsFixWanted;
    fixes.NotifyFixWanted = fixes.NotifyFixWanted || asked.NotifyFixWanted;
    return read;
}

int FileOrderGroup(std::wstring_view path) {
    const std::size_t at = path.find_last_of(L".\\/:");
    if (at == std::wstring_view::npos || path[at] != L'.') return 2;
    const std::wstring_view extension = path.substr(at);
    if (EqualsAsciiNoCase(extension, L".exe")) return 0;
    if (EqualsAsciiNoCase(extension, L".dll")) return 1;
    return 2;
}

void OrderFilesByKind(std::vector<ScriptEntry>& files) {
    std::stable_sort(files.begin(), files.end(), [](const ScriptEntry& a, const ScriptEntry& b) {
        return FileOrderGroup(a.Text) < FileOrderGroup(b.Text);
    });
}

std::wstring_view CheckTextValuePath(std::wstring_view text) {
    // The first and last characters never split: a value path cannot be empty, and a comma
    // at the end leaves nothing after it to drop.
    for (std::size_t i = text.size() >= 2 ? text.size() - 2 : 0; i >= 1; --i) {
        if (text[i] == L',') return text.substr(0, i);
    }
    return text;
}

}  // namespace tidemark
