#include <gtest/gtest.h>

#include <string>

#include "common/test_support.h"
#include "support/win7_identity.h"

namespace tidemark {
namespace {

std::string ReadText(const std::wstring& path) {
    std::string text;
    if (FILE* f = _wfopen(path.c_str(), L"r")) {  // the library writes text
        char buffer[256];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
        fclose(f);
    }
    return text;
}

// The stand-in library in a folder of its own, writing what it was given to out.txt.
class Win7IdentityTest : public testing::Test {
protected:
    void SetUp() override {
        out_ = dir_ / L"out.txt";
        SetEnvironmentVariableW(L"TM_QKWIN7_OUT", out_.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"TM_QKWIN7_OUT", nullptr);
        SetEnvironmentVariableW(L"TM_QKWIN7_FAULT", nullptr);
    }
    void InstallFixture() {
        const std::wstring from = test::ExeDir() + L"\\..\\app\\qkWin7.dll";
        ASSERT_TRUE(CopyFileW(from.c_str(), (dir_ / L"qkWin7.dll").c_str(), FALSE));
    }
    std::wstring Folder() const { return dir_.path() + L"\\"; }

    test::ScratchDir dir_;
    std::wstring out_;
    const HWND window_ = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x10020));
    const std::string given_ = std::to_string(0x10020) + " CorvaneAppId\n";
};

TEST_F(Win7IdentityTest, TheLibraryGetsTheWindowAndTheIdentity) {
    EXPECT_FALSE(SetWin7AppIdentity(window_, Folder()));  // no library
    EXPECT_FALSE(test::PathExists(out_));

    InstallFixture();
    EXPECT_TRUE(SetWin7AppIdentity(window_, Folder()));
    EXPECT_EQ(ReadText(out_), given_);
    EXPECT_EQ(GetModuleHandleW(L"qkWin7.dll"), nullptr);  // unloaded again
}

TEST_F(Win7IdentityTest, ALibraryThatFaultsChangesNothingElse) {
    InstallFixture();
    const struct {
        const wchar_t* place;
        bool called;   // what SetWin7AppIdentity reports
        bool written;  // whether Win7_SetAppID got as far as its output
    } cases[] = {
        {L"attach", false, false},
        {L"setappid", false, true},
        {L"detach", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.place)));
        DeleteFileW(out_.c_str());
        SetEnvironmentVariableW(L"TM_QKWIN7_FAULT", c.place);
        EXPECT_EQ(SetWin7AppIdentity(window_, Folder()), c.called);
        EXPECT_EQ(ReadText(out_), c.written ? given_ : "");
        EXPECT_EQ(GetModuleHandleW(L"qkWin7.dll"), nullptr);
    }
    SetEnvironmentVariableW(L"TM_QKWIN7_FAULT", nullptr);
    EXPECT_TRUE(SetWin7AppIdentity(window_, Folder()));
    EXPECT_EQ(ReadText(out_), given_);
}

}  // namespace
}  // namespace tidemark
