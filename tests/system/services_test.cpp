// Service control against real services: each case installs the fixture service program under
// a fresh name and removes it again at scope end, whatever the case did to it.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "system/handles.h"
#include "system/services.h"
#include "system/sys_misc.h"

namespace tidemark {
namespace {

constexpr DWORD kDeadlineMs = 15000;

// Polls until done() holds or the deadline passes; the service manager gives no event to wait on.
template <typename Done>
bool WaitUntil(Done done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > kDeadlineMs) return false;
        Sleep(20);
    }
    return true;
}

std::wstring UniqueServiceName() {
    static std::atomic<unsigned> counter{0};
    return L"TidemarkTestSvc" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(counter++);
}

// The error OpenService gives for name, or 0 when the manager knows it.
DWORD OpenServiceError(const std::wstring& name) {
    UniqueScHandle manager = OpenServiceManager();
    UniqueScHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
    return service ? 0 : GetLastError();
}

// A service made from the fixture program. Controls go through handles opened per call, so
// that none of ours keeps a deleted service alive.
class TestService {
public:
    TestService(const std::wstring& binary, const std::wstring& mode) : name_(UniqueServiceName()) {
        UniqueScHandle manager = OpenServiceManager();
        std::wstring command = L"\"" + binary + L"\"";
        if (!mode.empty()) command += L" " + mode;
        UniqueScHandle service(CreateServiceW(
            manager.get(), name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
            SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, command.c_str(), nullptr, nullptr, nullptr,
            nullptr, nullptr));
        created_ = service.valid();
    }
    ~TestService() { Remove(); }
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    const std::wstring& name() const { return name_; }
    bool created() const { return created_; }

    // Starts the service, waits until it runs and keeps a handle on its process.
    bool Start() {
        UniqueScHandle service = Open();
        if (!service || !StartServiceW(service.get(), 0, nullptr)) return false;
        if (!WaitForState(SERVICE_RUNNING)) return false;
        SERVICE_STATUS_PROCESS info{};
        DWORD needed = 0;
        if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&info),
                                  sizeof info, &needed))
            return false;
        process_.reset(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, info.dwProcessId));
        return process_.valid();
    }

    // The current state; nothing when the service cannot be opened or queried.
    std::optional<DWORD> State() const {
        UniqueScHandle service = Open();
        SERVICE_STATUS status{};
        if (!service || !QueryServiceStatus(service.get(), &status)) return std::nullopt;
        return status.dwCurrentState;
    }
    bool WaitForState(DWORD state) const {
        return WaitUntil([&] { return State() == state; });
    }
    bool WaitForProcessExit() const {
        return process_ && WaitForSingleObject(process_.get(), kDeadlineMs) == WAIT_OBJECT_0;
    }

private:
    UniqueScHandle Open() const {
        UniqueScHandle manager = OpenServiceManager();
        return UniqueScHandle(OpenServiceW(manager.get(), name_.c_str(), SERVICE_ALL_ACCESS));
    }

    // Stops the process (ending it when it refuses to stop) before deleting the service, so the
    // copied program can be removed with its scratch folder.
    void Remove() {
        if (process_) {
            bool stopping = false;
            if (UniqueScHandle service = Open()) {
                SERVICE_STATUS status{};
                stopping = ControlService(service.get(), SERVICE_CONTROL_STOP, &status) != FALSE;
            }
            if (!stopping || WaitForSingleObject(process_.get(), kDeadlineMs) != WAIT_OBJECT_0) {
                TerminateProcess(process_.get(), 1);
                WaitForSingleObject(process_.get(), kDeadlineMs);
            }
        }
        if (UniqueScHandle service = Open()) DeleteService(service.get());
    }

    std::wstring name_;
    bool created_ = false;
    UniqueHandle process_;
};

// Every case gets its own copy of the service program on C:, so that a service process left
// running by a failed case never holds the built program open (and blocks the next build).
class Services : public testing::Test {
protected:
    void SetUp() override {
        const std::wstring built = test::ExeDir() + L"\\..\\fixtures\\tm_test_service.exe";
        ASSERT_TRUE(CopyFileW(built.c_str(), binary_.c_str(), FALSE))
            << testing::PrintToString(built) << " error " << GetLastError();
    }

    test::ScratchDir dir_;
    const std::wstring binary_ = dir_ / L"tm_test_service.exe";
};

TEST_F(Services, StopRunningService) {
    const struct {
        const wchar_t* mode;
        bool result;
        DWORD finalState;
    } cases[] = {
        {L"", true, SERVICE_STOPPED},
        {L"pausable", true, SERVICE_STOPPED},  // takes the pause sent first, then the stop
        {L"stubborn", false, SERVICE_RUNNING},  // refuses the stop: a failure, not success
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.mode)));
        TestService service(binary_, c.mode);
        ASSERT_TRUE(service.created()) << GetLastError();
        ASSERT_TRUE(service.Start());

        EXPECT_EQ(StopServiceByName(service.name()), c.result);
        if (c.finalState == SERVICE_STOPPED) {
            EXPECT_TRUE(service.WaitForState(SERVICE_STOPPED));
            EXPECT_TRUE(service.WaitForProcessExit());
        } else {
            EXPECT_EQ(service.State(), c.finalState);
        }
    }
}

TEST_F(Services, StopServiceThatIsNotRunning) {
    TestService service(binary_, L"");
    ASSERT_TRUE(service.created()) << GetLastError();

    EXPECT_TRUE(StopServiceByName(service.name()));
    EXPECT_EQ(service.State(), SERVICE_STOPPED);
}

TEST_F(Services, DeleteRemovesTheServiceAndStopsIt) {
    for (const bool running : {true, false}) {
        SCOPED_TRACE(running ? "running" : "stopped");
        TestService service(binary_, L"");
        ASSERT_TRUE(service.created()) << GetLastError();
        if (running) {
            ASSERT_TRUE(service.Start());
        }

        UniqueScHandle manager = OpenServiceManager();
        ASSERT_TRUE(manager);
        EXPECT_TRUE(DeleteServiceWith(manager.get(), service.name()));
        if (running) {
            EXPECT_TRUE(service.WaitForProcessExit());
        }
        // The manager drops a deleted service once it has stopped and no handle is open on it.
        EXPECT_TRUE(WaitUntil([&] { return OpenServiceError(service.name()) == ERROR_SERVICE_DOES_NOT_EXIST; }))
            << OpenServiceError(service.name());
    }
}

// Names the manager has no service for count as stopped and as deleted.
TEST(ServiceNames, UnknownOrMalformedNamesCountAsDone) {
    const struct {
        std::wstring name;
        DWORD openError;
    } cases[] = {
        {UniqueServiceName(), ERROR_SERVICE_DOES_NOT_EXIST},
        {L"", ERROR_INVALID_NAME},
        {L"Tidemark\\Test", ERROR_INVALID_NAME},
        {L"Tidemark/Test", ERROR_INVALID_NAME},
    };
    UniqueScHandle manager = OpenServiceManager();
    ASSERT_TRUE(manager);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.name));
        ASSERT_EQ(OpenServiceError(c.name), c.openError);  // the path under test is the one taken
        EXPECT_TRUE(StopServiceByName(c.name));
        EXPECT_TRUE(DeleteServiceWith(manager.get(), c.name));
    }
}

TEST(ServiceNames, DeleteWithoutAManagerFails) {
    EXPECT_FALSE(DeleteServiceWith(nullptr, UniqueServiceName()));
}

// Whether the process token holds the privilege enabled; nothing when it lacks it.
std::optional<bool> PrivilegeEnabled(const wchar_t* name) {
    UniqueHandle token;
    LUID luid{};
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !LookupPrivilegeValueW(nullptr, name, &luid))
        return std::nullopt;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size))
        return std::nullopt;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
        if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart)
            return (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    return std::nullopt;
}

TEST(DebugPrivileges, EnableAndDisableBoth) {
    for (const bool enable : {true, false}) {
        SCOPED_TRACE(enable ? "enable" : "disable");
        EXPECT_TRUE(SetDebugPrivileges(enable));
        EXPECT_EQ(PrivilegeEnabled(L"SeDebugPrivilege"), enable);
        EXPECT_EQ(PrivilegeEnabled(L"SeSecurityPrivilege"), enable);
    }
}

}  // namespace
}  // namespace tidemark
