// A rogue-software definition's clean, recorded and put back: its files, folder, keys, values
// and service come back as they were.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <memory>
#include <string>

#include "common/test_support.h"
#include "engine/soft_obj.h"
#include "removal/protected_places.h"
#include "removal/removal_service.h"
#include "system/file_ops.h"
#include "system/reg_text.h"
#include "system/services.h"
#include "undo/journal.h"

namespace tidemark {
namespace {

// The process as the definition sees it, removing through the recorded service.
class RecordedHost : public CleanHost {
public:
    explicit RecordedHost(const RemovalService& service) : service_(service) {}
    const RemovalService& Removals() const override { return service_; }
    bool PostCleanRepair(int) override { return true; }
    bool InSafeMode() const override { return true; }
    std::uint32_t ExplorerProcess() const override { return 0; }
    bool EndExplorer(std::uint32_t) override { return true; }

private:
    const RemovalService& service_;
};

std::wstring TreeText(HKEY root, const std::wstring& key) {
    std::wstring text;
    AppendRegKeyTree(root, key, text);
    return text;
}

TEST(DefinitionRestore, EverythingADefinitionCleanRemovedComesBack) {
    test::ScratchDir dir;
    const std::wstring key = L"Software\\TidemarkTests\\RogueBar";
    const std::wstring service = L"TidemarkRestoreRogue" + std::to_wstring(GetCurrentProcessId());
    const std::wstring serviceKey = L"SYSTEM\\CurrentControlSet\\Services\\" + service;
    ASSERT_TRUE(test::WriteFileText(dir / L"bar.exe", std::string(4096, 'b'), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(test::WriteFileText(dir / L"Data\\cache\\1.dat", "one"));
    ASSERT_TRUE(test::WriteFileText(dir / L"Data\\2.dat", "two"));
    SHSetValueW(HKEY_CURRENT_USER, (key + L"\\Toolbar").c_str(), L"Id", REG_SZ, L"rogue", 12);
    const DWORD seven = 7;
    SHSetValueW(HKEY_CURRENT_USER, key.c_str(), L"Count", REG_DWORD, &seven, sizeof seven);
    SHSetValueW(HKEY_CURRENT_USER, L"Software\\TidemarkTests", L"RogueRun", REG_SZ, L"bar.exe", 16);
    {
        UniqueScHandle manager = OpenServiceManager();
        ASSERT_TRUE(manager);
        UniqueScHandle created(CreateServiceW(manager.get(), service.c_str(), service.c_str(), SERVICE_ALL_ACCESS,
                                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                              (dir / L"bar.exe").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(created) << GetLastError();
    }
    const std::wstring keyBefore = TreeText(HKEY_CURRENT_USER, key), serviceBefore = TreeText(HKEY_LOCAL_MACHINE, serviceKey);
    ASSERT_FALSE(serviceBefore.empty());

    const Journal journal(dir / L"Journal");
    std::wstring id;
    {
        auto run = journal.Begin(L"plugins clean");
        ASSERT_TRUE(run);
        id = run->Id();
        const RemovalService service_(std::make_shared<const ProtectedPlaces>(ProtectedFoldersOfSystem()));
        const RemovalService recorded = service_.Recorded(*run);
        RecordedHost host(recorded);
        TSoftObj definition(host);
        definition.AddFile(dir / L"bar.exe");
        definition.AddFolder(dir / L"Data");
        definition.AddRegKey(L"HKEY_CURRENT_USER\\" + key);
        definition.AddRegValue(L"HKEY_CURRENT_USER\\Software\\TidemarkTests\\RogueRun");
        definition.AddService(service);
        EXPECT_TRUE(definition.Clean());
        EXPECT_EQ(run->Items(), 5u);
    }
    EXPECT_FALSE(test::PathExists(dir / L"bar.exe"));
    EXPECT_FALSE(test::PathExists(dir / L"Data"));
    EXPECT_EQ(TreeText(HKEY_CURRENT_USER, key), L"");
    EXPECT_EQ(TreeText(HKEY_LOCAL_MACHINE, serviceKey), L"");

    const auto restored = journal.Restore(id, {}, [](const std::wstring&) { return true; });
    ASSERT_EQ(restored.size(), 5u);
    for (const RestoredItem& r : restored) EXPECT_EQ(r.Result, RestoreResult::Restored) << r.Item.Index;
    EXPECT_EQ(ReadFileBytes(dir / L"bar.exe"), std::string(4096, 'b'));
    EXPECT_EQ(GetFileAttributesW((dir / L"bar.exe").c_str()) & FILE_ATTRIBUTE_HIDDEN, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(ReadFileBytes(dir / L"Data\\cache\\1.dat"), "one");
    EXPECT_EQ(ReadFileBytes(dir / L"Data\\2.dat"), "two");
    EXPECT_EQ(TreeText(HKEY_CURRENT_USER, key), keyBefore);
    // The service's configuration is back in the registry; the service manager reads it at the
    // next start.
    EXPECT_EQ(TreeText(HKEY_LOCAL_MACHINE, serviceKey), serviceBefore);

    SetFileAttributesW((dir / L"bar.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TidemarkTests\\RogueBar");
    SHDeleteValueW(HKEY_CURRENT_USER, L"Software\\TidemarkTests", L"RogueRun");
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, serviceKey.c_str());
}

}  // namespace
}  // namespace tidemark
