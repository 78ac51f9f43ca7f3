#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "common/test_support.h"
#include "support/usage_log.h"

namespace tidemark {
namespace {

using test::ScratchDir;

std::vector<unsigned char> BytesOf(const UsageRecord& record) {
    const auto* p = reinterpret_cast<const unsigned char*>(&record);
    return {p, p + sizeof record};
}

TEST(UsageRecord, LayoutByteByByte) {
    std::vector<unsigned char> expected(80, 0);
    expected[0] = 80;
    expected[4] = 1;
    expected[8] = 12;
    const char version[] = "1.31.0.0", code[] = "12.H.CLE";
    for (int i = 0; i < 8; ++i) {
        expected[12 + 2 * i] = static_cast<unsigned char>(version[i]);
        expected[44 + 2 * i] = static_cast<unsigned char>(code[i]);
    }
    EXPECT_EQ(BytesOf(MakeUsageRecord(L"12.H.CLE")), expected);

    // Start and close: no code at all.
    std::fill(expected.begin() + 44, expected.begin() + 76, 0);
    EXPECT_EQ(BytesOf(MakeUsageRecord(L"")), expected);

    // A code too long for its field keeps its terminating zero.
    const UsageRecord longCode = MakeUsageRecord(std::wstring(40, L'x'));
    EXPECT_EQ(longCode.EventCode[14], u'x');
    EXPECT_EQ(longCode.EventCode[15], 0);
    EXPECT_EQ(longCode.Reserved2, 0u);
}

TEST(UsageRecord, EventCodes) {
    const struct { UsageEvent event; const wchar_t* code; } cases[] = {
        {UsageEvent::TabTraces, L"12.H.CLE"},   {UsageEvent::TabJunk, L"12.W.CLE"},
        {UsageEvent::TabCustom, L"12.Z.CLE"},   {UsageEvent::TabRegistry, L"12.R.CLE"},
        {UsageEvent::TabPlugins, L"12.B.CLE"},  {UsageEvent::TraceScan, L"12.H.YJ"},
        {UsageEvent::JunkScan, L"12.W.SM"},     {UsageEvent::JunkClean, L"12.W.QL"},
        {UsageEvent::RegistryScan, L"12.R.SM"}, {UsageEvent::RegistryClean, L"12.R.QL"},
        {UsageEvent::PluginScan, L"12.S.SM"},   {UsageEvent::PluginClean, L"12.S.QL"},
        {UsageEvent::CustomScan, L"12.Z.SM"},   {UsageEvent::CustomClean, L"12.Z.QL"},
    };
    for (const auto& c : cases) EXPECT_STREQ(UsageEventCode(c.event), c.code);
}

// A library beside a scratch "executable", and the file it records into.
class UsageLogTest : public testing::Test {
protected:
    void SetUp() override {
        library_ = dir_ / L"qklog.dll";
        log_ = dir_ / L"log.bin";
        SetLogLibraryPath(library_);
        SetEnvironmentVariableW(L"TM_QKLOG_OUT", log_.c_str());
        SetEnvironmentVariableW(L"TM_QKLOG_RESULT", nullptr);
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"TM_QKLOG_OUT", nullptr);
        SetEnvironmentVariableW(L"TM_QKLOG_RESULT", nullptr);
        SetEnvironmentVariableW(L"TM_QKLOG_FAULT", nullptr);
        SetLogLibraryPath(L"");
    }
    void InstallFixture(const wchar_t* source = L"qklog.dll") {
        const std::wstring from = test::ExeDir() + L"\\..\\fixtures\\" + source;
        ASSERT_TRUE(CopyFileW(from.c_str(), library_.c_str(), FALSE)) << testing::PrintToString(from);
    }
    ScratchDir dir_;
    std::wstring library_, log_;
};

TEST_F(UsageLogTest, DeliversTheRecordAndUnloadsTheLibrary) {
    InstallFixture();
    EXPECT_TRUE(SendUsageRecord(UsageAction, L"12.R.SM"));
    EXPECT_TRUE(SendUsageEvent(UsageEvent::JunkScan));
    const auto entries = test::ReadUsageLog(log_);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].type, 6u);
    EXPECT_EQ(entries[0].record, BytesOf(MakeUsageRecord(L"12.R.SM")));
    EXPECT_EQ(entries[1].record, BytesOf(MakeUsageRecord(L"12.W.SM")));
    // Nothing holds the library between records: it can be replaced right away.
    EXPECT_TRUE(DeleteFileW(library_.c_str()));
}

TEST_F(UsageLogTest, FailuresAreReportedButHarmless) {
    EXPECT_FALSE(SendUsageRecord(UsageStart, L""));  // no library
    EXPECT_TRUE(test::ReadUsageLog(log_).empty());

    InstallFixture();
    SetEnvironmentVariableW(L"TM_QKLOG_RESULT", L"0");
    EXPECT_FALSE(SendUsageRecord(UsageClose, L""));  // AddLog says no: delivered all the same
    EXPECT_EQ(test::ReadUsageLog(log_).size(), 1u);

    InstallFixture(L"tm_version_probe.exe");  // a module without AddLog
    EXPECT_FALSE(SendUsageRecord(UsageClose, L""));
    ASSERT_TRUE(test::WriteFileText(library_, "not a library"));
    EXPECT_FALSE(SendUsageRecord(UsageClose, L""));
    EXPECT_EQ(test::ReadUsageLog(log_).size(), 1u);
}

DWORD WINAPI SendFromThread(void* sent) {
    *static_cast<bool*>(sent) = SendUsageRecord(UsageStart, L"");
    return 0;
}

// Sends a start record from a new thread, as TUPThread does; false when the thread does not end
// (a loader lock left held would stop it at its start).
bool SendOnOtherThread(bool& sent) {
    UniqueHandle thread(CreateThread(nullptr, 0, SendFromThread, &sent, 0, nullptr));
    return thread && WaitForSingleObject(thread.get(), 20000) == WAIT_OBJECT_0;
}

TEST_F(UsageLogTest, ALibraryThatFaultsCostsOnlyThatRecord) {
    InstallFixture();
    const struct {
        const wchar_t* place;
        bool sent;        // what the send reports
        bool recorded;    // whether AddLog got as far as writing the record
    } cases[] = {
        {L"attach", false, false},
        {L"addlog", false, true},
        {L"detach", true, true},  // the record was delivered; unloading faults after it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.place)));
        DeleteFileW(log_.c_str());
        SetEnvironmentVariableW(L"TM_QKLOG_FAULT", c.place);
        EXPECT_EQ(SendUsageRecord(UsageAction, L"12.R.SM"), c.sent);
        EXPECT_EQ(SendUsageEvent(UsageEvent::JunkScan), c.sent);  // nothing was left stuck
        bool sentOnThread = !c.sent;
        ASSERT_TRUE(SendOnOtherThread(sentOnThread));
        EXPECT_EQ(sentOnThread, c.sent);
        EXPECT_EQ(test::ReadUsageLog(log_).size(), c.recorded ? 3u : 0u);
        EXPECT_EQ(GetModuleHandleW(library_.c_str()), nullptr);

        // The library behaves again: records go out as before.
        SetEnvironmentVariableW(L"TM_QKLOG_FAULT", nullptr);
        EXPECT_TRUE(SendUsageRecord(UsageClose, L""));
        EXPECT_EQ(test::ReadUsageLog(log_).size(), c.recorded ? 4u : 1u);
    }
}

TEST_F(UsageLogTest, StartThreadAndConcurrentSends) {
    InstallFixture();
    TUPThread::Start();
    std::thread other([] { SendUsageEvent(UsageEvent::TabTraces); });
    SendUsageEvent(UsageEvent::TabJunk);
    other.join();
    std::vector<test::LoggedRecord> entries;
    for (int i = 0; i < 250 && entries.size() < 3; ++i) {
        Sleep(20);
        entries = test::ReadUsageLog(log_);
    }
    ASSERT_EQ(entries.size(), 3u);
    int starts = 0;
    for (const auto& e : entries) starts += e.type == UsageStart;
    EXPECT_EQ(starts, 1);
}

}  // namespace
}  // namespace tidemark
