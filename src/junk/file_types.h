// File-type rules: the 39 built-in junk types and the user's own, how a type becomes a rule,
// how a file name is matched, and which matches are never listed.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace tidemark {

struct BuiltInType {
    const wchar_t* type;   // as stored and shown
    int textId;            // the description in the language tables
    wchar_t recommended;   // '0' on, '1' off
    wchar_t initial;       // the state a fresh profile stores
};
extern const std::array<BuiltInType, 39> BuiltInTypeTable;

// An extension rule: the name part is exactly "*" and the extension has no wildcard; key is
// the extension with its dot, ASCII letters upper-cased (".TMP"). Everything else is a pattern
// rule, kept as typed.
struct TypeClass {
    bool extension = false;
    std::wstring key;  // extension rules only
};
TypeClass ClassifyType(const std::wstring& type);

struct JunkRuleSet {
    std::vector<std::wstring> patterns;
    std::vector<std::wstring> patternDescriptions;
    std::vector<std::wstring> extensions;  // keys
    std::vector<std::wstring> extensionDescriptions;
};

// The general rule set from "FileExt" and "FileExtEnabled", descriptions in the language of
// langId: built-in rows by their state characters (recommended for any other character), user
// types only when the state string is exactly 39 + their count long and their state is "0".
JunkRuleSet BuildJunkRuleSet(unsigned langId);
// The same from given stored texts.
JunkRuleSet BuildJunkRuleSetFrom(const std::wstring& fileExt, const std::wstring& fileExtEnabled, unsigned langId);

// The upper-cased extension of a name, from its last "." (empty without one).
std::wstring UpperExtension(const std::wstring& name);
bool MatchExtensionRule(const std::wstring& key, const std::wstring& fileName);
// A pattern rule against a name as the system's file search would match it (shortName: the
// 8.3 alias, when the file has one), plus the checks that the "~" types need.
bool MatchPatternRule(const std::wstring& pattern, const std::wstring& longName, const std::wstring& shortName);

// A match that must never be listed (upper-cased comparisons). For an extension rule the rule
// text is "*" followed by the key.
bool IsVetoedMatch(const std::wstring& folder, const std::wstring& fileName, const std::wstring& ruleText);
// The same on the upper-cased name and rule text, the folder given as two facts: it is not a
// drive root (its path holds two or more "\"), and its path holds "\PREFETCH".
bool IsVetoedUpper(bool belowDriveRoot, bool inPrefetch, const std::wstring& upperName, const std::wstring& upperRule);

// A type text the user may add: trimmed of blanks, holding a "." and no "/" (the list separator).
bool IsAcceptableUserType(const std::wstring& trimmedType);
std::wstring TrimmedType(const std::wstring& text);

}  // namespace tidemark
