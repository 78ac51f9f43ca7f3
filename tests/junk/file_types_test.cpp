#include <gtest/gtest.h>

#include "common/test_support.h"
#include "junk/file_types.h"
#include "settings/settings_store.h"
#include "system/reg_ops.h"

namespace tidemark {
namespace {

constexpr unsigned kPrc = 2052;

TEST(FileTypes, Classification) {
    const struct { const wchar_t* type; bool extension; const wchar_t* key; } cases[] = {
        {L"*.tmp", true, L".TMP"},       {L"*.#Res", true, L".#RES"},   {L"*.---", true, L".---"},
        {L"*.%%%", true, L".%%%"},       {L"*.cdr_", true, L".CDR_"},   {L"Thumbs.db", false, L""},
        {L"*.??~", false, L""},          {L"*.~*", false, L""},         {L"file0*.chk", false, L""},
        {L"*exe-*.pf", false, L""},      {L"*.", true, L"."},           {L"a.b.*", false, L""},
        {L"*.中文", true, L".中文"},      {L"**.tmp", false, L""},
    };
    for (const auto& c : cases) {
        const TypeClass cls = ClassifyType(c.type);
        EXPECT_EQ(cls.extension, c.extension) << testing::PrintToString(std::wstring(c.type));
        EXPECT_EQ(cls.key, c.key) << testing::PrintToString(std::wstring(c.type));
    }
    // The table itself: 14 pattern rows, 25 extension rows, recommended differs only at *.bak.
    int patterns = 0;
    for (const BuiltInType& t : BuiltInTypeTable) patterns += !ClassifyType(t.type).extension;
    EXPECT_EQ(patterns, 14);
    for (std::size_t i = 0; i < BuiltInTypeTable.size(); ++i) {
        EXPECT_EQ(BuiltInTypeTable[i].initial, kDefaultTypeStates[i]) << i;
        EXPECT_EQ(BuiltInTypeTable[i].recommended == BuiltInTypeTable[i].initial, i != 19) << i;
    }
}

TEST(FileTypes, RuleSetFromStoredStates) {
    const std::wstring defaults = kDefaultTypeStates;
    struct Case {
        const char* what;
        std::wstring list, states;
        std::size_t patterns, extensions;
        std::vector<std::wstring> userRules;  // expected at the end of either list
    };
    std::wstring odd = defaults;
    odd[5] = L'x';   // *.tmp follows its recommended state: on
    odd[19] = L'?';  // *.bak follows its recommended state: off
    const Case cases[] = {
        {"fresh profile, nothing stored", L"", L"", 0, 0, {}},
        {"38 characters", L"", defaults.substr(0, 38), 0, 0, {}},
        {"defaults", L"", defaults, 13, 23, {}},
        {"all on", L"", std::wstring(39, L'0'), 14, 25, {}},
        {"unknown characters", L"", odd, 13, 22, {}},
        {"two user types, one off", L"*.abc/my*.x", defaults + L"01", 13, 24, {L".ABC"}},
        {"pattern user type", L"my*.x", defaults + L"0", 14, 23, {L"my*.x"}},
        {"pair out of step", L"*.abc/*.def", defaults + L"0", 13, 23, {}},
        {"empty entry skipped", L"*.abc/", defaults + L"00", 13, 24, {L".ABC"}},
        {"other state characters drop user types", L"*.abc", defaults + L"x", 13, 23, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const JunkRuleSet set = BuildJunkRuleSetFrom(c.list, c.states, kPrc);
        EXPECT_EQ(set.patterns.size(), c.patterns);
        EXPECT_EQ(set.extensions.size(), c.extensions);
        EXPECT_EQ(set.patterns.size(), set.patternDescriptions.size());
        EXPECT_EQ(set.extensions.size(), set.extensionDescriptions.size());
        for (const std::wstring& user : c.userRules) {
            const bool inPatterns = !set.patterns.empty() && set.patterns.back() == user;
            const bool inExtensions = !set.extensions.empty() && set.extensions.back() == user;
            EXPECT_TRUE(inPatterns || inExtensions) << testing::PrintToString(user);
            EXPECT_EQ(inPatterns ? set.patternDescriptions.back() : set.extensionDescriptions.back(), L"自定义");
        }
    }
    // Order and descriptions follow the table.
    const JunkRuleSet set = BuildJunkRuleSetFrom(L"", defaults, kPrc);
    EXPECT_EQ(set.patterns.front(), L"*.~*");
    EXPECT_EQ(set.patternDescriptions.front(), L"临时文件");
    EXPECT_EQ(set.extensions.front(), L".---");
    EXPECT_EQ(set.extensions.back(), L".CDR_");
    EXPECT_EQ(set.extensionDescriptions.back(), L"CoreDraw备份文件");
}

TEST(FileTypes, ExtensionMatchingAndVetoes) {
    EXPECT_TRUE(MatchExtensionRule(L".TMP", L"a.tmp"));
    EXPECT_TRUE(MatchExtensionRule(L".TMP", L"A.B.TmP"));
    EXPECT_FALSE(MatchExtensionRule(L".TMP", L"a.tmp.txt"));
    EXPECT_FALSE(MatchExtensionRule(L".TMP", L"tmp"));
    EXPECT_TRUE(MatchExtensionRule(L"", L"noextension"));

    // Folder paths as the scan passes them: ending in "\".
    const struct { const wchar_t* folder; const wchar_t* name; const wchar_t* rule; bool vetoed; } cases[] = {
        {L"C:\\", L"found.000.chk", L"FOUND*.CHK", false},
        {L"C:\\dir\\", L"found.000.chk", L"found*.chk", true},
        {L"C:\\Windows\\Prefetch\\", L"APP.EXE-1234.pf", L"*.pf", false},
        {L"C:\\Windows\\Temp\\", L"APP.EXE-1234.pf", L"*.PF", true},
        {L"C:\\x\\", L"setup.log", L"*.log", true},
        {L"C:\\x\\", L"install.log", L"*.LOG", true},
        {L"C:\\x\\", L"uninst.log", L"*.log", true},
        {L"C:\\x\\", L"error.log", L"*.log", false},
        {L"C:\\x\\", L"desktop.ini", L"*.ini", true},
        {L"C:\\x\\", L"DeskTop.INI", L"*.*", true},
        {L"C:\\x\\", L"driver.inf_old", L"*.inf_old", true},
        {L"C:\\x\\", L"a.Theme.tmp", L"*.tmp", true},
        {L"C:\\x\\", L"data.bak", L"*.bak", true},
        {L"C:\\x\\", L"other.bak", L"*.bak", false},
        {L"C:\\x\\", L"app.exe.manifest", L"*.manifest", true},
        {L"C:\\x\\", L"plain.tmp", L"*.tmp", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsVetoedMatch(c.folder, c.name, c.rule), c.vetoed)
            << testing::PrintToString(std::wstring(c.name)) << " " << testing::PrintToString(std::wstring(c.rule));
}

TEST(FileTypes, TildeChecksCorrectTheSearch) {
    // Names the search returns (through "?" matching nothing, or through the 8.3 alias) that do
    // not really end in "~" or carry one in their extension.
    EXPECT_TRUE(MatchPatternRule(L"*.??~", L"doc.ab~", L""));
    EXPECT_FALSE(MatchPatternRule(L"*.??~", L"LONGFI~1.AB", L"LONGFI~1.AB"));
    EXPECT_TRUE(MatchPatternRule(L"*.~*", L"report.~doc", L""));
    EXPECT_FALSE(MatchPatternRule(L"*.~*", L"a~b.txt", L""));
}

TEST(FileTypes, UserTypeText) {
    EXPECT_EQ(TrimmedType(L"  *.abc \t"), L"*.abc");
    EXPECT_TRUE(IsAcceptableUserType(L"*.abc"));
    EXPECT_FALSE(IsAcceptableUserType(L"abc"));
    EXPECT_FALSE(IsAcceptableUserType(L"a/b.c"));  // the list separator would split it
    EXPECT_FALSE(IsAcceptableUserType(L""));
}

TEST(SettingsStore, TextsIntegersAndThePair) {
    DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
    EXPECT_EQ(ReadSettingText(kFileExt), L"");
    EXPECT_EQ(ReadSettingInt(kDirectDel, 0), 0);  // no key: nothing stored
    ASSERT_TRUE(SaveTypeSettings(false, L"*.abc/*.def", std::wstring(kDefaultTypeStates) + L"01"));
    EXPECT_EQ(ReadSettingText(kFileExt), L"*.abc/*.def");
    EXPECT_EQ(ReadSettingText(kFileExtEnabled).size(), 41u);
    ASSERT_TRUE(SaveTypeSettings(true, L"", L""));
    EXPECT_EQ(ReadSettingText(kFileExtCustom), L"");
    // "DirectDel" written as text by another program reads as the default and stays as it is.
    ASSERT_TRUE(WriteSettingText(kDirectDel, L"1"));
    EXPECT_EQ(ReadSettingInt(kDirectDel, 0), 0);
    EXPECT_EQ(ReadSettingText(kDirectDel), L"1");
    // The three spellings callers use name one key.
    std::wstring value;
    ReadRegString(HKEY_CURRENT_USER, L"SOFTWARE\\Corvane\\brim", L"FileExt", L"", value);
    EXPECT_EQ(value, L"*.abc/*.def");
    DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
}

}  // namespace
}  // namespace tidemark
