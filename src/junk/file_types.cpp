#include "junk/file_types.h"

#include "junk/wildcard.h"
#include "lang/text_tables.h"
#include "settings/settings_store.h"
#include "system/text_case.h"
#include "system/text_util.h"
#include "system/win_info.h"

namespace tidemark {

const std::array<BuiltInType, 39> BuiltInTypeTable = {{
    {L"*.~*", 10001, '0', '0'},         {L"*.---", 10002, '0', '0'},       {L"*.^*", 10003, '0', '0'},
    {L"*.??~", 10004, '0', '0'},        {L"*.??$", 10005, '0', '0'},       {L"*.tmp", 10006, '0', '0'},
    {L"*._mp", 10007, '0', '0'},        {L"*.%%%", 10008, '0', '0'},       {L"*.@@@", 10009, '0', '0'},
    {L"*.$$$", 10010, '0', '0'},        {L"mscreate.dir", 10011, '0', '0'}, {L"file0*.chk", 10012, '0', '0'},
    {L"checklist.m*", 10013, '0', '0'}, {L"file????._dd", 10014, '0', '0'}, {L"0???????.nch", 10015, '0', '0'},
    {L"*.gid", 10016, '0', '0'},        {L"*.fts", 10017, '0', '0'},       {L"*.ftg", 10018, '0', '0'},
    {L"*.old", 10019, '0', '0'},        {L"*.bak", 10020, '1', '0'},       {L"*.prv", 10021, '0', '0'},
    {L"*.wbk", 10022, '0', '0'},        {L"*.xlk", 10023, '0', '0'},       {L"*exe-*.pf", 10024, '0', '0'},
    {L"*.pch", 10025, '0', '0'},        {L"*.dmp", 10026, '1', '1'},       {L"*.diz", 10027, '1', '1'},
    {L"Thumbs.db", 10028, '1', '1'},    {L"*.err", 10029, '0', '0'},       {L"errorlog.txt", 10030, '0', '0'},
    {L"*.temp", 10031, '0', '0'},       {L"*.___", 10032, '0', '0'},       {L"*.~mp", 10033, '0', '0'},
    {L"*.?~?", 10034, '0', '0'},        {L"*.chk", 10035, '0', '0'},       {L"imagedb.aid", 10036, '0', '0'},
    {L"*.syd", 10037, '0', '0'},        {L"*.#Res", 10038, '0', '0'},      {L"*.cdr_", 10039, '0', '0'},
}};

namespace {

std::wstring AsciiUpper(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return text;
}

void AddRule(JunkRuleSet& set, const std::wstring& type, const std::wstring& description) {
    const TypeClass cls = ClassifyType(type);
    if (cls.extension) {
        set.extensions.push_back(cls.key);
        set.extensionDescriptions.push_back(description);
    } else {
        set.patterns.push_back(type);
        set.patternDescriptions.push_back(description);
    }
}

}  // namespace

TypeClass ClassifyType(const std::wstring& type) {
    const auto dot = type.rfind(L'.');
    const std::wstring name = dot == std::wstring::npos ? type : type.substr(0, dot);
    const std::wstring extension = dot == std::wstring::npos ? std::wstring() : type.substr(dot);
    TypeClass cls;
    if (name == L"*" && extension.find_first_of(L"*?") == std::wstring::npos) {
        cls.extension = true;
        cls.key = AsciiUpper(extension);
    }
    return cls;
}

JunkRuleSet BuildJunkRuleSetFrom(const std::wstring& fileExt, const std::wstring& fileExtEnabled, unsigned langId) {
    JunkRuleSet set;
    TextList entries;
    SplitToList(fileExt, entries, kTypeListSeparator);
    if (fileExtEnabled.size() >= kBuiltInTypeCount) {
        for (std::size_t i = 0; i < kBuiltInTypeCount; ++i) {
            const wchar_t c = fileExtEnabled[i];
            const bool enabled = c == L'0' || (c != L'1' && BuiltInTypeTable[i].recommended == L'0');
            if (enabled) AddRule(set, BuiltInTypeTable[i].type, GetUiText(BuiltInTypeTable[i].textId, langId));
        }
    }
    if (fileExtEnabled.size() == kBuiltInTypeCount + entries.size()) {
        const std::wstring userLabel = GetUiText(90002, langId);
        for (std::size_t j = 0; j < entries.size(); ++j)
            if (!entries[j].empty() && fileExtEnabled[kBuiltInTypeCount + j] == L'0') AddRule(set, entries[j], userLabel);
    }
    return set;
}

JunkRuleSet BuildJunkRuleSet(unsigned langId) {
    return BuildJunkRuleSetFrom(ReadSettingText(kFileExt), ReadSettingText(kFileExtEnabled), langId);
}

std::wstring UpperExtension(const std::wstring& name) {
    const auto dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : AsciiUpper(name.substr(dot));
}

bool MatchExtensionRule(const std::wstring& key, const std::wstring& fileName) {
    return UpperExtension(fileName) == key;
}

bool MatchPatternRule(const std::wstring& pattern, const std::wstring& longName, const std::wstring& shortName) {
    const WildcardDialect dialect = RunningUnderWine() ? WildcardDialect::Wine : WildcardDialect::Windows;
    if (!WildcardMatches(pattern, longName, shortName, dialect)) return false;
    // The search also matches through the 8.3 alias and lets "?" match nothing at the end;
    // these two types mean a "~" that is really there.
    if (pattern == L"*.??~") return !longName.empty() && longName.back() == L'~';
    if (pattern == L"*.~*") {
        const auto dot = longName.rfind(L'.');
        return dot != std::wstring::npos && longName.find(L'~', dot) != std::wstring::npos;
    }
    return true;
}

bool IsVetoedUpper(bool belowDriveRoot, bool inPrefetch, const std::wstring& name, const std::wstring& rule) {
    if (rule == L"FOUND*.CHK" && belowDriveRoot) return true;
    if (rule == L"*.PF" && !inPrefetch) return true;
    if (rule == L"*.LOG" && (name.find(L"UN") != std::wstring::npos || name.find(L"IN") != std::wstring::npos ||
                             name.find(L"SE") != std::wstring::npos))
        return true;
    static const wchar_t* const kProtected[] = {
        L".INF", L"DESKTOP.INI", L"QMGR.CAB", L"QMGR.INF", L"SAFESIGN_ICBC_PER.EXE", L"DATA.BAK",
        L"OPA12.BAK", L"DIALOGS.~TM", L".THEME", L".MSSTYLES", L".MANIFEST",
    };
    for (const wchar_t* fragment : kProtected)
        if (name.find(fragment) != std::wstring::npos) return true;
    return false;
}

bool IsVetoedMatch(const std::wstring& folder, const std::wstring& fileName, const std::wstring& ruleText) {
    const std::wstring path = UpperCased(folder);
    return IsVetoedUpper(CountChar(path, L'\\') >= 2, path.find(L"\\PREFETCH") != std::wstring::npos,
                         UpperCased(fileName), UpperCased(ruleText));
}

std::wstring TrimmedType(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

bool IsAcceptableUserType(const std::wstring& trimmedType) {
    return trimmedType.find(L'.') != std::wstring::npos && trimmedType.find(L'/') == std::wstring::npos;
}

}  // namespace tidemark
