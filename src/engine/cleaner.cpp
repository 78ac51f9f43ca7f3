#include "engine/cleaner.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cwctype>
#include <string_view>

#include "engine/soft_obj.h"
#include "system/change_recorder.h"
#include "system/app_data.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/text_case.h"
#include "system/win_info.h"
#include "system/win_sys.h"

namespace tidemark {

const std::array<const wchar_t*, 12> kStockNotifyPackages = {
    L"activesync", L"crypt32chain", L"cryptnet", L"cscdll",   L"sccertprop", L"dimsntfy",
    L"schedule",   L"sclgntfy",     L"senslogn", L"termsrv",  L"wzcnotif",   L"wlballoon",
};

namespace {

constexpr wchar_t kNotifyKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";

constexpr wchar_t kLocalhostLine[] = L"127.0.0.1       localhost";
// The size of the one notification library the fix was written against.
constexpr std::int32_t kRogueNotifySize = 234272;

// ---- the hosts file ----

std::wstring FromAnsi(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

// Lines as a text list reads them: ended by CR, LF or CR LF; a last line end adds no line.
std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r' && text[i] != L'\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

bool IsIpv4Part(std::wstring_view part) {
    if (part.empty() || part.size() > 3) return false;
    int value = 0;
    for (const wchar_t c : part) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    return value <= 255;
}

// The whole file; nothing when it cannot be opened or read to its end (an unreadable hosts
// file must never pass for an empty one, which the reset would overwrite).
std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    UniqueHandle file(CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    char chunk[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) return std::nullopt;
        if (got == 0) return bytes;
        bytes.append(chunk, got);
    }
}

// "192.168.x.y name...": a machine of the home network, which the reset keeps.
bool IsLocalNetworkLine(const std::wstring& line) {
    if (line.empty() || line[0] == L'#') return false;
    const std::size_t space = line.find(L' ');
    if (space == std::wstring::npos) return false;
    const std::wstring_view address(line.data(), space);
    std::vector<std::wstring_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t dot = address.find(L'.', start);
        parts.push_back(address.substr(start, dot == std::wstring_view::npos ? std::wstring_view::npos : dot - start));
        if (dot == std::wstring_view::npos) break;
        start = dot + 1;
    }
    if (parts.size() != 4) return false;
    for (const auto part : parts) {
        if (!IsIpv4Part(part)) return false;
    }
    return parts[0] == L"192" && parts[1] == L"168";
}

// Replaces the content of an existing file without recreating it, so its security, owner and
// links stay as they were. A read-only mark (which rogue programs set to keep their entries)
// is lifted for the write and put back.
bool RewriteInPlace(const std::wstring& path, const std::string& bytes) {
    const std::wstring target = ExtendedPath(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) return false;
    bool ok = false;
    {
        UniqueHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            DWORD written = 0;
            ok = (bytes.empty() ||
                  (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                   written == bytes.size())) &&
                 SetEndOfFile(file.get());
        }
    }
    if (readOnly) SetFileAttributesW(target.c_str(), attributes);
    return ok;
}

// ---- notification packages ----

bool IsStockNotifyPackage(const std::wstring& name) {
    const std::wstring lower = LowerCased(name);
    for (const wchar_t* stock : kStockNotifyPackages) {
        if (lower == stock) return true;
    }
    return false;
}

// "X:\..." with nothing a search would read as a pattern: the library named by the package,
// never a set of files.
bool IsPlainFullPath(const std::wstring& path) {
    if (path.find_first_of(L"*?\"<>|") != std::wstring::npos) return false;
    return path.size() > 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
}

// ---- showing a file ----

using OpenFolderAndSelect = HRESULT(WINAPI*)(LPCITEMIDLIST, UINT, LPCITEMIDLIST*, DWORD);

// The path as an item of the shell's namespace, parsed through the desktop folder; null when
// the shell cannot name it.
LPITEMIDLIST ParseThroughDesktop(const std::wstring& path) {
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || !desktop) return nullptr;
    std::wstring name = path;
    LPITEMIDLIST item = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &item, nullptr))) item = nullptr;
    desktop->Release();
    return item;
}

}  // namespace

std::unique_ptr<TCleaner> TCleaner::Create(HMODULE module, CleanHost& host, CleanerCreateError* error) {
    DefinitionLoadError loadError;
    std::unique_ptr<DefinitionSet> definitions = DefinitionSet::Load(module, host, &loadError);
    if (!definitions) {
        if (error) error->Definitions = std::move(loadError);
        return nullptr;
    }
    std::unique_ptr<TGuids> guids = TGuids::Load(module);
    if (!guids) {
        if (error) error->PluginTableMissing = true;
        return nullptr;
    }
    std::unique_ptr<TCleaner> cleaner(new TCleaner);
    cleaner->definitions_ = std::move(definitions);
    cleaner->guids_ = std::move(guids);
    cleaner->host_ = &host;
    return cleaner;
}

TSoftObj* TCleaner::FindDefinition(std::int32_t id) const { return definitions_->FindById(nullptr, id); }

int TCleaner::Scan(std::uint8_t kind, bool namesFromValues, const CleanClass& cls, Sink<PluginFound>* found) {
    const PluginRegistration& where = *RegistrationOf(kind);
    int count = 0;
    // On 64-bit Windows each registry view has its own plug-ins (those of the 32-bit and of
    // the 64-bit browser); each is made, loaded and later cleaned in its view.
    ForEachRegView(where.Root, where.Key, [&](RegView) {
        std::vector<std::wstring> names;
        {
            // Reading is all a scan does: a key the program may not change is still listed, and
            // its removal reports the refusal.
            UniqueHKey key = OpenRegKey(where.Root, where.Key, KEY_READ);
            if (!key) return;
            if (namesFromValues) {
                EnumValueNames(key.get(), names);
            } else {
                EnumSubKeyNames(key.get(), names);
            }
        }
        for (const std::wstring& name : names) {
            const int row = guids_->IndexOf(name);
            if (row >= 0 && guids_->Item(row).Rating == RiskSafe) continue;
            ++count;
            if (row < 0) {
                MakePlugin(cls, name, RiskUnknown, nullptr, found);
            } else {
                const TGuidItem& item = guids_->Item(row);
                MakePlugin(cls, item.Guid, item.Rating, &item.Caption, found);
            }
        }
    });
    return count;
}

void TCleaner::MakePlugin(const CleanClass& cls, const std::wstring& key, std::uint8_t risk,
                          const std::wstring* tableName, Sink<PluginFound>* found) {
    std::unique_ptr<TCleanObj> made = CreateCleanObject(cls, *host_);
    auto* plugin = dynamic_cast<TPluginObj*>(made.get());
    if (!plugin) return;
    made.release();
    std::unique_ptr<TPluginObj> owned(plugin);
    owned->Risk = risk;
    if (found) found->Found(PluginFound{owned.get(), owned->Kind, risk, key});
    owned->Load(key);
    if (tableName) owned->Name = *tableName;
    Plugins.push_back(std::move(owned));
}

int TCleaner::ScanToolbars(Sink<PluginFound>* found) {
    return Scan(2, true, TIEToolBar::Class, found);
}

int TCleaner::ScanHelperObjects(Sink<PluginFound>* found) {
    return Scan(1, false, TBho::Class, found);
}

int TCleaner::ScanExplorerBars(Sink<PluginFound>* found) {
    return Scan(5, false, TExplorerBar::Class, found);
}

int TCleaner::ScanToolbarButtons(Sink<PluginFound>* found) {
    return Scan(4, false, TIEToolButton::Class, found);
}

int TCleaner::ScanMenuExtensions(Sink<PluginFound>* found) {
    // Listed from the current user's own hive, where the extension reads and removes its key.
    return Scan(3, false, TMenuExt::Class, found);
}

std::wstring TCleaner::FixHostsFile(const std::wstring& path, const std::wstring& backupFolder) {
    const std::wstring target = ExtendedPath(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    const std::optional<std::string> read = ReadWholeFile(path);
    if (!read) return {};
    const std::string& old = *read;
    const std::vector<std::wstring> lines = SplitLines(FromAnsi(old));
    std::wstring fresh = std::wstring(kLocalhostLine) + L"\r\n";
    bool changed = lines.empty();
    for (const std::wstring& raw : lines) {
        const std::wstring line = Trimmed(raw);
        if (IsLocalNetworkLine(line)) {
            fresh += line + L"\r\n";
        } else {
            changed = true;
        }
    }
    if (!changed) return {};
    const std::string bytes = ToAnsi(fresh);
    // A file already reset needs no write.
    if (bytes == old) return {};
    // The entries the user had are kept first; without that copy nothing is rewritten.
    const std::wstring folder = backupFolder.empty() ? ProgramBackupFolder(true) : backupFolder;
    if (folder.empty()) return {};
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[32] = {};
    swprintf(stamp, 32, L"%04u%02u%02u_%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    std::wstring backup;
    for (int n = 1; n < 100; ++n) {
        backup = folder + L"\\hosts_" + stamp + (n == 1 ? L"" : L"_" + std::to_wstring(n)) + L".bak";
        if (GetFileAttributesW(ExtendedPath(backup).c_str()) == INVALID_FILE_ATTRIBUTES) break;
    }
    if (!WriteBytesToFile(backup, old.data(), static_cast<unsigned long>(old.size()), true)) return {};
    // A recorded run keeps the file as it was in its journal too; without that, no rewrite.
    if (!RecordFileRewrite(path)) return {};
    RewriteInPlace(path, bytes);
    return backup;
}

bool TCleaner::FixWinlogonNotify() {
    std::vector<std::wstring> names;
    {
        UniqueHKey notify = OpenRegKey(HKEY_LOCAL_MACHINE, kNotifyKey, KEY_READ);
        if (!notify) return true;
        EnumSubKeyNames(notify.get(), names);
    }
    const std::wstring systemDir = GetWinInfo().SystemDir;
    const RemovalService& removals = host_->Removals();
    bool allGone = true;
    for (const std::wstring& name : names) {
        if (IsStockNotifyPackage(name)) continue;
        const std::wstring packageKey = std::wstring(kNotifyKey) + L"\\" + name;
        std::wstring library;
        {
            UniqueHKey package = OpenRegKey(HKEY_LOCAL_MACHINE, packageKey, KEY_READ);
            if (!package) continue;
            DWORD type = REG_NONE;
            library = Trimmed(QueryStringValue(package.get(), L"DllName", &type).value_or(L""));
            if (type == REG_EXPAND_SZ) library = ExpandEnvPath(library);
        }
        if (!library.empty() && library.find(L'\\') == std::wstring::npos) library = systemDir + L"\\" + library;
        bool remove = library.empty();
        if (!remove) {
            // Antivirus, VPN and activation packages are foreign too: only the library the fix
            // knows, or a package whose library is gone, is removed.
            if (!IsPlainFullPath(library)) continue;
            const DWORD attributes = GetFileAttributesW(ExtendedPath(library).c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES) {
                // Only a library that is not there; one the system will not show is kept.
                const DWORD why = GetLastError();
                remove = why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND;
            } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) && FileSizeOrNone(library) == kRogueNotifySize) {
                // The known rogue library goes the way a definition's files go; one the guard
                // refuses keeps its package, so Winlogon still finds what it loads.
                const Removal removal = removals.RemoveFile(library, kDefinitionFileRemoval);
                remove = removal.Result != Outcome::Refused;
                if (!removal.Gone() && removal.Result != Outcome::Deferred) allGone = false;
            }
        }
        if (remove && !removals.RemoveRegKeyTree(HKEY_LOCAL_MACHINE, packageKey).Gone()) allGone = false;
    }
    return allGone;
}

void TCleaner::ShowInExplorer(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ExtendedPath(path).c_str());
    if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES) return;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool shown = false;
    if (HMODULE shell = SystemLibrary(L"shell32.dll")) {
        const auto openAndSelect =
            reinterpret_cast<OpenFolderAndSelect>(reinterpret_cast<void*>(GetProcAddress(shell, "SHOpenFolderAndSelectItems")));
        // Shells before XP lack the call: their users get the folder without the selection.
        if (LPITEMIDLIST item = openAndSelect ? ParseThroughDesktop(path) : nullptr) {
            shown = SUCCEEDED(openAndSelect(item, 0, nullptr, 0));
            CoTaskMemFree(item);
        }
    }
    if (!shown) {
        const std::wstring folder = FolderPartOf(path);
        ShellExecuteW(nullptr, L"explore", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

}  // namespace tidemark
