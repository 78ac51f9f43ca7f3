// The known-plug-in table: its text format, lookup order, the sealed resource and our own table.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "engine/sealed_text.h"
#include "engine/store_keys.h"
#include "plugins/guids.h"
#include "system/ansi_text.h"

namespace tidemark {
namespace {

constexpr int kBuiltIn = 4;

struct Row {
    std::wstring caption, guid;
    int cls, rating;
};

std::vector<Row> TableRows(const TGuids& guids) {
    std::vector<Row> rows;
    for (int i = kBuiltIn; i < guids.Count(); ++i) {
        const TGuidItem& item = guids.Item(i);
        rows.push_back({item.Caption, item.Guid, item.Class, item.Rating});
    }
    return rows;
}

TEST(GuidTable, TextFormat) {
    const struct {
        const char* what;
        std::vector<std::wstring> lines;
        std::vector<Row> rows;
    } cases[] = {
        {"keys act on the row, GUID upper-cased, RISK 4 is risky",
         {L"[Foo]", L"guid = {abc}", L"risk=4"},
         {{L"Foo", L"{ABC}", 0, RiskRisky}}},
        {"each RISK value",
         {L"[a]", L"RISK=1", L"[b]", L"RISK=2", L"[c]", L"RISK=3", L"[d]", L"RISK=4", L"[e]"},
         {{L"a", L"", 0, RiskSafe}, {L"b", L"", 0, RiskOrdinary}, {L"c", L"", 0, RiskUnknown},
          {L"d", L"", 0, RiskRisky}, {L"e", L"", 0, RiskUnknown}}},
        {"a RISK that is no number, or outside 1..4, is ordinary",
         {L"[x]", L"RISK=x", L"[zero]", L"RISK=0", L"[five]", L"RISK=5", L"[neg]", L"RISK=-1", L"[half]", L"RISK=3x",
          L"[empty]", L"RISK="},
         {{L"x", L"", 0, RiskOrdinary}, {L"zero", L"", 0, RiskOrdinary}, {L"five", L"", 0, RiskOrdinary},
          {L"neg", L"", 0, RiskOrdinary}, {L"half", L"", 0, RiskOrdinary}, {L"empty", L"", 0, RiskOrdinary}}},
        {"CLASS: a number, else 1",
         {L"[n]", L"CLASS=7", L"[t]", L"class = toolbar"},
         {{L"n", L"", 7, RiskUnknown}, {L"t", L"", 1, RiskUnknown}}},
        {"trimming, comments, blank lines, unknown keys and lines without =",
         {L"\t[ Bar ]\r", L"", L"; RISK=1", L"  GUID\t=  {d}  \r", L"NAME=ignored", L"just text", L"RISK = 3"},
         {{L" Bar ", L"{D}", 0, RiskUnknown}}},
        {"key lines before the first row are dropped",
         {L"GUID={early}", L"RISK=1", L"[Late]"},
         {{L"Late", L"", 0, RiskUnknown}}},
        {"the value is split at the first =",
         {L"[Eq]", L"GUID={a=b}"},
         {{L"Eq", L"{A=B}", 0, RiskUnknown}}},
        {"a later key wins within a row",
         {L"[Twice]", L"GUID={1}", L"GUID={2}"},
         {{L"Twice", L"{2}", 0, RiskUnknown}}},
        {"nothing", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TGuids guids(c.lines);
        const std::vector<Row> rows = TableRows(guids);
        ASSERT_EQ(rows.size(), c.rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].caption, c.rows[i].caption) << i;
            EXPECT_EQ(rows[i].guid, c.rows[i].guid) << i;
            EXPECT_EQ(rows[i].cls, c.rows[i].cls) << i;
            EXPECT_EQ(rows[i].rating, c.rows[i].rating) << i;
        }
    }
}

TEST(GuidTable, LookupOrder) {
    const TGuids guids({L"[Impostor]", std::wstring(L"GUID=") + kOwnAddOnGuids[2], L"RISK=4",
                        L"[First]", L"GUID={abc}", L"RISK=1", L"[Second]", L"GUID={ABC}", L"RISK=4",
                        L"[No id]", L"RISK=3", L"[Last]", L"GUID={last}"});
    ASSERT_EQ(guids.Count(), kBuiltIn + 5);
    for (int i = 0; i < kBuiltIn; ++i) {
        const TGuidItem& own = guids.Item(i);
        EXPECT_EQ(own.Caption, L"Wayfarer");
        EXPECT_EQ(own.Class, 1);
        EXPECT_EQ(own.Rating, RiskSafe);
        // Our own identifiers are braced and upper case, so they match as stored.
        EXPECT_TRUE(std::regex_match(test::Narrow(own.Guid), std::regex(R"(\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\})")));
        EXPECT_EQ(guids.IndexOf(own.Guid), i);
    }
    // The built-in row shadows a table row with its identifier.
    EXPECT_EQ(guids.IndexOf(kOwnAddOnGuids[2]), 2);
    EXPECT_EQ(guids.IndexOf(L"{abc}"), kBuiltIn + 1);  // the first of two, found in any case
    EXPECT_EQ(guids.IndexOf(L"{LAST}"), kBuiltIn + 4);
    EXPECT_EQ(guids.IndexOf(L""), kBuiltIn + 3);       // a row without GUID matches only ""
    EXPECT_EQ(guids.IndexOf(L"{AB}"), -1);
    EXPECT_EQ(guids.IndexOf(L"{ABC} "), -1);
}

// A copy of this test program carrying the given tables as "FILE"/"VB", sealed as the packer does.
class TableModule {
public:
    explicit TableModule(const std::wstring* table) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::wstring copy = dir_ / L"table.dll";
        if (!CopyFileW(self, copy.c_str(), FALSE)) return;
        if (table) {
            HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
            if (!update) return;
            std::string bytes = SealText(ToAnsiNoBestFit(*table), kFixedStoreKey);
            UpdateResourceW(update, L"FILE", L"VB", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), bytes.data(),
                            static_cast<DWORD>(bytes.size()));
            if (!EndUpdateResourceW(update, FALSE)) return;
        }
        module_ = LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~TableModule() {
        if (module_) FreeLibrary(module_);
    }
    HMODULE module() const { return module_; }

private:
    test::ScratchDir dir_;
    HMODULE module_ = nullptr;
};

TEST(GuidTable, LoadsTheSealedTable) {
    const std::wstring table = L"[雅虎助手]\r\nGUID={abc}\r\nRISK=4\r\n[Last]\r\nGUID={def}\r\nRISK=1";
    TableModule sealed(&table);
    ASSERT_NE(sealed.module(), nullptr);
    const auto guids = TGuids::Load(sealed.module());
    ASSERT_NE(guids, nullptr);
    ASSERT_EQ(guids->Count(), kBuiltIn + 2);
    EXPECT_EQ(guids->Item(kBuiltIn).Caption, L"雅虎助手");
    EXPECT_EQ(guids->Item(guids->IndexOf(L"{ABC}")).Rating, RiskRisky);
    EXPECT_EQ(guids->Item(guids->IndexOf(L"{def}")).Rating, RiskSafe);

    TableModule bare(nullptr);
    ASSERT_NE(bare.module(), nullptr);
    EXPECT_EQ(TGuids::Load(bare.module()), nullptr);
}

// Our data, copied beside this program by the build.
std::string DataFile(const std::wstring& relative) {
    std::ifstream in((test::ExeDir() + L"\\data\\" + relative).c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Our own table: every helper object and toolbar our definitions remove is rated at least
// "unknown" there, every row names an identifier, and no identifier is rated twice.
TEST(GuidTable, OurTableRatesTheDefinitionsRogues) {
    const std::string text = DataFile(L"VB.txt");
    ASSERT_FALSE(text.empty());
    std::vector<std::wstring> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(test::Widen(line));
    const TGuids guids(lines);
    std::set<std::wstring> seen;
    for (int i = kBuiltIn; i < guids.Count(); ++i) {
        const TGuidItem& row = guids.Item(i);
        EXPECT_FALSE(row.Guid.empty()) << test::Narrow(row.Caption);
        EXPECT_FALSE(row.Caption.empty()) << test::Narrow(row.Guid);
        EXPECT_TRUE(seen.insert(row.Guid).second) << test::Narrow(row.Guid);
        EXPECT_EQ(guids.IndexOf(row.Guid), i) << test::Narrow(row.Guid);
    }

    const std::regex registration(R"((Browser Helper Objects|Internet Explorer\\Toolbar)\\(\{[0-9A-Fa-f-]{36}\}))");
    int rogues = 0;
    WIN32_FIND_DATAW data{};
    const std::wstring folder = test::ExeDir() + L"\\data\\definitions\\";
    HANDLE find = FindFirstFileW((folder + L"V*.txt").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        const std::string definition = DataFile(L"definitions\\" + std::wstring(data.cFileName));
        for (std::sregex_iterator it(definition.begin(), definition.end(), registration), end; it != end; ++it) {
            const std::wstring guid = test::Widen((*it)[2].str());
            ++rogues;
            const int index = guids.IndexOf(guid);
            ASSERT_GE(index, kBuiltIn) << test::Narrow(data.cFileName) << " " << test::Narrow(guid);
            EXPECT_GE(guids.Item(index).Rating, RiskUnknown) << test::Narrow(guid);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    EXPECT_GT(rogues, 10);
}

}  // namespace
}  // namespace tidemark
