// The one removal service, judged on real files, keys and links in the test prefix: every case
// under every file method, then the other kinds of item.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "common/test_support.h"
#include "fixtures/proc_holder/holder_run.h"
#include "system/boot_list.h"
#include "system/text_case.h"
#include "removal/protected_places.h"
#include "removal/removal_service.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/recycle_file.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/sys_misc.h"

namespace tidemark {
namespace {

using std::wstring;

constexpr DWORD kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

DWORD AttributesOf(const wstring& path) { return GetFileAttributesW(ExtendedPath(path).c_str()); }
bool Exists(const wstring& path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

const char* MethodName(FileMethod method) {
    switch (method) {
        case FileMethod::Direct: return "direct";
        case FileMethod::RestartIfHeld: return "restart";
        case FileMethod::Recycle: return "recycle";
    }
    return "?";
}

// One file case: how the file is made, and the outcome under each method (direct, restart, recycle).
struct FileCase {
    const char* name;
    Outcome direct, restart, recycle;
};

class RemovalServiceFiles : public testing::Test {
protected:
    void SetUp() override {
        places_ = std::make_shared<ProtectedPlaces>();
        places_->AddSystemFile(dir_ / L"guarded.dll");
        places_->AddTree(dir_ / L"tree");
        service_ = std::make_unique<RemovalService>(places_);
        // The bin stands inside the prefix: a folder the stand-in moves files into.
        ASSERT_TRUE(test::MakeDirs(dir_ / L"bin"));
        const wstring bin = dir_ / L"bin";
        service_->SetRecycler([bin](const wstring& path) {
            const wstring name = path.substr(path.find_last_of(L'\\') + 1);
            return MoveFileW(ExtendedPath(path).c_str(), ExtendedPath(bin + L"\\" + name).c_str()) != FALSE;
        });
    }

    // Makes the case's file; returns its path (empty: none is made, the path is in path).
    wstring Make(const std::string& kind, int round) {
        const wstring n = std::to_wstring(round);
        if (kind == "plain") return Write(dir_ / (L"plain" + n + L".tmp"), 0);
        if (kind == "marked") return Write(dir_ / (L"marked" + n + L".tmp"), kMarks);
        if (kind == "in use") {
            const wstring path = Write(dir_ / (L"held" + n + L".tmp"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
            held_.reset(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            return held_ ? path : L"";
        }
        if (kind == "long") {
            wstring folder = dir_.path();
            for (int i = 0; i < 6; ++i) folder += L"\\" + wstring(50, static_cast<wchar_t>(L'a' + i));
            return Write(folder + L"\\long" + n + L".tmp", 0);
        }
        // A name the plain form takes for a device ("lpt5.tmp" is the printer port to it).
        if (kind == "device name") return Write(dir_ / (L"lpt" + std::to_wstring(1 + round % 9) + L".tmp"), 0);
        if (kind == "missing") return dir_ / (L"gone" + n + L".tmp");
        if (kind == "through a link") return L"C:\\tm-fixtures\\links\\tree\\zlink\\keep.txt";
        if (kind == "guarded") return Write(dir_ / L"guarded.dll", 0);
        return {};
    }

    wstring Write(const wstring& path, DWORD attributes) {
        return test::WriteFileText(path, "junk", attributes) ? path : L"";
    }

    test::ScratchDir dir_;
    std::shared_ptr<ProtectedPlaces> places_;
    std::unique_ptr<RemovalService> service_;
    UniqueHandle held_;
};

TEST_F(RemovalServiceFiles, EveryCaseUnderEveryMethod) {
    const FileCase cases[] = {
        {"plain", Outcome::Done, Outcome::Done, Outcome::Recycled},
        {"marked", Outcome::Done, Outcome::Done, Outcome::Recycled},
        {"in use", Outcome::Failed, Outcome::Deferred, Outcome::Failed},
        {"long", Outcome::Done, Outcome::Done, Outcome::Recycled},
        {"device name", Outcome::Done, Outcome::Done, Outcome::Recycled},
        {"missing", Outcome::Missing, Outcome::Missing, Outcome::Missing},
        {"through a link", Outcome::Refused, Outcome::Refused, Outcome::Refused},
        {"guarded", Outcome::Refused, Outcome::Refused, Outcome::Refused},
    };
    int round = 0;
    for (const FileCase& c : cases) {
        for (const FileMethod method : {FileMethod::Direct, FileMethod::RestartIfHeld, FileMethod::Recycle}) {
            SCOPED_TRACE(std::string(c.name) + " / " + MethodName(method));
            const Outcome expected =
                method == FileMethod::Direct ? c.direct : method == FileMethod::RestartIfHeld ? c.restart : c.recycle;
            const wstring path = Make(c.name, ++round);
            ASSERT_FALSE(path.empty());
            const DWORD before = AttributesOf(path);
            const Removal removal = service_->RemoveFile(path, FileRemovalOptions{method});
            EXPECT_EQ(removal.Result, expected);
            if (expected == Outcome::Failed) {
                EXPECT_NE(removal.Error, 0u);
            }
            if (expected == Outcome::Done || expected == Outcome::Recycled) {
                EXPECT_FALSE(Exists(path));
            }
            if (expected == Outcome::Failed || expected == Outcome::Refused) {
                // What stays is as it was, marks and all.
                EXPECT_EQ(AttributesOf(path), before);
            }
            if (expected == Outcome::Deferred) {
                // Left for the restart: hidden comes back, read-only stays cleared for the boot-time deletion.
                EXPECT_TRUE(AttributesOf(path) & FILE_ATTRIBUTE_HIDDEN);
                EXPECT_FALSE(AttributesOf(path) & FILE_ATTRIBUTE_READONLY);
            }
            held_.reset();
        }
    }
    // The link's target is untouched.
    EXPECT_TRUE(Exists(L"C:\\tm-fixtures\\links\\outside\\keep.txt"));
}

TEST_F(RemovalServiceFiles, FoldersAreJudgedAsFoldersAndNeverFollowedThroughLinks) {
    ASSERT_TRUE(test::WriteFileText(dir_ / L"tree\\drivers\\x.sys", "x"));
    ASSERT_TRUE(test::WriteFileText(dir_ / L"gone\\a\\b.txt", "x", FILE_ATTRIBUTE_READONLY));
    // The protected tree and every folder below it stay; a file in it may go.
    EXPECT_EQ(service_->RemoveFolderTree(dir_ / L"tree").Result, Outcome::Refused);
    EXPECT_EQ(service_->RemoveFolderTree(dir_ / L"tree\\drivers").Result, Outcome::Refused);
    EXPECT_EQ(service_->RemoveFolderTree(dir_.path()).Verdict, TargetVerdict::HoldsProtectedFolder);
    EXPECT_EQ(service_->RemoveFile(dir_ / L"tree\\drivers\\x.sys").Result, Outcome::Done);
    EXPECT_EQ(service_->RemoveFolderTree(dir_ / L"gone").Result, Outcome::Done);
    EXPECT_EQ(service_->RemoveFolderTree(dir_ / L"gone").Result, Outcome::Missing);
    EXPECT_EQ(service_->RemoveFolderTree(L"C:\\tm-fixtures\\links\\tree\\zlink\\sub").Result, Outcome::Refused);
    EXPECT_EQ(service_->RemoveFolderTree(L"C:\\").Result, Outcome::Refused);
    EXPECT_EQ(service_->RemoveFolderTree(L"relative\\folder").Result, Outcome::Refused);
    ASSERT_TRUE(test::MakeDirs(dir_ / L"empty"));
    ASSERT_TRUE(test::WriteFileText(dir_ / L"full\\f.txt", "x"));
    EXPECT_EQ(service_->RemoveEmptyFolder(dir_ / L"empty").Result, Outcome::Done);
    EXPECT_EQ(service_->RemoveEmptyFolder(dir_ / L"full").Result, Outcome::Failed);
    EXPECT_TRUE(Exists(dir_ / L"full\\f.txt"));
    EXPECT_TRUE(Exists(L"C:\\tm-fixtures\\links\\outside\\keep.txt"));
}

// A definition's file: the programs that run or load it are ended first; one another program
// merely holds open stays, goes at the restart and into the boot-time list, its holder left running.
TEST(RemovalServiceDefinitionFiles, HoldersAreEndedAndALockedFileGoesAtTheRestart) {
    const RemovalService service(std::make_shared<ProtectedPlaces>());
    const FileRemovalOptions definition{FileMethod::RestartIfHeld, true, true};
    for (bool library : {false, true}) {
        test::HolderRun holder;
        ASSERT_TRUE(holder.Started());
        const wstring target = library ? holder.Library() : holder.Exe();
        EXPECT_EQ(service.RemoveFile(target, definition).Result, Outcome::Done) << library;
        EXPECT_TRUE(holder.WaitExit(10000)) << library;
        EXPECT_FALSE(Exists(target)) << library;
    }
    test::HolderRun holder;
    ASSERT_TRUE(holder.Started());
    EXPECT_EQ(service.RemoveFile(holder.Held(), definition).Result, Outcome::Deferred);
    EXPECT_TRUE(holder.Running());
    EXPECT_TRUE(Exists(holder.Held()));
    const auto& lines = BootDeleteList().Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"F" + holder.Held()), lines.end());
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    wstring pending(32768, L'\0');
    DWORD bytes = static_cast<DWORD>(pending.size() * sizeof(wchar_t));
    const LONG read = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(pending.data()), &bytes);
    // A reboot never comes in a test prefix; do not leave the entry behind.
    RegDeleteValueW(key, L"PendingFileRenameOperations");
    RegCloseKey(key);
    ASSERT_EQ(read, ERROR_SUCCESS);
    EXPECT_NE(UpperCased(pending).find(UpperCased(holder.Held())), wstring::npos);
}

TEST(RemovalServiceRegistry, ValuesAndKeysByExactPathOnly) {
    test::ScratchKey key;
    const RemovalService service(std::make_shared<ProtectedPlaces>());
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key / L"Run", L"rogue", L"c:\\x.exe"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key / L"Tree\\Below", L"v", L"x"));
    EXPECT_EQ(service.RemoveRegValue(HKEY_CURRENT_USER, key / L"Run", L"rogue").Result, Outcome::Done);
    EXPECT_EQ(service.RemoveRegValue(HKEY_CURRENT_USER, key / L"Run", L"rogue").Result, Outcome::Missing);
    EXPECT_EQ(service.RemoveRegValuePath(L"HKEY_CURRENT_USER\\" + key.path() + L"\\Run\\nothing").Result, Outcome::Missing);
    // A root alone, an empty part or an unknown root name no key: refused, nothing touched.
    EXPECT_EQ(service.RemoveRegKeyTree(HKEY_CURRENT_USER, L"").Result, Outcome::Refused);
    EXPECT_EQ(service.RemoveRegKeyTree(HKEY_CURRENT_USER, key.path() + L"\\\\Tree").Result, Outcome::Refused);
    EXPECT_EQ(service.RemoveRegKeyPath(L"HKEY_NOWHERE\\" + key.path()).Result, Outcome::Refused);
    EXPECT_TRUE(OpenRegKey(HKEY_CURRENT_USER, key / L"Tree\\Below", KEY_READ));
    EXPECT_EQ(service.RemoveRegKeyPath(L"HKEY_CURRENT_USER\\" + key.path() + L"\\Tree").Result, Outcome::Done);
    EXPECT_FALSE(OpenRegKey(HKEY_CURRENT_USER, key / L"Tree", KEY_READ));
    EXPECT_EQ(service.RemoveRegKeyTree(HKEY_CURRENT_USER, key / L"Tree").Result, Outcome::Missing);
    EXPECT_EQ(service.RemoveService(nullptr, L"tm-no-such-service").Result, Outcome::Missing);
    EXPECT_EQ(service.RemoveService(nullptr, L"bad\\name").Result, Outcome::Refused);
}

// A store that refuses every file and folder as the system refuses a program without
// administrator rights in the program-files folder.
class RefusingStore final : public RemovalRecorder {
public:
    std::optional<std::size_t> RecordValue(HKEY, const wstring&, const wstring&) override { return 0; }
    std::optional<std::size_t> RecordKeyTree(HKEY, const wstring&) override { return 0; }
    std::optional<std::size_t> RecordService(const wstring&) override { return 0; }
    void Settle(std::size_t, bool) override {}
    Removal StoreFile(const wstring&, DWORD) override { return Refusal(); }
    Removal StoreFolder(const wstring&) override { return Refusal(); }
    void RecordNotRestorable(const wstring&) override {}

private:
    static Removal Refusal() {
        Removal removal;
        removal.Error = ERROR_ACCESS_DENIED;
        return removal;
    }
};

// What the system refuses to change: without administrator rights the refusal needs them and
// is counted, with them it is a plain failure; either way nothing is touched. Keys refused by
// the registry, files and folders by the undo journal's store that should have taken them.
TEST(RemovalServiceRights, ARefusalNeedsAdministratorRightsOnlyWithoutThem) {
    test::ScratchKey key;
    test::ScratchDir dir;
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key / L"Run", L"rogue", L"c:\\x.exe"));
    ASSERT_TRUE(test::WriteFileText(dir / L"folder\\a.dll", "x"));
    RemovalService service(std::make_shared<ProtectedPlaces>());
    service.SetRegistryAccess(test::OpenKeyForReadingOnly, test::RefuseKeyRemoval);
    RefusingStore store;
    const RemovalService stored = service.Recorded(store);
    for (const bool admin : {false, true}) {
        SCOPED_TRACE(admin ? "administrator" : "without rights");
        const test::ScopedAdminRights rights(admin);
        AdminRefusalTally tally;
        const Removal answers[] = {
            service.RemoveRegValue(HKEY_CURRENT_USER, key / L"Run", L"rogue"),
            service.RemoveRegKeyTree(HKEY_CURRENT_USER, key / L"Run"),
            stored.RemoveFile(dir / L"folder\\a.dll", FileRemovalOptions{FileMethod::Direct}),
            stored.RemoveFolderTree(dir / L"folder"),
        };
        for (const Removal& answer : answers) {
            EXPECT_EQ(answer.Result, Outcome::Failed);
            EXPECT_EQ(answer.Error, static_cast<unsigned long>(ERROR_ACCESS_DENIED));
            EXPECT_EQ(answer.NeedsAdmin(), !admin);
        }
        EXPECT_EQ(tally.Total(), admin ? 0u : 4u);
        // Gone already is no refusal.
        EXPECT_EQ(service.RemoveRegValue(HKEY_CURRENT_USER, key / L"Run", L"nothing").Result, Outcome::Missing);
        EXPECT_EQ(tally.Total(), admin ? 0u : 4u);
        EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, key / L"Run", L"rogue"));
        EXPECT_TRUE(Exists(dir / L"folder\\a.dll"));
    }
}

// A file the system refuses to delete now (a library a running program has loaded): as
// administrator it goes at the restart; without administrator rights neither restart list could
// be written, so it stays, failed for want of rights, and nothing is recorded for the restart.
TEST(RemovalServiceRights, AFileRefusedForWantOfRightsIsNotLeftForTheRestart) {
    const RemovalService service(std::make_shared<ProtectedPlaces>());
    const FileRemovalOptions restart{FileMethod::RestartIfHeld, false, true};
    test::HolderRun holder;
    ASSERT_TRUE(holder.Started());
    const auto listed = [&] {
        const auto& lines = BootDeleteList().Lines();
        return std::find(lines.begin(), lines.end(), L"F" + holder.Library()) != lines.end();
    };
    {
        const test::ScopedAdminRights without(false);
        const Removal refused = service.RemoveFile(holder.Library(), restart);
        EXPECT_EQ(refused.Result, Outcome::Failed);
        EXPECT_TRUE(refused.NeedsAdmin());
        EXPECT_FALSE(listed());
    }
    EXPECT_EQ(service.RemoveFile(holder.Library(), restart).Result, Outcome::Deferred);
    EXPECT_TRUE(listed());
    EXPECT_TRUE(Exists(holder.Library()));
    // A reboot never comes in a test prefix; do not leave the entry behind.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_SET_VALUE,
                            &key),
              ERROR_SUCCESS);
    RegDeleteValueW(key, L"PendingFileRenameOperations");
    RegCloseKey(key);
}

TEST(RecycleBin, KeepsOnlyWhatTheBinWouldKeep) {
    const struct {
        RecycleBinSettings bin;
        unsigned long long size;
        bool keeps;
    } cases[] = {
        {{true, false, 0}, 1ull << 40, true},           // no limit known
        {{true, false, 1000}, 1000, true},
        {{true, false, 1000}, 1001, false},             // too big: the shell would destroy it
        {{true, true, 1ull << 40}, 1, false},           // set to delete at once
        {{false, false, 0}, 1, false},                  // no bin on the drive
        {{true, false, 52428800ull * 1024}, 50ull << 30, true},  // 50 GB against a 50 GB bin
    };
    for (const auto& c : cases) EXPECT_EQ(RecycleBinKeepsFile(c.bin, c.size), c.keeps) << c.size;
}

}  // namespace
}  // namespace tidemark

namespace tidemark {
namespace {

// Every name 64-bit Windows gives its system and program folders is guarded, whichever view a
// path was named in.
TEST(SystemGuard, BothViewsOfTheSystemAndProgramFolders) {
    const ProtectedPlaces places = ProtectedFoldersOfSystem();
    wchar_t windows[MAX_PATH] = {};
    GetSystemWindowsDirectoryW(windows, MAX_PATH);
    auto env = [](const wchar_t* name) {
        wchar_t folder[MAX_PATH] = {};
        GetEnvironmentVariableW(name, folder, MAX_PATH);
        return wstring(folder);
    };
    for (const wstring& folder : {wstring(windows) + L"\\System32", wstring(windows) + L"\\SysWOW64",
                                  wstring(windows) + L"\\Sysnative", env(L"ProgramFiles(x86)"), env(L"ProgramW6432"),
                                  env(L"CommonProgramFiles(x86)"), env(L"CommonProgramW6432")}) {
        ASSERT_GT(folder.size(), 3u);
        EXPECT_EQ(JudgeFolderTarget(folder, places), TargetVerdict::ProtectedFolder) << test::Narrow(folder);
    }
    // Folders below the 64-bit System32 are guarded by its alias too.
    EXPECT_EQ(JudgeFolderTarget(wstring(windows) + L"\\Sysnative\\drivers", places), TargetVerdict::ProtectedFolder);
}

}  // namespace
}  // namespace tidemark
