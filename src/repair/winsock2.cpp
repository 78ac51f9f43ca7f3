#include "repair/winsock2.h"

#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstdio>

#include "system/change_recorder.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/prompt.h"
#include "system/reg_editor.h"
#include "system/reg_paths.h"
#include "system/reg_view.h"
#include "system/sealed_resource.h"
#include "system/text_case.h"
#include "system/text_util.h"

namespace tidemark {

const wchar_t* const kWinsock2Key = L"SYSTEM\\CurrentControlSet\\Services\\WinSock2";
const wchar_t* const kWinsock2Parameters = L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters";
const wchar_t* const kNameSpaceEntries =
    L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\NameSpace_Catalog5\\Catalog_Entries";
const wchar_t* const kProtocolEntries =
    L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9\\Catalog_Entries";
const wchar_t* const kNameSpaceEntries64 =
    L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\NameSpace_Catalog5\\Catalog_Entries64";
const wchar_t* const kProtocolEntries64 =
    L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9\\Catalog_Entries64";
const wchar_t* const kProtocolTrans = L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Protocol_Trans";

const wchar_t* const kWinsock2Question =
    L"发现你的WinSock2被修改，本软件可以尝试修复，修复前会自动备份当前的设置，请问是否修复？";
const wchar_t* const kRestoreSucceeded = L"注册表恢复成功";
const wchar_t* const kResetNeedsRestart = L"WinSock2已重置，请重新启动计算机后生效。";
const wchar_t* const kWinsockResetCommand = L"netsh winsock reset";
// Said when the backup the user asked for could not be written: nothing was changed then.
const wchar_t* const kBackupFailed = L"WinSock2的当前设置未能备份，没有进行修复。";

namespace {

constexpr std::array<const wchar_t*, 10> kSuspiciousFragments = {
    L"hbmter.dll", L"yehoo\\hp", L"msplus", L"adplus", L"quartz32",
    L"wmpcd32.dll", L"srvdll.dll", L"bootvid32.dll", L"ultra32.dll", L"aelupsvc32.dll",
};

// How long the system's reset may take before it counts as failed.
constexpr DWORD kResetWaitMs = 120000;

BackupFileChooser& Chooser() {
    static BackupFileChooser chooser;
    return chooser;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

WinsockResetRunner& ResetRunner() {
    static WinsockResetRunner runner;
    return runner;
}

// "netsh winsock reset", hidden, waited for; true when it ended with exit code 0.
bool RunNetshWinsockReset() {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    std::wstring program = WithTrailingBackslash(system) + L"netsh.exe";
    // A 32-bit program on 64-bit Windows is sent to the 32-bit tools for System32; the system's
    // own netsh is reached through Sysnative where Windows has that.
    if (ProcessIsWow64()) {
        std::wstring folder, name;
        SplitLastBackslash(std::wstring(system, length), folder, name);
        const std::wstring native = WithTrailingBackslash(folder) + L"Sysnative\\netsh.exe";
        if (GetFileAttributesW(native.c_str()) != INVALID_FILE_ATTRIBUTES) program = native;
    }
    std::wstring command = Quoted(program) + L" winsock reset";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, system,
                        &startup, &info))
        return false;
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    if (WaitForSingleObject(process.get(), kResetWaitMs) != WAIT_OBJECT_0) return false;
    DWORD code = 1;
    return GetExitCodeProcess(process.get(), &code) && code == 0;
}

// A catalogue key as the reset's listing names it: the path below Parameters.
std::wstring BelowParameters(const std::wstring& key) {
    const std::wstring parameters = std::wstring(kWinsock2Parameters) + L"\\";
    return key.rfind(parameters, 0) == 0 ? key.substr(parameters.size()) : key;
}

// The library path at the head of a packed catalogue item: 8-bit text up to the first zero.
std::wstring LibraryPathOf(const std::vector<unsigned char>& packed) {
    std::string bytes;
    for (unsigned char c : packed) {
        if (c == 0) break;
        bytes.push_back(static_cast<char>(c));
    }
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

std::wstring DwordText(std::int32_t value) {
    wchar_t buffer[20];
    std::swprintf(buffer, 20, L"dword:%08x", static_cast<unsigned>(value));
    return buffer;
}

// What a name-space entry's "Enabled" holds now, as the listing shows it.
std::wstring EnabledNow(const std::wstring& key) {
    UniqueHKey open = OpenRegKey(HKEY_LOCAL_MACHINE, key, KEY_QUERY_VALUE);
    if (!open) return {};
    DWORD type = 0;
    if (auto text = QueryStringValue(open.get(), L"Enabled", &type)) return *text;
    DWORD data = 0, size = sizeof data;
    if (RegQueryValueExW(open.get(), L"Enabled", nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
        return {};
    return type == REG_DWORD ? DwordText(static_cast<std::int32_t>(data)) : L"(binary)";
}

}  // namespace

DefaultCatalogue DefaultCatalogueOf(int kind) {
    switch (kind) {
        case 0: return {L"98", 1, 6};
        case 1: return {L"ME", 1, 6};
        case 2: return {L"2K", 2, 11};
        case 3: return {L"XP", 3, 13};
        default: return {L"2K3", 3, 11};
    }
}

bool IsSuspiciousProtocolLibrary(const std::wstring& libraryPath) {
    const std::wstring lower = LowerCased(libraryPath);
    for (const wchar_t* fragment : kSuspiciousFragments)
        if (lower.find(fragment) != std::wstring::npos) return true;
    return false;
}

bool CheckWinsock2(const RepairSystem& system, std::vector<RepairChange>* fixes) {
    // Vista and later: nothing in a catalogue is changed in place, every finding there goes to
    // the reset. The 64-bit catalogues are read there too; where they are missing (32-bit
    // Windows) nothing is wrong.
    const bool reset = system.VistaOrLater;
    bool found = false;
    std::vector<std::wstring> forReset;
    auto add = [&](RepairChange change) {
        change.Step = 3;
        change.Root = HKEY_LOCAL_MACHINE;
        if (fixes) fixes->push_back(std::move(change));
    };
    // The entries of a catalogue; a catalogue that is not there (unless it may be missing),
    // cannot be read or is empty is a finding.
    auto list = [&](const wchar_t* catalogue, bool mayBeMissing, std::vector<std::wstring>& entries) {
        entries.clear();
        if (mayBeMissing && !RegKeyExists(HKEY_LOCAL_MACHINE, catalogue)) return;
        const bool listed = RegListSubKeys(HKEY_LOCAL_MACHINE, catalogue, entries);
        if (listed && !entries.empty()) return;
        entries.clear();
        found = true;
        const wchar_t* state = listed ? L" (empty)"
                               : RegKeyExists(HKEY_LOCAL_MACHINE, catalogue) ? L" (cannot be read)"
                                                                             : L" (missing)";
        forReset.push_back(BelowParameters(catalogue) + state);
    };
    std::vector<const wchar_t*> nameSpaces = {kNameSpaceEntries}, protocols = {kProtocolEntries};
    if (reset) {
        nameSpaces.push_back(kNameSpaceEntries64);
        protocols.push_back(kProtocolEntries64);
    }

    // Name-space providers the system needs, switched off.
    std::vector<std::wstring> entries;
    for (const wchar_t* catalogue : nameSpaces) {
        list(catalogue, catalogue == kNameSpaceEntries64, entries);
        for (const std::wstring& entry : entries) {
            const std::wstring key = std::wstring(catalogue) + L"\\" + entry;
            std::wstring display;
            ReadRegString(HKEY_LOCAL_MACHINE, key, L"DisplayString", L"", display);
            const std::wstring lower = LowerCased(display);
            if (lower != L"tcpip" && lower != L"dns name space provider") continue;
            if (RegReadIntIfInt(HKEY_LOCAL_MACHINE, key, L"Enabled") == 1) continue;
            found = true;
            const std::wstring now = EnabledNow(key);
            if (reset) {
                forReset.push_back(BelowParameters(key) + L" Enabled=" + (now.empty() ? L"(none)" : now));
                continue;
            }
            RepairChange change;
            change.Action = RepairAction::SetInt;
            change.Key = key;
            change.Name = L"Enabled";
            change.Now = now;
            change.After = DwordText(1);
            change.Number = 1;
            add(change);
        }
    }

    // A key no installation of Windows has (outside the catalogues).
    if (RegKeyExists(HKEY_LOCAL_MACHINE, kProtocolTrans)) {
        found = true;
        RepairChange change;
        change.Action = RepairAction::DeleteKey;
        change.Key = kProtocolTrans;
        change.Now = L"(key)";
        add(change);
    }

    // Protocol entries served by a library of the advertising software.
    for (const wchar_t* catalogue : protocols) {
        list(catalogue, catalogue == kProtocolEntries64, entries);
        for (const std::wstring& entry : entries) {
            const std::wstring key = std::wstring(catalogue) + L"\\" + entry;
            const auto packed = RegReadBinary(HKEY_LOCAL_MACHINE, key, L"PackedCatalogItem");
            if (!packed) continue;
            const std::wstring library = LibraryPathOf(*packed);
            if (!IsSuspiciousProtocolLibrary(library)) continue;
            found = true;
            if (reset) {
                forReset.push_back(BelowParameters(key) + L": " + library);
                continue;
            }
            RepairChange change;
            change.Action = RepairAction::DeleteKey;
            change.Key = key;
            change.Name = L"PackedCatalogItem";
            change.Now = library;
            add(change);
        }
    }

    if (reset && !forReset.empty()) {
        RepairChange change;
        change.Action = RepairAction::ResetCatalog;
        change.Key = kWinsock2Parameters;
        for (const std::wstring& finding : forReset) change.Now += (change.Now.empty() ? L"" : L"; ") + finding;
        change.After = kWinsockResetCommand;
        add(change);
    }
    return found;
}

bool CheckWinsock2(std::vector<RepairChange>* fixes) { return CheckWinsock2(RepairSystemOfProcess(), fixes); }

RepairChange Winsock2ImportChange(const RepairSystem& system) {
    RepairChange import;
    import.Step = 3;
    import.Action = RepairAction::ImportDefaults;
    import.Root = HKEY_LOCAL_MACHINE;
    import.Key = kWinsock2Parameters;
    import.Name = DefaultCatalogueOf(system.Win.Kind).Resource;
    import.After = L"REG " + import.Name;
    return import;
}

BackupFileChooser SetBackupFileChooser(BackupFileChooser chooser) {
    BackupFileChooser previous = std::move(Chooser());
    Chooser() = std::move(chooser);
    return previous;
}

WinsockResetRunner SetWinsockResetRunner(WinsockResetRunner runner) {
    WinsockResetRunner previous = std::move(ResetRunner());
    ResetRunner() = std::move(runner);
    return previous;
}

bool ResetWinsockCatalogue() {
    // A recorded run keeps the settings as they were before the reset; without that, no reset.
    if (!RecordKeyTreeWrite(HKEY_LOCAL_MACHINE, kWinsock2Parameters)) return false;
    const WinsockResetRunner& runner = ResetRunner();
    const bool reset = runner ? runner() : RunNetshWinsockReset();
    if (reset) CurrentPrompt().Ask({PromptKind::Info, L"提示", kResetNeedsRestart});
    return reset;
}

BackupFileRequest Winsock2BackupRequest(const SYSTEMTIME& t) {
    wchar_t stamp[40];
    std::swprintf(stamp, 40, L"%04u_%02u_%02u_%02u_%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
    return BackupFileRequest{L"把WinSock2的当前设置备份为，不输入文件名则不进行备份", L"注册表文件 (*.reg)|*.reg",
                             L"reg", std::wstring(L"WinSock2备份_") + stamp + L".reg"};
}

bool BackupWinsock2(const std::wstring& file) {
    std::wstring folder, name;
    SplitLastBackslash(file, folder, name);
    // An older file of that name must not pass for the new backup.
    if (FileSizeOrNone(file) >= 0 && !DeleteFileForce(file)) return false;
    const RegEditRun run = RunRegEdit(
        L"/e " + Quoted(file) + L" " + Quoted(std::wstring(L"HKEY_LOCAL_MACHINE\\") + kWinsock2Parameters), folder);
    return run.Ended && run.ExitCode == 0 && FileSizeOrNone(file) > 0;
}

bool RestoreRegistryDefaults(int kind, const RepairSystem& system) {
    // The catalogues of Vista and later differ from those the program carries.
    if (system.VistaOrLater) return false;
    const DefaultCatalogue catalogue = DefaultCatalogueOf(kind);
    std::wstring temp = system.Win.TempDir;
    if (temp.empty()) return false;
    temp = WithTrailingBackslash(temp);
    const std::wstring file = temp + catalogue.Resource + L".reg";
    // A recorded run keeps the catalogue as it was first; without that, no import.
    if (!RecordKeyTreeWrite(HKEY_LOCAL_MACHINE, kWinsock2Parameters)) return false;
    if (!ExtractSealedResource(GetModuleHandleW(nullptr), L"REG", catalogue.Resource, file)) return false;
    const RegEditRun run = RunRegEdit(L"/s " + Quoted(file), temp);
    // The file stays while the editor may still be reading it.
    if (run.Ended || !run.Started) DeleteFileW(file.c_str());
    const bool imported =
        run.Ended && run.ExitCode == 0 &&
        RegReadIntIfInt(HKEY_LOCAL_MACHINE, std::wstring(kWinsock2Parameters) + L"\\Protocol_Catalog9",
                        L"Num_Catalog_Entries") == catalogue.ProtocolEntries &&
        RegReadIntIfInt(HKEY_LOCAL_MACHINE, std::wstring(kWinsock2Parameters) + L"\\NameSpace_Catalog5",
                        L"Num_Catalog_Entries") == catalogue.NameSpaceEntries;
    if (imported) CurrentPrompt().Ask({PromptKind::Info, L"提示", kRestoreSucceeded});
    return imported;
}

void RepairWinsock2(bool ask, const RepairSystem& system, const ChangeReport& report) {
    std::vector<RepairChange> fixes;
    const bool found = CheckWinsock2(system, &fixes);
    if (ask) {
        if (!found) return;
        if (CurrentPrompt().Ask({PromptKind::YesNo, L"注意", kWinsock2Question}) != AnswerYes) return;
    }

    // The backup first; a backup the user asked for and that did not happen stops the repair.
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::optional<std::wstring> file;
    if (const BackupFileChooser& chooser = Chooser()) file = chooser(Winsock2BackupRequest(now));
    // Where there are no settings at all there is nothing to keep.
    const bool anythingToKeep = RegKeyExists(HKEY_LOCAL_MACHINE, kWinsock2Parameters);
    if (file && !file->empty() && anythingToKeep && !BackupWinsock2(*file)) {
        CurrentPrompt().Ask({PromptKind::Error, L"提示", kBackupFailed});
        return;
    }

    for (const RepairChange& fix : fixes) {
        const bool done =
            fix.Action == RepairAction::ResetCatalog ? ResetWinsockCatalogue() : ApplyRepairChange(fix, {}, {});
        if (report) report(fix, done);
    }
    if (system.VistaOrLater) return;
    const RepairChange import = Winsock2ImportChange(system);
    const bool done = RestoreRegistryDefaults(system.Win.Kind, system);
    if (report) report(import, done);
}

void RepairWinsock2(bool ask) { RepairWinsock2(ask, RepairSystemOfProcess()); }

}  // namespace tidemark
