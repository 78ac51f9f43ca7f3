#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "engine/builtin_routines.h"
#include "engine/definition_store.h"
#include "engine/sealed_text.h"
#include "engine/soft_obj.h"
#include "engine/store_keys.h"
#include "system/handles.h"
#include "system/prompt.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/text_case.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

using std::wstring;
using Texts = std::vector<wstring>;
using test::MakeDirs;
using test::ScratchDir;

const wstring kServices = L"SYSTEM\\CurrentControlSet\\Services";
const wstring kHklmServices = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";
const wstring kRun = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wstring kHklmRun = L"HKEY_LOCAL_MACHINE\\" + kRun + L"\\";

// A key of the machine's real registry made for one test, removed with its tree afterwards.
class TestKey {
public:
    TestKey(HKEY root, wstring path) : root_(root), path_(std::move(path)) {}
    ~TestKey() { RegDeleteKeyTree(root_, path_); }
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;
    TestKey& Set(const wstring& name, const wstring& text, DWORD type = REG_SZ) { return SetBelow(L"", name, text, type); }
    TestKey& SetBelow(const wstring& subkey, const wstring& name, const wstring& text, DWORD type = REG_SZ) {
        UniqueHKey key = CreateRegKey(root_, subkey.empty() ? path_ : path_ + L"\\" + subkey, KEY_ALL_ACCESS);
        EXPECT_TRUE(key && SetStringValue(key.get(), name, text, type)) << testing::PrintToString(path_);
        return *this;
    }

private:
    HKEY root_;
    wstring path_;
};

// One value under a key others share (the Run keys), deleted afterwards.
class TestValue {
public:
    TestValue(HKEY root, wstring path, wstring name, const wstring& text) : root_(root), path_(std::move(path)), name_(std::move(name)) {
        UniqueHKey key = CreateRegKey(root_, path_, KEY_ALL_ACCESS);
        EXPECT_TRUE(key && SetStringValue(key.get(), name_, text)) << testing::PrintToString(name_);
    }
    ~TestValue() { DeleteRegValue(root_, path_, name_); }
    TestValue(const TestValue&) = delete;
    TestValue& operator=(const TestValue&) = delete;

private:
    HKEY root_;
    wstring path_, name_;
};

// A zero-filled file of that size (sparse where the file system allows).
void MakeFile(const wstring& path, DWORD size) {
    ASSERT_TRUE(MakeDirs(path.substr(0, path.rfind(L'\\'))));
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << testing::PrintToString(path);
    ASSERT_NE(SetFilePointer(file.get(), static_cast<LONG>(size), nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    ASSERT_TRUE(SetEndOfFile(file.get()));
}

// A Windows of the test's own in a scratch folder: the routines' folders point into it.
struct Machine {
    Machine() {
        const wstring windows = dir / L"Windows";
        context.Drive = L"C";
        context.Win = LowerCased(windows) + L"\\";
        context.Sys = windows + L"\\system32\\";
        context.WinSys = windows + L"\\system\\";
        context.WinSys32 = windows + L"\\system32\\";
        context.CommonApp = dir / L"AllUsersData";
        for (const wstring& folder : {context.Win + L"temp", context.Sys + L"drivers", context.WinSys, context.CommonApp}) {
            EXPECT_TRUE(MakeDirs(folder));
        }
    }
    std::unique_ptr<TSoftObj> Run(std::int32_t id) const {
        auto object = std::make_unique<TSoftObj>();
        object->Id = id;
        RunBuiltInRoutine(*object, context);
        return object;
    }
    ScratchDir dir;
    RoutineContext context;
};

Texts Paths(const ItemList& list) {
    Texts paths;
    for (const auto& item : list) paths.push_back(item->Path);
    return paths;
}

Texts Sorted(Texts texts) {
    std::sort(texts.begin(), texts.end());
    return texts;
}

int EntriesOf(const TSoftObj& object) { return object.EntryCount() + object.CheckCount(); }

// The current folder for one scope: a bare name must never be read against it.
class CurrentFolder {
public:
    explicit CurrentFolder(const wstring& folder) {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        SetCurrentDirectoryW(folder.c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryW(previous_); }

private:
    wchar_t previous_[MAX_PATH] = {};
};

TEST(BuiltInRoutines, TableNamesTheRoutineIdsAndIdsWithoutEffectAddNothing) {
    for (const int id : {5, 11, 24, 54, 68, 81, 86, 92, 93, 97, 100, 110, 115, 121, 130, 141, 171, 172, 183, 199, 222, 225, 244}) {
        EXPECT_TRUE(HasBuiltInRoutine(id)) << id;
    }
    for (const int id : {0, 1, 6, 13, 1001, -1}) EXPECT_FALSE(HasBuiltInRoutine(id)) << id;
    Machine machine;
    for (const int id : {110, 121, 6}) EXPECT_EQ(EntriesOf(*machine.Run(id)), 0) << id;
}

TEST(BuiltInRoutines, SharedValuesComeFromTheSystemFacts) {
    TWinInfo info;
    info.Drive = L"C";
    info.WindowsDir = L"C:\\WINDOWS";
    info.SystemDir = L"C:\\WINDOWS\\System32";
    info.Kind = 3;
    RoutineContext nt = BuildRoutineContext(info);
    EXPECT_EQ(nt.Drive, L"C");
    EXPECT_EQ(nt.Win, L"c:\\windows\\");
    EXPECT_EQ(nt.Sys, L"C:\\WINDOWS\\System32\\");
    EXPECT_EQ(nt.WinSys, L"C:\\WINDOWS\\system\\");
    EXPECT_EQ(nt.WinSys32, L"C:\\WINDOWS\\system32\\");
    EXPECT_EQ(nt.CommonApp, GetFolderPath(0x23));
    EXPECT_FALSE(nt.CommonApp.empty());
    info.Kind = 0;
    EXPECT_EQ(BuildRoutineContext(info).CommonApp, GetSpecialFolder(0x1A));
    // The default seam finds no driver threads, as on the 9x family.
    EXPECT_FALSE(nt.Threads.Find(L"abcdefgh.sys"));
}

TEST(BuiltInRoutines, OnlyAQualifiedPathToAnExistingFileIsTaken) {
    ScratchDir dir;
    const wstring file = dir / L"my svc\\host.exe", docs = dir / L"My Documents";
    MakeFile(file, 10);
    MakeFile(docs + L"\\letter.doc", 10);
    MakeFile(dir / L"mscoree.dll", 10);
    CurrentFolder current(dir.path());
    const struct {
        wstring text;
        wstring taken;  // empty: not taken
    } cases[] = {
        {file, file},
        {L"  \"" + file + L"\" ", file},
        {file + L" -k netsvcs", L""},
        {L"\"" + file + L"\" -k", L""},
        {docs + L"\\*", L""},
        {docs + L"\\letter.do?", L""},
        {docs, L""},  // a folder
        {L"mscoree.dll", L""},
        {L".\\mscoree.dll", L""},
        {dir / L"my svc\\..\\mscoree.dll", L""},
        {dir / L"my svc\\\\host.exe", L""},
        {dir / L"missing.dll", L""},
        {L"\\\\?\\" + file, L""},
        {file + L":stream", L""},
        {L"C:", L""},
        {L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QualifiedExistingFile(c.text).value_or(L""), c.taken) << testing::PrintToString(c.text);
    }
    EXPECT_EQ(QualifiedExistingFolder(docs + L"\\").value_or(L""), docs + L"\\");
    EXPECT_FALSE(QualifiedExistingFolder(file));
    EXPECT_FALSE(QualifiedExistingFolder(L"C:\\"));
    EXPECT_FALSE(QualifiedExistingFolder(L"My Documents"));

    // Arguments stripped the way the system reads an unquoted command.
    EXPECT_EQ(ProgramOfImagePath(file + L" -k netsvcs"), file);
    EXPECT_EQ(ProgramOfImagePath(L"\"" + file + L"\" -k netsvcs"), file);
    EXPECT_EQ(ProgramOfImagePath(L"mscoree.dll"), L"");
    EXPECT_EQ(ProgramOfImagePath(docs + L"\\* -x"), L"");
}

// Id 5: the two first services whose display name repeats the description name and whose
// driver file has one of the sizes; every way of failing one condition is passed over.
TEST(BuiltInRoutines, DriverServicesBySizeStopAfterTheSecond) {
    Machine machine;
    const RoutineContext& c = machine.context;
    const wstring drivers = c.Sys + L"drivers\\";
    MakeFile(drivers + L"tmrk5a.sys", 23040);
    MakeFile(drivers + L"tmrk5b.sys", 87466);
    MakeFile(drivers + L"tmrk5c.sys", 176330);
    MakeFile(drivers + L"tmrk5d.sys", 1000);
    MakeFile(machine.dir / L"tmrk5e.sys", 178440);
    SetEnvironmentVariableW(L"TM_RK5_DRIVERS", drivers.c_str());
    const struct {
        wstring name, display, image;
    } services[] = {
        // Passed over: display name differs, wrong size, a wildcard (it would size another
        // file), no "drivers\" in the path, an NT object path.
        {L"TmRk5A1", L"Other", L"\\SystemRoot\\system32\\drivers\\tmrk5a.sys"},
        {L"TmRk5A2", L"TmDrv", drivers + L"tmrk5d.sys"},
        {L"TmRk5A3", L"TmDrv", drivers + L"tmrk5*.sys"},
        {L"TmRk5A4", L"TmDrv", machine.dir / L"tmrk5e.sys"},
        {L"TmRk5A5", L"TmDrv", L"\\??\\" + drivers + L"tmrk5a.sys"},
        // Taken: below \SystemRoot, below system32, then one more that comes too late.
        {L"TmRk5B1", L"TmDrv", L"\\SystemRoot\\System32\\drivers\\TmRk5A.sys"},
        {L"TmRk5B2", L"TmDrv", L"system32\\drivers\\tmrk5b.sys"},
        {L"TmRk5B3", L"TmDrv", L"%TM_RK5_DRIVERS%tmrk5c.sys"},
    };
    std::vector<std::unique_ptr<TestKey>> keys;
    for (const auto& s : services) {
        keys.push_back(std::make_unique<TestKey>(HKEY_LOCAL_MACHINE, kServices + L"\\" + s.name));
        keys.back()->Set(L"DescriptionName", L"TmDrv").Set(L"DisplayName", s.display).Set(L"ImagePath", s.image, REG_EXPAND_SZ);
    }
    const auto object = machine.Run(5);
    EXPECT_EQ(Paths(object->Services), (Texts{L"TmRk5B1", L"TmRk5B2"}));
    EXPECT_EQ(Paths(object->CheckKeys), (Texts{kHklmServices + L"TmRk5B1", kHklmServices + L"TmRk5B2"}));
    const wstring sys = c.Sys.substr(0, c.Sys.size() - 1);
    EXPECT_EQ(Paths(object->CheckFiles), (Texts{c.Win + L"system32\\drivers\\tmrk5a.sys", sys + L"\\drivers\\tmrk5b.sys"}));
}

TEST(BuiltInRoutines, Run3721ValuesAndPolicyRunClassValues) {
    TestValue a(HKEY_LOCAL_MACHINE, kRun, L"Tm3721Bar", L"x"), b(HKEY_LOCAL_MACHINE, kRun, L"tm_x3721", L"x"),
        c(HKEY_LOCAL_MACHINE, kRun, L"TmOther", L"x"),
        // A backslash would make the value path name another value in a subkey.
        d(HKEY_LOCAL_MACHINE, kRun, L"Tm\\3721", L"x");
    Machine machine;
    EXPECT_EQ(Sorted(Paths(machine.Run(11)->RegValues)), (Texts{kHklmRun + L"Tm3721Bar", kHklmRun + L"tm_x3721"}));

    const wstring policyRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
    const wstring hkcuRun = L"HKEY_CURRENT_USER\\" + policyRun + L"\\";
    const wstring common = L"C:\\Program Files\\Common Files\\";
    const wstring id1 = L"{A7E8F3B2-2C4D-4F6E-9A1B-3C5D7E9F1A2B}", id2 = L"{0D1E2F30-4152-6374-8596-A7B8C9D0E1F2}";
    ASSERT_TRUE(MakeDirs(common + id1));
    TestKey run(HKEY_CURRENT_USER, policyRun);
    run.Set(id1, L"\"" + common + id1 + L"\\svcupd.exe\" /background")  // its folder, which exists
        .Set(id2, common + id2 + L"\\svcupd.exe")                       // a folder that does not exist
        .Set(L"{3}", common + L"{3}\\x.exe")                           // not named by a class id
        .Set(L"{4}", common + id1 + L"x\\y.exe")                       // the name goes on after the id
        .Set(L"{5}", common + L"svcupd.exe")                           // Common Files itself
        .Set(L"{6\\7}", common + id1)
        .Set(L"tm{8}", common + id1);
    const auto object = machine.Run(222);
    EXPECT_EQ(Sorted(Paths(object->RegValues)),
              Sorted({hkcuRun + id1, hkcuRun + id2, hkcuRun + L"{3}", hkcuRun + L"{4}", hkcuRun + L"{5}"}));
    EXPECT_EQ(Paths(object->Folders), (Texts{common + id1 + L"\\"}));
    RemoveDirectoryW((common + id1).c_str());
}

// Ids 24 and 171: the stem of a short library in the Windows folder, its fourth-letter
// variants, and the candidates of each in four folders.
TEST(BuiltInRoutines, RandomNamedLibraryOfPairA) {
    Machine machine;
    const RoutineContext& c = machine.context;
    const wstring classA1 = L"{5A6F2F95-3191-433B-8533-EB0B596A7BAC}", classA2 = L"{F2E37336-BFDB-409B-8D0E-6F013C438B20}";
    const auto candidates = [&](const wstring& file) {
        return Texts{c.Win + file, c.WinSys + file, c.WinSys32 + file, L"C:\\Program Files\\Common Files\\" + file};
    };
    const struct {
        wstring classId, server;
        int files;
    } cases[] = {
        {classA1, c.Win + L"system32\\abcd0.dll", 36},  // stems abcd0, abci0, abco0, three candidates each
        {classA2, c.Win + L"ABCI.DLL", 24},             // abci, abco, abcd: two candidates each
        {classA1, c.Win + L"ab.dll", 8},                // too short for variants
        {classA1, c.Win + L"abcdefg.dll", 0},           // 11 characters
        {classA1, machine.dir / L"abcd0.dll", 0},       // not in the Windows folder
        {classA1, c.Win + L"abcd0.exe", 0},
        {classA2, c.Win + L"*.dll", 0},                 // would list the system folders
        {classA2, c.Win + L"a?cd.dll", 0},
    };
    for (const auto& k : cases) {
        TestKey key(HKEY_CLASSES_ROOT, L"CLSID\\" + k.classId);
        key.SetBelow(L"InprocServer32", L"", k.server);
        for (const int id : {24, 171}) {
            const auto object = machine.Run(id);
            SCOPED_TRACE(testing::PrintToString(k.server));
            ASSERT_EQ(object->CheckFiles.size(), static_cast<std::size_t>(k.files));
            EXPECT_EQ(Paths(object->CheckKeys), k.files ? Texts{L"HKEY_CLASSES_ROOT\\CLSID\\" + k.classId} : Texts{});
        }
    }
    TestKey key(HKEY_CLASSES_ROOT, L"CLSID\\" + classA1);
    key.SetBelow(L"InprocServer32", L"", c.Win + L"system32\\abcd0.dll");
    const Texts files = Paths(machine.Run(24)->CheckFiles);
    Texts expected;
    for (const wstring stem : {L"abcd0", L"abci0", L"abco0"}) {
        for (const wstring& file : {stem + L".dll", stem + L".exe", stem.substr(0, 4) + L".exe"}) {
            for (const wstring& path : candidates(file)) expected.push_back(path);
        }
    }
    EXPECT_EQ(files, expected);
}

// Id 54: the folder of the library that rundll32 runs, from the class or else the service.
TEST(BuiltInRoutines, JMediaServiceFolderFromTheCommand) {
    Machine machine;
    const wstring folder = machine.dir / L"Media Files";
    ASSERT_TRUE(MakeDirs(folder));
    const wstring classId = L"{6671A431-5C3D-463d-A7CF-5587F9B7E191}", classKey = L"HKEY_CLASSES_ROOT\\CLSID\\" + classId;
    const wstring serviceKey = kHklmServices + L"JMediaService";
    const auto filesIn = [](const wstring& base) {
        Texts files;
        for (const wchar_t* name : {L"mmsass~1.dll", L"mmssver~1.dll", L"Albus.SYS", L"Albus.Dll", L"update.ini", L"mms.ini"}) {
            files.push_back(base + name);
        }
        return files;
    };
    const wstring base = LowerCased(folder) + L"\\";
    const struct {
        wstring server, image;  // empty: not registered
        wstring key;
        bool files;
    } cases[] = {
        {L"C:\\windows\\system32\\rundll32.exe " + folder + L"\\mmsass~1.dll,Start", L"", classKey, true},
        {L"", L"rundll32 \"" + folder + L"\\mmsass~1.dll\",Run", serviceKey, true},
        {L"rundll32.exe " + folder + L"\\*\\mmsass~1.dll", L"", classKey, false},
        {L"rundll32.exe mmsass~1.dll,Start", L"", classKey, false},  // no folder: never the current one
        {L"rundll32.exe C:\\nowhere\\mmsass~1.dll", L"", classKey, false},
        {L"", L"C:\\windows\\system32\\svchost.exe -k media", serviceKey, false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::PrintToString(k.server + k.image));
        TestKey cls(HKEY_CLASSES_ROOT, L"CLSID\\" + classId), service(HKEY_LOCAL_MACHINE, kServices + L"\\JMediaService");
        if (!k.server.empty()) cls.SetBelow(L"InprocServer32", L"", k.server);
        if (!k.image.empty()) service.Set(L"ImagePath", k.image, REG_EXPAND_SZ);
        const auto object = machine.Run(54);
        EXPECT_EQ(Paths(object->CheckKeys), Texts{k.key});
        EXPECT_EQ(Paths(object->CheckFiles), k.files ? filesIn(base) : Texts{});
        EXPECT_EQ(Paths(object->Folders), k.files ? (Texts{base + L"updmms\\", base + L"updmmsex\\"}) : Texts{});
    }
    EXPECT_EQ(EntriesOf(*machine.Run(54)), 0);
}

// Ids 68, 141, 81 and 172: the routines' own patterns, and the servers that name the folder.
// On 64-bit Windows a routine that reads the software branch or the class registrations runs
// in each registry view: what a view registers is added in that view, and a file both views'
// registrations name is added once.
TEST(BuiltInRoutines, RoutinesReadingRegistrationsRunInEachView) {
    if (!SystemIs64Bit()) GTEST_SKIP() << "32-bit Windows has one registry view";
    Machine machine;
    const wstring classId = L"{D4D5C535-BA95-4327-870D-A33826FDD17A}", server = machine.dir / L"rogue.dll";
    MakeFile(server, 10);
    auto views = [](const ItemList& list) {
        std::vector<RegView> seen;
        for (const auto& item : list) seen.push_back(item->View);
        return seen;
    };
    for (const RegView view : {RegView::Bits64, RegView::Bits32}) {
        const ScopedRegView scope(view);
        UniqueHKey key = CreateRegKey(HKEY_CLASSES_ROOT, L"CLSID\\" + classId + L"\\InprocServer32", KEY_ALL_ACCESS);
        ASSERT_TRUE(key && SetStringValue(key.get(), L"", server));
        UniqueHKey run = CreateRegKey(HKEY_LOCAL_MACHINE, kRun, KEY_ALL_ACCESS);
        ASSERT_TRUE(run && SetStringValue(run.get(), view == RegView::Bits32 ? L"Tm3721Of32" : L"Tm3721Of64", L"x"));
    }
    const auto classes = machine.Run(93);
    const auto run = machine.Run(11);
    for (const RegView view : {RegView::Bits64, RegView::Bits32}) {
        const ScopedRegView scope(view);
        RegDeleteKeyTree(HKEY_CLASSES_ROOT, L"CLSID\\" + classId);
        DeleteRegValue(HKEY_LOCAL_MACHINE, kRun, view == RegView::Bits32 ? L"Tm3721Of32" : L"Tm3721Of64");
    }
    EXPECT_EQ(Paths(classes->CheckFiles), Texts{LowerCased(server)});
    EXPECT_EQ(Paths(classes->CheckKeys), (Texts{L"HKEY_CLASSES_ROOT\\CLSID\\" + classId, L"HKEY_CLASSES_ROOT\\CLSID\\" + classId}));
    EXPECT_EQ(views(classes->CheckKeys), (std::vector<RegView>{RegView::Bits64, RegView::Bits32}));
    EXPECT_EQ(Paths(run->RegValues), (Texts{kHklmRun + L"Tm3721Of64", kHklmRun + L"Tm3721Of32"}));
    EXPECT_EQ(views(run->RegValues), (std::vector<RegView>{RegView::Bits64, RegView::Bits32}));
}

TEST(BuiltInRoutines, TemporaryProgramsAndIeHelperLibraries) {
    Machine machine;
    const RoutineContext& c = machine.context;
    for (const wchar_t* name : {L"YOK_1.exe", L"YOK_setup2.exe", L"other.exe", L"KooWoLyricBind_7.exe", L"YOK_.txt"}) {
        MakeFile(c.Win + L"temp\\" + name, 100);
    }
    const wstring helper = c.CommonApp + L"\\Microsoft\\IEHelper\\";
    MakeFile(helper + L"IEHelper_a1.dll", 100);
    MakeFile(helper + L"IEHelper.dll", 100);
    EXPECT_EQ(Sorted(Paths(machine.Run(68)->CheckFiles)), (Texts{c.Win + L"temp\\YOK_1.exe", c.Win + L"temp\\YOK_setup2.exe"}));
    EXPECT_EQ(Paths(machine.Run(141)->CheckFiles), (Texts{c.Win + L"temp\\KooWoLyricBind_7.exe"}));

    TestKey first(HKEY_CLASSES_ROOT, L"CLSID\\{16A770A0-0E87-4278-B748-2460D64A8386}"),
        second(HKEY_CLASSES_ROOT, L"CLSID\\{16B770A0-0E87-4278-B748-2460D64A8386}");
    first.SetBelow(L"InprocServer32", L"", helper + L"IEHelper.dll");
    // "*" in a server would expand to the whole folder and remove what holds it.
    second.SetBelow(L"InprocServer32", L"", helper + L"*");
    for (const int id : {81, 172}) {
        EXPECT_EQ(Paths(machine.Run(id)->CheckFiles), (Texts{helper + L"IEHelper_a1.dll", LowerCased(helper + L"IEHelper.dll")})) << id;
    }
    second.SetBelow(L"InprocServer32", L"", helper + L"IEHelper.dll -embedding");
    EXPECT_EQ(machine.Run(81)->CheckFiles.size(), 2u);

    // Without a Windows folder the patterns are never searched relative to the current folder.
    MakeFile(machine.dir / L"temp\\YOK_9.exe", 100);
    CurrentFolder current(machine.dir.path());
    machine.context.Win.clear();
    machine.context.CommonApp.clear();
    EXPECT_EQ(machine.Run(68)->CheckFiles.size(), 0u);
    EXPECT_EQ(machine.Run(81)->CheckFiles.size(), 1u);  // the first class's server only
}

// Id 86: the rogue library of the service, never the host program that carries it.
TEST(BuiltInRoutines, IrjitServicesAddTheLibraryNeverTheHost) {
    Machine machine;
    const wstring dir = LowerCased(machine.dir.path());
    MakeFile(dir + L"\\wbem\\irjit.dll", 100);
    MakeFile(dir + L"\\spted.dll", 100);
    SetEnvironmentVariableW(L"TM_R86", dir.c_str());
    const struct {
        wstring name, image, library;
    } services[] = {
        {L"TmIrjitA", L"%SystemRoot%\\system32\\rundll32.exe " + dir + L"\\wbem\\irjit.dll,Start", L"%TM_R86%\\spted.dll"},
        {L"TmIrjitB", L"%SystemRoot%\\system32\\svchost.exe -k spted.dll", dir + L"\\spted.dll"},
        {L"TmIrjitC", dir + L"\\wbem\\irjit.dll", L"mscoree.dll"},
        {L"TmIrjitD", dir + L"\\wbem\\irjit.dll", L""},  // no service library: not this program
        {L"TmIrjitE", dir + L"\\My Documents\\* wbem\\irjit.dll", dir + L"\\My Documents\\*"},
        {L"TmIrjitF", dir + L"\\other.dll", dir + L"\\spted.dll"},
    };
    std::vector<std::unique_ptr<TestKey>> keys;
    for (const auto& s : services) {
        keys.push_back(std::make_unique<TestKey>(HKEY_LOCAL_MACHINE, kServices + L"\\" + s.name));
        keys.back()->Set(L"ImagePath", s.image, REG_EXPAND_SZ);
        if (!s.library.empty()) keys.back()->SetBelow(L"Parameters", L"ServiceDll", s.library);
    }
    const auto object = machine.Run(86);
    EXPECT_EQ(Paths(object->Services), (Texts{L"TmIrjitA", L"TmIrjitB", L"TmIrjitC", L"TmIrjitE"}));
    const wstring irjit = dir + L"\\wbem\\irjit.dll", spted = dir + L"\\spted.dll";
    EXPECT_EQ(Paths(object->CheckFiles), (Texts{irjit, spted, spted, irjit}));
}

// Ids 92, 93, 97, 100 and 115: a file named by the registry, added when it is a real file.
TEST(BuiltInRoutines, ServersRunDataAndPackagesNamedByTheRegistry) {
    Machine machine;
    const RoutineContext& c = machine.context;
    const wstring dnsecClass = L"{A405D44C-4B7B-43EA-A3EA-7E0E3065220E}", ppClass = L"{6F26ED6F-82C2-4B64-B1A7-40E644225E97}";
    MakeFile(c.Win + L"dnsec.exe", 100);
    MakeFile(c.Win + L"qwert.exe", 100);
    {
        TestKey local(HKEY_CLASSES_ROOT, L"CLSID\\" + dnsecClass), sectemp(HKEY_LOCAL_MACHINE, L"Software\\SECTEMP");
        local.SetBelow(L"LocalServer32", L"", L"\"" + c.Win + L"DNSEC.exe\"");
        sectemp.Set(L"secname", L"AbCdE");
        TestValue run(HKEY_LOCAL_MACHINE, kRun, L"abcde", c.Win + L"QWERT.exe");
        const auto dnsecFound = machine.Run(92);
        EXPECT_EQ(Paths(dnsecFound->CheckKeys), Texts{L"HKEY_CLASSES_ROOT\\CLSID\\" + dnsecClass});
        EXPECT_EQ(Paths(dnsecFound->CheckFiles), (Texts{c.Win + L"dnsec.exe", c.Win + L"qwert.exe"}));
        EXPECT_EQ(Paths(dnsecFound->RegValues), Texts{kHklmRun + L"abcde"});
        const auto ppFound = machine.Run(100);  // the other class has no local server
        EXPECT_EQ(Paths(ppFound->CheckFiles), Texts{c.Win + L"qwert.exe"});
        EXPECT_EQ(Paths(ppFound->CheckKeys), Texts{});
        EXPECT_EQ(Paths(ppFound->RegValues), Texts{kHklmRun + L"abcde"});
    }
    {
        // Set B: a server with a folder that exists; one without a folder; one whose file is gone.
        MakeFile(machine.dir / L"b1.dll", 100);
        TestKey b1(HKEY_CLASSES_ROOT, L"CLSID\\{D4D5C535-BA95-4327-870D-A33826FDD17A}"),
            b2(HKEY_CLASSES_ROOT, L"CLSID\\{A228F9F7-3FDF-48AF-985C-EEC8757F3282}"),
            b3(HKEY_CLASSES_ROOT, L"CLSID\\{4F7F2311-C8C2-4246-85A0-1556CEA02830}");
        b1.SetBelow(L"InprocServer32", L"", machine.dir / L"B1.dll");
        b2.SetBelow(L"InprocServer32", L"", L"b2.dll");
        b3.SetBelow(L"InprocServer32", L"", machine.dir / L"b3.dll");
        const auto object = machine.Run(93);
        EXPECT_EQ(Paths(object->CheckFiles), Texts{LowerCased(machine.dir / L"b1.dll")});
        EXPECT_EQ(Paths(object->CheckKeys), (Texts{L"HKEY_CLASSES_ROOT\\CLSID\\{D4D5C535-BA95-4327-870D-A33826FDD17A}",
                                                  L"HKEY_CLASSES_ROOT\\CLSID\\{4F7F2311-C8C2-4246-85A0-1556CEA02830}"}));
    }
    {
        // Id 97: one server shared by both classes, and the versioned programs by name.
        MakeFile(c.Win + L"appsvc.exe", 100);
        TestKey pp(HKEY_CLASSES_ROOT, L"CLSID\\" + ppClass), dnsec(HKEY_CLASSES_ROOT, L"CLSID\\" + dnsecClass);
        pp.SetBelow(L"InprocServer32", L"", c.Win + L"AppSvc.exe");
        dnsec.SetBelow(L"InprocServer32", L"", c.Win + L"appsvc.EXE");
        for (const wchar_t* name : {L"ntsys_U2a.exe", L"bdextinsU2b.exe", L"s_bdextinsU2c.exe", L"other.exe"}) {
            MakeFile(c.WinSys + name, 100);
        }
        ASSERT_TRUE(MakeDirs(c.WinSys + L"ntsys_U2dir.exe"));
        for (const wchar_t* name : {L"ntsys_1.exe", L"dextinsU9.exe", L"s_bdextins7.exe", L"ntsys.exe"}) {
            MakeFile(c.WinSys32 + name, 100);
        }
        const auto object = machine.Run(97);
        EXPECT_EQ(Paths(object->CheckFiles),
                  (Texts{c.Win + L"appsvc.exe", c.WinSys + L"ntsys_U2a.exe", c.WinSys + L"bdextinsU2b.exe",
                         c.WinSys + L"s_bdextinsU2c.exe", c.WinSys32 + L"ntsys_1.exe", c.WinSys32 + L"dextinsU9.exe",
                         c.WinSys32 + L"s_bdextins7.exe"}));
        EXPECT_EQ(Paths(object->CheckKeys), (Texts{L"HKEY_CLASSES_ROOT\\CLSID\\" + ppClass, L"HKEY_CLASSES_ROOT\\CLSID\\" + dnsecClass}));
    }
    {
        const wstring product = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\"
                                L"S-1-5-21-299502267-746137067-1343024091-1003\\Products\\8D15EFAFF3F76694E8331E3D97FE51D7";
        MakeFile(c.Win + L"installer\\1a2b3c.msi", 100);
        MakeFile(machine.dir / L"elsewhere\\1a2b3c.msi", 100);
        TestKey key(HKEY_LOCAL_MACHINE, product);
        key.SetBelow(L"InstallProperties", L"LocalPackage", c.Win + L"Installer\\1a2b3c.msi");
        EXPECT_EQ(Paths(machine.Run(115)->CheckFiles), Texts{c.Win + L"installer\\1a2b3c.msi"});
        key.SetBelow(L"InstallProperties", L"LocalPackage", machine.dir / L"elsewhere\\1a2b3c.msi");
        EXPECT_EQ(machine.Run(115)->CheckFiles.size(), 0u);
        key.SetBelow(L"InstallProperties", L"LocalPackage", c.Win + L"installer\\*.msi");
        EXPECT_EQ(machine.Run(115)->CheckFiles.size(), 0u);
    }
}

// Id 130: the first helper object one of the three shapes takes, and no key under the current
// user's Explorer key (which one the program meant is open; none is guessed).
TEST(BuiltInRoutines, IeHlprObjHelpersStopAtTheFirstTaken) {
    Machine machine;
    const RoutineContext& c = machine.context;
    const wstring helpers = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
    const wstring downloads = c.Win + L"downloaded program files\\";
    MakeFile(downloads + L"abcd.dll", 100);
    MakeFile(c.Win + L"iexhelper.dll", 100);
    MakeFile(c.WinSys32 + L"iexhelper.dll", 100);
    MakeFile(machine.dir / L"nmview.dll", 100);
    struct Helper {
        wstring server, progId, title;
    };
    const Helper byProgId{downloads + L"abcd.dll", L"AbcDxyzw.IEHlprObj.1", L"whatever"},
        byTitle{c.Win + L"IEXhelper.dll", L"", L" IEXHlprObj Class "},
        byTitleInSystem32{c.WinSys32 + L"iexhelper.dll", L"", L"IEXHlprObj Class"},
        byName{machine.dir / L"nmview.dll", L"", L"Net Meeting View"},
        badProgId{downloads + L"abcd.dll", L"abcDxyzw.IEHlprObj.1", L"whatever"},
        backslash{machine.dir / L"nmview.dll", L"", L"CLSID\\x y"};
    const auto keysOf = [&](const wstring& prefix, const wstring& classId) {
        return Texts{L"HKEY_CLASSES_ROOT\\" + prefix + L".IEHlprObj", L"HKEY_CLASSES_ROOT\\" + prefix + L".IEHlprObj.1",
                     L"HKEY_LOCAL_MACHINE\\" + helpers + L"\\" + classId, L"HKEY_CLASSES_ROOT\\CLSID\\" + classId,
                     L"HKEY_CLASSES_ROOT\\TypeLib\\" + classId, L"HKEY_CLASSES_ROOT\\Interface\\" + classId};
    };
    const wstring first = L"{7E570000-0000-0000-0000-0000000000A1}", second = L"{7E570000-0000-0000-0000-0000000000A2}";
    const struct {
        std::vector<Helper> objects;  // registered as first, second
        wstring prefix, classId, file;  // empty prefix: none taken
    } cases[] = {
        {{byProgId, byTitle}, L"AbcDxyzw", first, LowerCased(downloads + L"abcd.dll")},
        {{byTitle, byProgId}, L"IEXHlprObj", first, c.Win + L"iexhelper.dll"},
        {{byTitleInSystem32, byName}, L"Net", second, LowerCased(machine.dir / L"nmview.dll")},
        {{badProgId, backslash}, L"", L"", L""},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::PrintToString(k.prefix));
        std::vector<std::unique_ptr<TestKey>> keys;
        for (std::size_t i = 0; i < k.objects.size(); ++i) {
            const wstring classId = i == 0 ? first : second;
            const Helper& h = k.objects[i];
            keys.push_back(std::make_unique<TestKey>(HKEY_LOCAL_MACHINE, helpers + L"\\" + classId));
            keys.back()->Set(L"", L"");
            keys.push_back(std::make_unique<TestKey>(HKEY_CLASSES_ROOT, L"CLSID\\" + classId));
            keys.back()->Set(L"", h.title).SetBelow(L"InprocServer32", L"", h.server);
            if (!h.progId.empty()) keys.back()->SetBelow(L"ProgID", L"", h.progId);
        }
        const auto object = machine.Run(130);
        EXPECT_EQ(Paths(object->CheckKeys), k.prefix.empty() ? Texts{} : keysOf(k.prefix, k.classId));
        EXPECT_EQ(Paths(object->CheckFiles), k.file.empty() ? Texts{} : Texts{k.file});
    }
}

// Ids 183 and 199: the first small driver of the group whose name is its display name.
TEST(BuiltInRoutines, SystemBusExtenderTakesTheFirstQualifying) {
    Machine machine;
    const wstring dir = machine.dir.path();
    MakeFile(dir + L"\\tmbusdr1.sys", 20000);
    MakeFile(dir + L"\\tmbusdr3.sys", 9000);
    MakeFile(dir + L"\\1mbusdr0.sys", 100);
    const struct {
        wstring name, group, display, image;
    } services[] = {
        {L"TmBus0", L"System Bus Extender", L"TmBus0", dir + L"\\1mbusdr0.sys"},   // begins with a digit
        {L"TmBus1", L"System Bus Extender", L"TmBus1", dir + L"\\tmbusdr1.sys"},   // too large
        {L"TmBus2", L"System Bus Extender", L"Bus 2", dir + L"\\tmbusdr2.sys"},    // display name differs
        {L"TmBus3", L"system bus EXTENDER", L"TmBus3", dir + L"\\tmbusdr3.sys"},   // taken
        {L"TmBus4", L"System Bus Extender", L"TmBus4", dir + L"\\tmbusdr4.sys"},   // missing (size 0), too late
    };
    std::vector<std::unique_ptr<TestKey>> keys;
    for (const auto& s : services) {
        keys.push_back(std::make_unique<TestKey>(HKEY_LOCAL_MACHINE, kServices + L"\\" + s.name));
        keys.back()->Set(L"Group", s.group).Set(L"DisplayName", s.display).Set(L"ImagePath", s.image);
    }
    for (const int id : {183, 199}) {
        const auto object = machine.Run(id);
        EXPECT_EQ(Paths(object->Services), Texts{L"TmBus3"});
        Texts expected;
        for (const wstring set : {L"CurrentControlSet", L"CurrentControlSet01", L"CurrentControlSet02"}) {
            expected.push_back(L"HKEY_LOCAL_MACHINE\\SYSTEM\\" + set + L"\\Services\\TmBus3");
            expected.push_back(L"HKEY_LOCAL_MACHINE\\SYSTEM\\" + set + L"\\Enum\\Root\\LEGACY_TmBus3");
        }
        EXPECT_EQ(Paths(object->CheckKeys), expected);
        EXPECT_EQ(object->CheckFiles.size(), 0u);
    }
    keys[3].reset();
    EXPECT_EQ(Paths(machine.Run(183)->Services), Texts{L"TmBus4"});  // a file that cannot be opened qualifies
}

// Id 225: found at load only when System threads run in the driver; suspended only when the
// user cleans the definition; the restart notice when no service key holds the driver.
TEST(BuiltInRoutines, PiaoxueDriverIsSuspendedOnlyWhenCleaned) {
    Machine machine;
    RoutineContext& c = machine.context;
    const wstring drivers = c.Sys + L"drivers\\";
    MakeFile(drivers + L"abcdefgh.sys", 9792);
    MakeFile(drivers + L"QWERTYUI.SYS", 42809);
    MakeFile(drivers + L"zxcvbnmk.sys", 43097);  // runs no thread
    MakeFile(drivers + L"short.sys", 9792);
    MakeFile(drivers + L"asdfghjk.sys", 9793);
    ASSERT_TRUE(MakeDirs(drivers + L"folderxx.sys"));
    Texts asked, suspended;
    c.Threads.Find = [&](const wstring& name) {
        asked.push_back(name);
        return name != L"zxcvbnmk.sys";
    };
    c.Threads.Suspend = [&](const wstring& name) {
        suspended.push_back(name);
        return true;
    };
    TestKey service(HKEY_LOCAL_MACHINE, kServices + L"\\abcdefgh");
    service.Set(L"Type", L"1");
    ScriptedPrompt prompt;
    ScopedPrompt scoped(prompt);
    const auto object = machine.Run(225);
    EXPECT_EQ(Sorted(asked), (Texts{L"abcdefgh.sys", L"qwertyui.sys", L"zxcvbnmk.sys"}));
    EXPECT_TRUE(suspended.empty());
    EXPECT_EQ(Sorted(Paths(object->CheckFiles)), Sorted({drivers + L"abcdefgh.sys", c.Sys + L"abcdefgh.dll",
                                                         drivers + L"qwertyui.sys", c.Sys + L"qwertyui.dll"}));
    EXPECT_EQ(Paths(object->Services), Texts{L"abcdefgh"});
    EXPECT_EQ(Paths(object->CheckKeys), Texts{kHklmServices + L"abcdefgh"});
    ASSERT_EQ(prompt.Asked().size(), 1u);  // qwertyui has no service key
    EXPECT_EQ(prompt.Asked()[0].Kind, PromptKind::Info);
    EXPECT_EQ(prompt.Asked()[0].Title, L"提示");
    EXPECT_EQ(prompt.Asked()[0].Text, L"发现Piaoxue/Feixue/My123残留文件，需要重新启动才能彻底删除！");
    ASSERT_TRUE(object->BeforeRemoval);
    object->BeforeRemoval(*object);
    EXPECT_EQ(Sorted(suspended), (Texts{L"abcdefgh.sys", L"qwertyui.sys"}));

    // With the default seam (and on the 9x family) no driver runs threads: nothing at all.
    prompt.Clear();
    c.Threads = NoDriverThreads();
    const auto none = machine.Run(225);
    EXPECT_EQ(EntriesOf(*none), 0);
    EXPECT_FALSE(none->BeforeRemoval);
    EXPECT_TRUE(prompt.Asked().empty());
}

// Id 244: the library system.ini names, by a bare name, checked and added in the system folder.
TEST(BuiltInRoutines, UrnLibraryIsCheckedWhereItIsAdded) {
    const struct {
        std::string dllname;
        const wchar_t* inSystem;  // a file of 275456 bytes there
        DWORD size;
        bool taken;
    } cases[] = {
        {"UrnHelp.dll", L"UrnHelp.dll", 275456, true},
        {"urnhelp.DLL", L"urnhelp.dll", 275456, true},
        {"UrnHelp.dll", L"UrnHelp.dll", 275457, false},
        {"UrnHelp.dll", nullptr, 0, false},  // only in the current folder
        {"..\\UrnHelp.dll", L"UrnHelp.dll", 275456, false},
        {"*.dll", L"UrnHelp.dll", 275456, false},
        {"UrnHelp.exe", L"UrnHelp.exe", 275456, false},
        {"", nullptr, 0, false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.dllname);
        Machine machine;
        const RoutineContext& c = machine.context;
        ASSERT_TRUE(test::WriteFileText(c.Win + L"system.ini", "[boot]\r\nshell=Explorer.exe\r\n[URN]\r\nDllname=" + k.dllname + "\r\n"));
        if (k.inSystem) MakeFile(c.Sys + k.inSystem, k.size);
        MakeFile(machine.dir / L"UrnHelp.dll", 275456);
        CurrentFolder current(machine.dir.path());
        const auto object = machine.Run(244);
        const wstring name = test::Widen(k.dllname);
        EXPECT_EQ(Paths(object->CheckFiles), k.taken ? Texts{c.Sys + name} : Texts{});
        EXPECT_EQ(Paths(object->CheckKeys),
                  k.taken ? Texts{L"HKEY_CLASSES_ROOT\\" + name.substr(0, name.size() - 4) + L".IEHelper"} : Texts{});
    }
}

std::string Ansi(const wstring& text) {
    const int n = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

TEST(BuiltInRoutines, TheDefinitionSetRunsThemAsItLoads) {
    ScratchDir dir;
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const wstring copy = dir / L"defs.dll";
    ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
    HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    for (const auto& [name, script] : {std::pair<wstring, wstring>{L"V11", L"id=11\r\nname=3721\r\n"},
                                       std::pair<wstring, wstring>{L"V12", L"id=12\r\nname=other\r\n"}}) {
        const std::string bytes = SealText(Ansi(script), DefinitionKey(name, kDefinitionKeySource));
        UpdateResourceW(update, L"V", name.c_str(), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                        const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    }
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
    UniqueLibrary module(LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module);
    TestValue run(HKEY_LOCAL_MACHINE, kRun, L"Tm3721Loaded", L"x");
    const auto set = DefinitionSet::Load(module.get(), DefaultCleanHost(), nullptr);
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(set->Count(), 2u);
    EXPECT_EQ(Paths(set->Definition(0)->RegValues), Texts{kHklmRun + L"Tm3721Loaded"});
    EXPECT_EQ(set->Definition(1)->EntryCount(), 0);
}

}  // namespace
}  // namespace tidemark
