#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/test_support.h"
#include "engine/definition_store.h"
#include "engine/sealed_text.h"
#include "engine/soft_obj.h"
#include "engine/store_keys.h"

namespace tidemark {
namespace {

std::string Ansi(const std::wstring& text) {
    const int n = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

// A copy of this program carrying a set of definitions sealed here, loaded as data.
class DefinitionSetFile {
public:
    explicit DefinitionSetFile(const std::vector<std::pair<std::wstring, std::wstring>>& scripts) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::wstring copy = dir_ / L"defs.dll";
        if (!CopyFileW(self, copy.c_str(), FALSE)) return;
        HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
        if (!update) return;
        for (const auto& [name, script] : scripts) {
            std::string bytes = SealText(Ansi(script), DefinitionKey(name, kDefinitionKeySource));
            UpdateResourceW(update, L"V", name.c_str(), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), bytes.data(),
                            static_cast<DWORD>(bytes.size()));
        }
        if (EndUpdateResourceW(update, FALSE)) module_ = LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~DefinitionSetFile() {
        if (module_) FreeLibrary(module_);
    }
    HMODULE module() const { return module_; }

private:
    test::ScratchDir dir_;
    HMODULE module_ = nullptr;
};

std::wstring Script(int id, const std::wstring& more = L"") {
    return L"[Soft]\r\nid=" + std::to_wstring(id) + L"\r\nname=定义" + std::to_wstring(id) + L"\r\n" + more;
}

TEST(DefinitionStore, LoadsEveryResourceInTableOrderAndResolvesIncludes) {
    DefinitionSetFile file({{L"V2", Script(2, L"include=1001\r\n")}, {L"V1001", Script(1001)}, {L"V10", Script(10)},
                            {L"V1", Script(1)}, {L"V100", Script(100)}, {L"V30", Script(30)},
                            {L"V12B", Script(12, L"include=12\r\n")}});
    ASSERT_NE(file.module(), nullptr);
    EXPECT_EQ(DefinitionResourceNames(file.module()),
              (std::vector<std::wstring>{L"V1", L"V10", L"V100", L"V1001", L"V12B", L"V2", L"V30"}));
    DefinitionLoadError error;
    const auto set = DefinitionSet::Load(file.module(), DefaultCleanHost(), &error);
    ASSERT_NE(set, nullptr) << testing::PrintToString(error.Resource);
    std::vector<int> ids;
    for (const auto& item : set->Items()) ids.push_back(item->Id);
    EXPECT_EQ(ids, (std::vector<int>{1, 10, 100, 1001, 12, 2, 30}));
    EXPECT_EQ(set->Definition(1)->Name, L"定义10");
    const TSoftObj* two = set->Definition(5);
    ASSERT_TRUE(two->FindById);
    EXPECT_EQ(two->FindById(*two, 1001), set->Definition(3));
    const TSoftObj* twelve = set->Definition(4);
    EXPECT_EQ(twelve->FindById(*twelve, 12), nullptr);  // never the asking definition itself
    // An id no definition has finds nothing, asked by a definition or by the set's owner.
    for (const int missing : {0, -1, 3, 99, 1002}) {
        EXPECT_EQ(two->FindById(*two, missing), nullptr) << missing;
        EXPECT_EQ(set->FindById(nullptr, missing), nullptr) << missing;
    }
    EXPECT_EQ(set->FindById(nullptr, 30), set->Definition(6));
    EXPECT_TRUE(set->RoutineFailures().empty());
}

TEST(DefinitionStore, ABadNumberEndsTheWholeLoadNamingItsLine) {
    DefinitionSetFile file({{L"V1", Script(1)}, {L"V7", Script(7, L"safemode=1\r\ninclude=abc\r\n")}, {L"V8", Script(8)}});
    ASSERT_NE(file.module(), nullptr);
    DefinitionLoadError error;
    EXPECT_EQ(DefinitionSet::Load(file.module(), DefaultCleanHost(), &error), nullptr);
    EXPECT_EQ(error.Resource, L"V7");
    ASSERT_TRUE(error.Script.has_value());
    EXPECT_EQ(error.Script->Line, 5u);
    EXPECT_EQ(error.Script->Text, L"include=abc");
}

TEST(DefinitionStore, AnEmptySetLoadsEmpty) {
    DefinitionSetFile file({});
    ASSERT_NE(file.module(), nullptr);
    const auto set = DefinitionSet::Load(file.module(), DefaultCleanHost(), nullptr);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->Count(), 0u);
}

}  // namespace
}  // namespace tidemark
