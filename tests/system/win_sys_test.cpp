// The process snapshot and what is done to processes, against real processes started here.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "common/test_support.h"
#include "fixtures/proc_holder/holder_run.h"
#include "system/boot_list.h"
#include "system/text_case.h"
#include "system/win_info.h"
#include "system/win_sys.h"

namespace tidemark {
namespace {

// The services object of this system, with the list open to the test.
template <typename Base>
class Probe : public Base {
public:
    void Add(std::uint32_t id, const std::wstring& name, const std::wstring& path, std::uint8_t rating) {
        auto item = std::make_unique<TProcessItem>(id, name, path);
        item->Rating = rating;
        this->Append(std::move(item));
    }
    void AddModule(std::size_t index, const std::wstring& path) {
        auto module = std::make_unique<TModuleItem>();
        module->Path = path;
        this->processes_[index]->Modules.push_back(std::move(module));
    }
};

const TProcessItem* Listed(const TWinSys& sys, DWORD id) {
    for (std::size_t i = 0; i < sys.ProcessCount(); ++i)
        if (sys.ProcessAt(i)->ProcessId == id) return sys.ProcessAt(i);
    return nullptr;
}

bool HasModule(const TProcessItem& item, const std::wstring& path) {
    return std::any_of(item.Modules.begin(), item.Modules.end(),
                       [&](const auto& m) { return UpperCased(m->Path) == UpperCased(path); });
}

TEST(ProcessItems, PathsAreNormalised) {
    const std::wstring windir = GetWinInfo().WindowsDir;
    const struct { const wchar_t* name; const wchar_t* path; std::wstring expected; } cases[] = {
        {L"System", L"", L"System"},
        {L"smss.exe", L"\\SystemRoot\\System32\\smss.exe", windir + L"\\System32\\smss.exe"},
        {L"csrss.exe", L"\\??\\C:\\WINDOWS\\system32\\csrss.exe", L"C:\\WINDOWS\\system32\\csrss.exe"},
        {L"a.exe", L"C:\\Tools\\a.exe", L"C:\\Tools\\a.exe"},
        {L"b.exe", L"\\SystemRootX\\b.exe", L"\\SystemRootX\\b.exe"},
    };
    for (const auto& c : cases) EXPECT_EQ(NormaliseProcessPath(c.name, c.path, windir), c.expected) << c.path;
}

TEST(ProcessItems, NinetyFiveThreadPrioritiesStayInTheirClass) {
    const struct { long base, delta; std::uint32_t expected; } cases[] = {
        {8, 2, 10}, {8, -15, 1}, {15, 2, 15}, {1, -1, 1}, {16, 0, 16}, {24, -10, 16}, {24, 15, 31}, {31, 1, 31},
    };
    for (const auto& c : cases) EXPECT_EQ(ClampThreadPriority9x(c.base, c.delta), c.expected) << c.base << "+" << c.delta;
}

TEST(ProcessList, SortsByRatingThenPathlessThenPath) {
    Probe<TWinSys9x> sys;
    sys.Add(10, L"b.exe", L"C:\\b\\b.exe", 0);
    sys.Add(11, L"System", L"", 0);
    sys.Add(12, L"x.exe", L"C:\\x\\x.exe", 4);
    sys.Add(13, L"a.exe", L"c:\\A\\a.exe", 0);
    sys.Add(14, L"k.exe", L"C:\\k.exe", 1);
    sys.SortProcesses();
    std::vector<std::uint32_t> order;
    for (std::size_t i = 0; i < sys.ProcessCount(); ++i) order.push_back(sys.ProcessAt(i)->ProcessId);
    EXPECT_EQ(order, (std::vector<std::uint32_t>{12, 14, 11, 13, 10}));
}

TEST(ProcessList, ModuleUsersAreCountedWhenTheRoomIsShort) {
    Probe<TWinSys9x> sys;
    for (std::uint32_t id : {20u, 21u, 22u}) sys.Add(id, L"p.exe", L"C:\\p" + std::to_wstring(id) + L".exe", 0);
    sys.AddModule(0, L"C:\\lib\\shared.dll");
    sys.AddModule(2, L"c:\\LIB\\SHARED.DLL");
    std::vector<std::size_t> indices;
    std::size_t room = 1;
    EXPECT_FALSE(sys.FindProcessesUsingModule(L"C:\\lib\\shared.dll", indices, room));
    EXPECT_EQ(room, 2u);
    EXPECT_TRUE(indices.empty());
    room = 260;
    EXPECT_TRUE(sys.FindProcessesUsingModule(L"C:\\lib\\shared.dll", indices, room));
    EXPECT_EQ(indices, (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(room, 2u);
    EXPECT_FALSE(sys.FindProcessesUsingModule(L"C:\\lib\\other.dll", indices, room));
}

TEST(ProcessGuards, OwnCriticalAndShellProcessesAreNeverEndedByTheGeneralCalls) {
    const TWinInfo& info = GetWinInfo();
    const struct { std::uint32_t id; std::wstring path; ProcessGuard expected; } cases[] = {
        {GetCurrentProcessId(), L"C:\\any\\tidemark.exe", ProcessGuard::OwnProcess},
        {4, L"System", ProcessGuard::CriticalProcess},
        {1234, info.SystemDir + L"\\CSRSS.EXE", ProcessGuard::CriticalProcess},
        {1234, info.SystemDir + L"\\lsass.exe", ProcessGuard::CriticalProcess},
        {1234, L"winlogon.exe", ProcessGuard::CriticalProcess},  // its image cannot be read
        {1234, info.TempDir + L"\\services.exe", ProcessGuard::Allowed},  // a rogue in disguise
        {1234, info.WindowsDir + L"\\explorer.exe", ProcessGuard::SessionShell},
        {1234, L"C:\\Tools\\explorer.exe", ProcessGuard::Allowed},
    };
    for (const auto& c : cases) EXPECT_EQ(GuardOfProcess(c.id, c.path), c.expected) << testing::PrintToString(c.path);

    TWinSysXp sys;
    EXPECT_FALSE(sys.KillProcess(GetCurrentProcessId()));
    EXPECT_EQ(sys.LastGuard(), ProcessGuard::OwnProcess);
    EXPECT_FALSE(sys.KillProcessFallback(GetCurrentProcessId()));
}

TEST(ProcessSnapshot, ListsTheHelperWithItsLibraryAndThreadsButNeverItself) {
    test::HolderRun holder(L"tm_Holder_Case.exe");
    ASSERT_TRUE(holder.Started());
    TWinSysXp sys;
    sys.RefreshProcesses();
    EXPECT_EQ(Listed(sys, GetCurrentProcessId()), nullptr);
    const TProcessItem* item = Listed(sys, holder.Id());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(UpperCased(item->Path), UpperCased(holder.Exe()));
    EXPECT_EQ(item->Name, L"tm_Holder_Case.exe");
    EXPECT_TRUE(HasModule(*item, holder.Library()));
    EXPECT_FALSE(HasModule(*item, holder.Exe())) << "the image itself is not a module";
    EXPECT_GE(item->Threads.size(), 1u);
    std::wstring path;
    sys.GetProcessImagePath(holder.Id(), path);
    EXPECT_EQ(UpperCased(path), UpperCased(holder.Exe()));
    EXPECT_EQ(sys.FindProcessByPath(UpperCased(holder.Exe())), item);

    EXPECT_EQ(FindProcessIdByImageName(L"tm_holder_case.exe"), holder.Id());
    EXPECT_EQ(FindProcessIdByImageName(L"tm_holder_case"), 0u);

    // The tool-help listing finds the same, its library once.
    TWinSys9x nine;
    nine.RefreshProcesses();
    const TProcessItem* seen = Listed(nine, holder.Id());
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(UpperCased(seen->Path), UpperCased(holder.Exe()));
    EXPECT_EQ(std::count_if(seen->Modules.begin(), seen->Modules.end(),
                            [&](const auto& m) { return UpperCased(m->Path) == UpperCased(holder.Library()); }),
              1);
    EXPECT_EQ(Listed(nine, GetCurrentProcessId()), nullptr);
}

TEST(ProcessEnding, EndsAListedProcessButNotOneWhoseIdNowNamesAnotherImage) {
    {
        test::HolderRun holder;
        ASSERT_TRUE(holder.Started());
        Probe<TWinSysXp> sys;
        // The list says this id was another program when it was taken.
        sys.Add(holder.Id(), L"editor.exe", L"C:\\Tools\\editor.exe", 0);
        EXPECT_FALSE(sys.KillProcess(holder.Id()));
        EXPECT_EQ(sys.LastGuard(), ProcessGuard::ReusedId);
        EXPECT_FALSE(sys.EndShellProcess(holder.Id())) << "not the session's shell";
        EXPECT_TRUE(holder.Running());
    }
    for (bool nine : {false, true}) {
        test::HolderRun holder;
        ASSERT_TRUE(holder.Started());
        std::unique_ptr<TWinSys> sys = nine ? std::unique_ptr<TWinSys>(new TWinSys9x) : std::unique_ptr<TWinSys>(new TWinSys2k);
        sys->RefreshProcesses();
        EXPECT_TRUE(sys->KillProcess(holder.Id())) << nine;
        EXPECT_TRUE(holder.WaitExit(10000)) << nine;
    }
}

// Ending the users of a file before its removal (the removal itself is the removal service's,
// tested with it).
TEST(EndUsersOfFile, EndsTheProgramOrTheLibraryUsersAndNeverForAPattern) {
    for (bool library : {false, true}) {
        test::HolderRun holder;
        ASSERT_TRUE(holder.Started());
        TWinSysXp sys;
        const std::wstring folder = holder.Exe().substr(0, holder.Exe().find_last_of(L'\\'));
        // A pattern names no file: nothing is ended.
        for (const std::wstring& pattern : {folder + L"\\*.exe", folder + L"\\holder_li?.dll"}) sys.EndUsersOfFile(pattern);
        EXPECT_TRUE(holder.Running());
        sys.EndUsersOfFile(library ? holder.Library() : holder.Exe());
        EXPECT_TRUE(holder.WaitExit(10000)) << library;
    }
}

TEST(SessionAndDrivers, SessionFactsAndDriverThreads) {
    TWinSysXp sys;
    std::wstring user, hosts;
    sys.GetSessionUserName(user);
    EXPECT_FALSE(user.empty());
    sys.GetHostsPath(hosts);
    EXPECT_EQ(hosts, GetWinInfo().SystemDir + L"\\drivers\\etc\\hosts");
    TWinSys9x nine;
    nine.GetHostsPath(hosts);
    EXPECT_EQ(hosts, GetWinInfo().WindowsDir + L"\\hosts");
    std::wstring key = L"x";
    nine.GetSessionUserKey(key);
    EXPECT_TRUE(key.empty());

    const std::vector<DriverRecord> drivers = ReadDriverRecords();
    EXPECT_TRUE(std::is_sorted(drivers.begin(), drivers.end(),
                               [](const DriverRecord& a, const DriverRecord& b) { return a.Base > b.Base; }));
    EXPECT_TRUE(sys.FindDriverThreads(L"C:\\nowhere\\tm_no_such_driver.sys").empty());
    EXPECT_FALSE(sys.SuspendDriverThreads(L"tm_no_such_driver.sys"));
    EXPECT_FALSE(nine.SuspendDriverThreads(L"tm_no_such_driver.sys"));
    // Whatever a loaded driver runs, the threads found lie inside its image.
    for (const DriverRecord& driver : drivers) {
        for (const std::uint32_t id : sys.FindDriverThreads(driver.Name)) {
            bool inside = false;
            for (std::size_t i = 0; i < sys.ProcessCount(); ++i)
                for (const auto& t : sys.ProcessAt(i)->Threads)
                    if (t->ThreadId == id) inside = t->StartAddress >= driver.Base && t->StartAddress - driver.Base < driver.Size;
            EXPECT_TRUE(inside) << testing::PrintToString(driver.Name);
        }
    }
}

// The user key is found by the logon name its Explorer key holds; a list of keys that cannot be
// read (a handle that is no key) ends the search with nothing instead of asking for ever.
TEST(UserKeys, FoundByLogonNameAndTheSearchEndsOnAnError) {
    test::ScratchKey users;
    const std::wstring explorer = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
    for (const auto& [sid, logon] : {std::pair<std::wstring, std::wstring>{L"S-1-5-21-1", L"alice"},
                                     {L"S-1-5-21-2", L"Bob"}}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (users / (sid + explorer)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, L"Logon User Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(logon.c_str()),
                       static_cast<DWORD>((logon.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    HKEY list = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, users.path().c_str(), 0, KEY_READ, &list), ERROR_SUCCESS);
    const struct {
        const wchar_t* name;
        const wchar_t* key;
    } cases[] = {{L"bob", L"S-1-5-21-2"}, {L"ALICE", L"S-1-5-21-1"}, {L"carol", L""}};
    for (const auto& c : cases) EXPECT_EQ(FindUserKeyByLogonNameIn(list, c.name), c.key) << test::Narrow(c.name);
    RegCloseKey(list);
    EXPECT_EQ(FindUserKeyByLogonNameIn(list, L"bob"), L"") << "a closed handle";
    EXPECT_EQ(FindUserKeyByLogonNameIn(reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x1234)), L"bob"), L"");
}

}  // namespace
}  // namespace tidemark
