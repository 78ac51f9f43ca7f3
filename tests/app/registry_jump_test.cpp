// Jumping to a registry key: the path and keystrokes the helper library works out, writing the
// helper out of the program's resources, and the walk itself, received by a fake editor window
// of this process and carried out by Wine's own registry editor.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/registry_jump.h"
#include "cleanreg/reg_jump_core.h"
#include "common/test_support.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/sealed_resource.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

using cleanreg::KeyStep;
using cleanreg::KeyStepKind;

constexpr wchar_t kEditorClass[] = L"RegEdit_RegEdit";
// 子键 in code page 936.
constexpr char kSubKeyGbk[] = "\xD7\xD3\xBC\xFC";

// Steps as text: "<" left, ">" right, "+" keypad plus, "~" the type-ahead pause, typed units
// as themselves.
std::wstring Render(const std::vector<KeyStep>& steps) {
    std::wstring text;
    for (const KeyStep& s : steps) {
        switch (s.kind) {
        case KeyStepKind::KeyDown:
            if (s.value == VK_LEFT) text += L'<';
            else if (s.value == VK_RIGHT) text += L'>';
            else if (s.value == VK_ADD) text += L'+';
            else text += L"[key " + std::to_wstring(s.value) + L"]";
            break;
        case KeyStepKind::Char:
            text += static_cast<wchar_t>(s.value);
            break;
        case KeyStepKind::Pause:
            if (s.value == cleanreg::kTypeAheadResetMs) text += L'~';
            else text += L"[pause " + std::to_wstring(s.value) + L"]";
            break;
        }
    }
    return text;
}

std::string HelperResourceBytes() {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(self, L"REGHLPS", L"FILE");
    if (!info) return {};
    const void* bytes = LockResource(LoadResource(self, info));
    return std::string(static_cast<const char*>(bytes), SizeofResource(self, info));
}

std::wstring HelperFile() { return GetWinInfo().TempDir + L"\\cleanreg.dll"; }

// Closes every registry editor of another process (the ones the jumps started), killing any
// that does not end.
void CloseEditors() {
    for (HWND editor : test::WindowsOfClass(kEditorClass)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(editor, &pid);
        if (pid == GetCurrentProcessId()) continue;
        UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
        PostMessageW(editor, WM_CLOSE, 0, 0);
        if (process && WaitForSingleObject(process.get(), 15000) != WAIT_OBJECT_0) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 5000);
        }
    }
}

// The key the editor shows, from its status bar ("<computer>\HKEY_...\...").
std::wstring SelectedKey(HWND editor) {
    HWND status = FindWindowExW(editor, nullptr, STATUSCLASSNAMEW, nullptr);
    wchar_t text[2048] = {};
    DWORD_PTR ignored = 0;
    if (!status || !SendMessageTimeoutW(status, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text),
                                        SMTO_ABORTIFHUNG, 10000, &ignored))
        return L"<no status bar>";
    const std::wstring shown = text;
    const auto slash = shown.find(L'\\');
    return slash == std::wstring::npos ? std::wstring() : shown.substr(slash + 1);
}

// ---- the path and the keystrokes ----

TEST(RegJumpTarget, FiveHivesByShortOrLongNameInAnyCase) {
    const struct { const char* text; const char* target; } cases[] = {
        {"HKLM\\Software", "HKEY_LOCAL_MACHINE\\Software"},
        {"hklm\\Software", "HKEY_LOCAL_MACHINE\\Software"},
        {"HKEY_LOCAL_MACHINE\\SYSTEM\\Setup", "HKEY_LOCAL_MACHINE\\SYSTEM\\Setup"},
        {"hkey_Local_machine\\x", "HKEY_LOCAL_MACHINE\\x"},
        {"HKCU\\Software", "HKEY_CURRENT_USER\\Software"},
        {"hKcU\\Software", "HKEY_CURRENT_USER\\Software"},
        {"HKEY_CURRENT_USER\\Console", "HKEY_CURRENT_USER\\Console"},
        {"hkey_current_user\\Console", "HKEY_CURRENT_USER\\Console"},
        {"HKCR\\.txt", "HKEY_CLASSES_ROOT\\.txt"},
        {"hkcr\\CLSID", "HKEY_CLASSES_ROOT\\CLSID"},
        {"HKEY_CLASSES_ROOT\\txtfile", "HKEY_CLASSES_ROOT\\txtfile"},
        {"Hkey_Classes_Root\\txtfile", "HKEY_CLASSES_ROOT\\txtfile"},
        {"HKU\\.DEFAULT", "HKEY_USERS\\.DEFAULT"},
        {"hku\\S-1-5-18", "HKEY_USERS\\S-1-5-18"},
        {"HKEY_USERS\\.DEFAULT", "HKEY_USERS\\.DEFAULT"},
        {"hkey_users\\.DEFAULT", "HKEY_USERS\\.DEFAULT"},
        {"HKCC\\System", "HKEY_CURRENT_CONFIG\\System"},
        {"hkcc\\Software", "HKEY_CURRENT_CONFIG\\Software"},
        {"HKEY_CURRENT_CONFIG\\Software", "HKEY_CURRENT_CONFIG\\Software"},
        {"hkey_CURRENT_config\\Software", "HKEY_CURRENT_CONFIG\\Software"},
        // No backslash: the hive itself.
        {"HKCU", "HKEY_CURRENT_USER\\"},
        {"hkey_users", "HKEY_USERS\\"},
        {"HKLM\\", "HKEY_LOCAL_MACHINE\\"},
        // The rest is taken as it is.
        {"HKCU\\Software\\\\a b\\", "HKEY_CURRENT_USER\\Software\\\\a b\\"},
    };
    for (const auto& c : cases) {
        const auto target = cleanreg::RegJumpTarget(c.text);
        ASSERT_TRUE(target.has_value()) << c.text;
        EXPECT_EQ(*target, c.target) << c.text;
    }
}

TEST(RegJumpTarget, OtherRootsAndEmptyTextGiveNothing) {
    const char* const cases[] = {
        nullptr, "", "\\Software", "HKEY_DYN_DATA\\Config Manager", "HKDD\\x", "HKPD\\x",
        "HKEY_PERFORMANCE_DATA\\x", "HKCU2\\x", "HKC\\x", " HKCU\\x", "HKCU \\x",
        "HKEY_CURRENT_USERS\\x", "Software\\Microsoft", "HKCU/Software", "HKCU:\\Software",
    };
    for (const char* text : cases)
        EXPECT_FALSE(cleanreg::RegJumpTarget(text).has_value()) << (text ? text : "(null)");
}

TEST(RegJumpTarget, TakesAtMost1023Bytes) {
    const std::string longer = "HKCU\\" + std::string(2000, 'a');
    EXPECT_EQ(cleanreg::RegJumpTarget(longer.c_str()), "HKEY_CURRENT_USER\\" + std::string(1018, 'a'));
    const std::string exact = "HKCU\\" + std::string(1018, 'b');
    EXPECT_EQ(cleanreg::RegJumpTarget(exact.c_str()), "HKEY_CURRENT_USER\\" + std::string(1018, 'b'));
    // The first backslash lies beyond the cut: the whole text is the root.
    const std::string lateSlash = std::string(1023, 'H') + "\\HKCU";
    EXPECT_FALSE(cleanreg::RegJumpTarget(lateSlash.c_str()).has_value());
}

TEST(RegJumpTarget, CutKeepsDoubleByteCharactersWhole) {
    if (!IsDBCSLeadByte(0xD7)) GTEST_SKIP() << "needs a double-byte ANSI code page (936)";
    const std::string pair = "\xD7\xD3";  // 子; its trail byte is in the lead-byte range too
    const struct { std::size_t fill; std::string keptRest; } cases[] = {
        {1016, std::string(1016, 'a') + pair},         // the pair ends exactly at byte 1023
        {1017, std::string(1017, 'a')},                // the pair would straddle the cut
        {1015, std::string(1015, 'a') + pair},         // the second pair would straddle it
    };
    for (const auto& c : cases) {
        const std::string text = "HKCU\\" + std::string(c.fill, 'a') + pair + pair + "zz";
        EXPECT_EQ(cleanreg::RegJumpTarget(text.c_str()), "HKEY_CURRENT_USER\\" + c.keptRest) << c.fill;
    }
}

TEST(RegJumpTarget, AnsiTextBecomesUtf16) {
    if (GetACP() != 936) GTEST_SKIP() << "needs code page 936";
    const auto target = cleanreg::RegJumpTarget((std::string("hkcu\\") + kSubKeyGbk).c_str());
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(cleanreg::AnsiToUtf16(*target), L"HKEY_CURRENT_USER\\子键");
}

TEST(RegJumpKeySteps, CollapseOpenTheTopThenTypeAndOpenEachName) {
    const std::wstring top = std::wstring(cleanreg::kCollapsePresses, L'<') + L">";
    const struct { std::wstring target, walk; } cases[] = {
        {L"HKEY_CURRENT_USER\\Software\\子键", L"~HKEY_CURRENT_USER+~Software+~子键+"},
        {L"HKEY_LOCAL_MACHINE\\", L"~HKEY_LOCAL_MACHINE++"},
        {L"HKEY_USERS\\\\.DEFAULT\\", L"~HKEY_USERS++~.DEFAULT++"},
        {L"HKEY_CLASSES_ROOT\\a b\\\U00020000x", L"~HKEY_CLASSES_ROOT+~a b+~\U00020000x+"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Render(cleanreg::RegJumpKeySteps(c.target)), top + c.walk) << test::Narrow(c.target);
}

// ---- writing the helper out ----

class SealedResource : public testing::Test {
protected:
    test::ScratchDir dir_;
    const std::wstring path_ = dir_ / L"cleanreg.dll";
    const std::string resource_ = HelperResourceBytes();
};

TEST_F(SealedResource, ReplacesWhateverFileCanBeDeleted) {
    ASSERT_GT(resource_.size(), 1000u);
    const struct { const char* label; bool existing; DWORD attributes; } cases[] = {
        {"no file", false, 0},
        {"older file", true, 0},
        {"read-only older file", true, FILE_ATTRIBUTE_READONLY},
    };
    for (const auto& c : cases) {
        DeleteFileW(path_.c_str());
        if (c.existing) {
            ASSERT_TRUE(test::WriteFileText(path_, "old helper", c.attributes));
        }
        EXPECT_TRUE(ExtractSealedResource(GetModuleHandleW(nullptr), L"FILE", L"REGHLPS", path_)) << c.label;
        EXPECT_TRUE(ReadFileBytes(path_) == resource_) << c.label;
    }
}

TEST_F(SealedResource, KeepsAFileAnotherCopyHoldsOpen) {
    ASSERT_TRUE(test::WriteFileText(path_, "helper in use"));
    {
        UniqueHandle inUse(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(inUse);
        // Kept, but not the helper: reported as a failure, never passed off as the resource.
        EXPECT_FALSE(ExtractSealedResource(GetModuleHandleW(nullptr), L"FILE", L"REGHLPS", path_));
    }
    EXPECT_EQ(ReadFileBytes(path_), "helper in use");

    // An earlier helper loaded as a library, as another running copy of the program holds it.
    ASSERT_TRUE(DeleteFileW(path_.c_str()));
    ASSERT_TRUE(CopyFileW((test::ExeDir() + L"\\..\\fixtures\\qklog.dll").c_str(), path_.c_str(), TRUE));
    const std::string earlier = ReadFileBytes(path_);
    {
        UniqueLibrary loaded(LoadLibraryW(path_.c_str()));
        ASSERT_TRUE(loaded);
        EXPECT_FALSE(ExtractSealedResource(GetModuleHandleW(nullptr), L"FILE", L"REGHLPS", path_));
    }
    EXPECT_TRUE(ReadFileBytes(path_) == earlier);
}

TEST_F(SealedResource, MissingResourceTouchesNothing) {
    EXPECT_FALSE(ExtractSealedResource(GetModuleHandleW(nullptr), L"FILE", L"NOSUCHRES", path_));
    EXPECT_FALSE(test::PathExists(path_));
    ASSERT_TRUE(test::WriteFileText(path_, "earlier helper"));
    EXPECT_FALSE(ExtractSealedResource(GetModuleHandleW(nullptr), L"FILE", L"NOSUCHRES", path_));
    EXPECT_EQ(ReadFileBytes(path_), "earlier helper");
}

// ---- jumps ----

class RegistryJump : public testing::Test {
protected:
    void SetUp() override { CloseEditors(); }
    void TearDown() override {
        ReleaseRegistryJump();
        CloseEditors();
    }
};

TEST_F(RegistryJump, HelperIsWrittenOnFirstUseAndDeletedOnRelease) {
    DeleteFileW(HelperFile().c_str());
    // A root the helper refuses: it is called, but no editor starts.
    EXPECT_TRUE(JumpToRegistryKey(L"HKEY_DYN_DATA\\Config Manager"));
    EXPECT_TRUE(ReadFileBytes(HelperFile()) == HelperResourceBytes());
    EXPECT_TRUE(JumpToRegistryKey(L"HKPD\\x"));
    EXPECT_TRUE(test::WindowsOfClass(kEditorClass).empty());

    ReleaseRegistryJump();
    EXPECT_FALSE(test::PathExists(HelperFile()));
}

TEST_F(RegistryJump, HelperThatCannotBeLoadedIsTriedAgainNextTime) {
    ASSERT_TRUE(test::WriteFileText(HelperFile(), "not a library"));
    {
        UniqueHandle inUse(CreateFileW(HelperFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(inUse);
        EXPECT_FALSE(JumpToRegistryKey(L"HKEY_DYN_DATA\\x"));
    }
    EXPECT_TRUE(JumpToRegistryKey(L"HKEY_DYN_DATA\\x"));
    EXPECT_TRUE(ReadFileBytes(HelperFile()) == HelperResourceBytes());
}

// A window of the editor's class in this process, its tree (as a direct child, as in Windows'
// editor, or inside a pane, as in Wine's) recording the keys it receives.
class FakeEditor {
public:
    struct Received {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    explicit FakeEditor(bool treeInPane, bool withTree = true) {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kEditorClass;
        RegisterClassW(&wc);
        wc.lpszClassName = L"TmFakeEditorPane";
        RegisterClassW(&wc);

        main_ = CreateWindowExW(0, kEditorClass, L"fake editor", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                nullptr, nullptr, wc.hInstance, nullptr);
        if (!withTree) return;
        HWND parent = main_;
        if (treeInPane)
            parent = CreateWindowExW(0, L"TmFakeEditorPane", L"", WS_CHILD | WS_VISIBLE, 0, 0, 400, 300,
                                     main_, nullptr, wc.hInstance, nullptr);
        tree_ = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 300, parent,
                                nullptr, wc.hInstance, nullptr);
        received_.clear();
        original_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(tree_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Record)));
    }
    ~FakeEditor() { DestroyWindow(main_); }
    FakeEditor(const FakeEditor&) = delete;
    FakeEditor& operator=(const FakeEditor&) = delete;

    HWND main() const { return main_; }
    HWND tree() const { return tree_; }
    static const std::vector<Received>& received() { return received_; }

private:
    static LRESULT CALLBACK Record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_KEYDOWN || message == WM_CHAR) received_.push_back({message, wParam, lParam});
        return CallWindowProcW(original_, hwnd, message, wParam, lParam);
    }

    HWND main_ = nullptr;
    HWND tree_ = nullptr;
    static inline WNDPROC original_ = nullptr;
    static inline std::vector<Received> received_;
};

TEST_F(RegistryJump, EditorTreeReceivesTheWalkInOrder) {
    if (GetACP() != 936) GTEST_SKIP() << "needs code page 936";
    const struct { bool treeInPane; std::wstring path, target; } cases[] = {
        {false, L"HKCU\\A\\子键", L"HKEY_CURRENT_USER\\A\\子键"},
        // Hangul is not in code page 936: the walk stops at the key before it.
        {true, L"hkcu\\A\\한\\B", L"HKEY_CURRENT_USER\\A"},
    };
    for (const auto& c : cases) {
        FakeEditor editor(c.treeInPane);
        ASSERT_TRUE(editor.tree());
        EXPECT_TRUE(JumpToRegistryKey(c.path));

        std::vector<std::pair<UINT, WPARAM>> expected, got;
        for (const KeyStep& s : cleanreg::RegJumpKeySteps(c.target)) {
            if (s.kind == KeyStepKind::KeyDown) expected.emplace_back(WM_KEYDOWN, s.value);
            if (s.kind == KeyStepKind::Char) expected.emplace_back(WM_CHAR, s.value);
        }
        for (const auto& r : FakeEditor::received()) {
            got.emplace_back(r.message, r.wParam);
            EXPECT_EQ(LOWORD(r.lParam), 1) << "repeat count of message " << got.size();
        }
        EXPECT_EQ(got, expected) << test::Narrow(c.path);
        EXPECT_TRUE(IsWindowVisible(editor.main()));
        EXPECT_EQ(GetFocus(), editor.tree());
        EXPECT_EQ(test::WindowsOfClass(kEditorClass).size(), 1u) << "no other editor started";
    }
}

TEST_F(RegistryJump, EditorWithoutTreeIsLeftAlone) {
    FakeEditor editor(false, false);
    EXPECT_TRUE(JumpToRegistryKey(L"HKCU\\Software"));
    EXPECT_FALSE(IsWindowVisible(editor.main()));
    EXPECT_EQ(test::WindowsOfClass(kEditorClass).size(), 1u);
}

// Wine's editor types ahead only in ASCII letters, digits and some punctuation (no spaces, no
// Chinese), so the keys it is walked to here have such names.
TEST_F(RegistryJump, WineEditorOpensAtTheKeyAndIsReusedForTheNextJump) {
    test::ScratchKey scratch;
    for (const wchar_t* sub : {L"Alpha\\Beta", L"Gamma"}) {
        UniqueHKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (scratch / sub).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, key.put(), nullptr), ERROR_SUCCESS);
    }
    const std::wstring beta = L"HKEY_CURRENT_USER\\" + (scratch / L"Alpha\\Beta");
    const std::wstring gamma = L"HKEY_CURRENT_USER\\" + (scratch / L"Gamma");
    ASSERT_TRUE(test::WindowsOfClass(kEditorClass).empty());

    EXPECT_TRUE(JumpToRegistryKey(L"HKCU\\" + (scratch / L"Alpha\\Beta")));
    const std::vector<HWND> editors = test::WindowsOfClass(kEditorClass);
    ASSERT_EQ(editors.size(), 1u);
    EXPECT_EQ(SelectedKey(editors[0]), beta);

    // The hive itself: opened, and still the one selected.
    EXPECT_TRUE(JumpToRegistryKey(L"hkcu"));
    EXPECT_EQ(SelectedKey(editors[0]), L"HKEY_CURRENT_USER");

    EXPECT_TRUE(JumpToRegistryKey(gamma));
    EXPECT_EQ(test::WindowsOfClass(kEditorClass), editors);
    EXPECT_EQ(SelectedKey(editors[0]), gamma);

    // The editor keeps the key it shows when it closes.
    CloseEditors();
    std::wstring lastKey;
    ReadRegString(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit",
                  L"LastKey", L"", lastKey);
    EXPECT_EQ(lastKey, gamma);
}

}  // namespace
}  // namespace tidemark
