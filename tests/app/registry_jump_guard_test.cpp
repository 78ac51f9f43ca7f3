// The registry-jump helper misbehaving: a stand-in carried as REGHLPS refuses to load or
// faults where TM_CLEANREG_FAULT says. The program goes on, and the written file is deleted at
// the end in every case.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "app/registry_jump.h"
#include "common/test_support.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

std::wstring HelperFile() { return GetWinInfo().TempDir + L"\\cleanreg.dll"; }

std::string ReadText(const std::wstring& path) {
    std::string text;
    if (FILE* f = _wfopen(path.c_str(), L"r")) {
        char buffer[256];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
        fclose(f);
    }
    return text;
}

class RegistryJumpGuard : public testing::Test {
protected:
    void SetUp() override {
        out_ = dir_ / L"jumps.txt";
        SetEnvironmentVariableW(L"TM_CLEANREG_OUT", out_.c_str());
    }
    void TearDown() override {
        ReleaseRegistryJump();
        SetEnvironmentVariableW(L"TM_CLEANREG_OUT", nullptr);
        SetEnvironmentVariableW(L"TM_CLEANREG_FAULT", nullptr);
    }
    test::ScratchDir dir_;
    std::wstring out_;
};

TEST_F(RegistryJumpGuard, AHelperThatFailsOrFaultsIsDeletedAtTheEnd) {
    const struct {
        const wchar_t* place;
        bool jumped;       // what the jump reports
        const char* seen;  // what the helper recorded
    } cases[] = {
        {L"refuse", false, ""},  // written, but it will not load
        {L"attach", false, ""},
        {L"regjump", false, "HKEY_CURRENT_USER\\Software\n"},
        {L"detach", true, "HKEY_CURRENT_USER\\Software\n"},  // faults only when unloaded at the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.place)));
        DeleteFileW(HelperFile().c_str());
        DeleteFileW(out_.c_str());
        SetEnvironmentVariableW(L"TM_CLEANREG_FAULT", c.place);
        EXPECT_EQ(JumpToRegistryKey(L"HKEY_CURRENT_USER\\Software"), c.jumped);
        EXPECT_TRUE(test::PathExists(HelperFile()));
        EXPECT_EQ(ReadText(out_), c.seen);
        ReleaseRegistryJump();
        EXPECT_FALSE(test::PathExists(HelperFile()));
    }
}

TEST_F(RegistryJumpGuard, AfterAFaultTheNextJumpWorks) {
    for (const wchar_t* place : {L"refuse", L"regjump"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(place)));
        DeleteFileW(out_.c_str());
        SetEnvironmentVariableW(L"TM_CLEANREG_FAULT", place);
        EXPECT_FALSE(JumpToRegistryKey(L"HKCU\\Console"));
        SetEnvironmentVariableW(L"TM_CLEANREG_FAULT", nullptr);
        EXPECT_TRUE(JumpToRegistryKey(L"HKCU\\Software"));
        const std::string fault = place == std::wstring(L"regjump") ? "HKCU\\Console\n" : "";
        EXPECT_EQ(ReadText(out_), fault + "HKCU\\Software\n");
        ReleaseRegistryJump();
        EXPECT_FALSE(test::PathExists(HelperFile()));
    }
}

}  // namespace
}  // namespace tidemark
