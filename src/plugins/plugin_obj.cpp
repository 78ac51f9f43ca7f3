#include "plugins/plugin_obj.h"

#include <windows.h>

#include <iterator>

#include "system/file_ops.h"
#include "system/folder_macros.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/text_case.h"
#include "system/win_info.h"

namespace tidemark {

namespace {

const PluginRegistration kRegistrations[] = {
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects"},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar"},
    {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", L"Software\\Microsoft\\Internet Explorer\\MenuExt"},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Microsoft\\Internet Explorer\\Extensions"},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars"},
};
constexpr wchar_t kCurrentUser[] = L"HKEY_CURRENT_USER\\";

// The key under the kind's registration key, relative to its root.
std::wstring KeyUnder(std::uint8_t kind, const std::wstring& key) {
    return std::wstring(RegistrationOf(kind)->Key) + L"\\" + key;
}

// The same as a full registry path.
std::wstring PathUnder(std::uint8_t kind, const std::wstring& key) {
    return std::wstring(RegistrationOf(kind)->RootName) + L"\\" + KeyUnder(kind, key);
}
constexpr wchar_t kNoName[] = L"<无名>";

std::wstring StringValue(HKEY key, const wchar_t* name) { return QueryStringValue(key, name).value_or(L""); }

// A registered path as the registration means it: one pair of enclosing quotes dropped.
std::wstring Unquoted(const std::wstring& text) {
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') return text.substr(1, text.size() - 2);
    return text;
}

// "X:\..." or "\\server\share\...", with no "." or ".." step and nothing the file system would
// read as a pattern, a device form or part of a command line. A bare name would be looked up in
// the current folder, which is not what the registration names.
bool IsFullyQualifiedFilePath(const std::wstring& path) {
    if (path.find_first_of(L"*?\"<>|") != std::wstring::npos) return false;
    std::size_t rest = 0;
    if (path.size() > 3 && (path[0] | 0x20) >= L'a' && (path[0] | 0x20) <= L'z' && path[1] == L':' && path[2] == L'\\') {
        rest = 3;
    } else if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?' && path[2] != L'.') {
        rest = 2;
    } else {
        return false;
    }
    if (path.find(L':', rest) != std::wstring::npos || path.back() == L'\\') return false;
    for (std::size_t start = rest; start <= path.size();) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring part = path.substr(start, end - start);
        if (part.empty() || part == L"." || part == L"..") return false;
        start = end + 1;
    }
    return true;
}

// Only such a path to a regular file that exists now may be deleted: anything else (a folder,
// a pattern, a command line, a name for the search path) reaches what the plug-in never was.
bool IsDeletableFile(const std::wstring& path) {
    if (!IsFullyQualifiedFilePath(path)) return false;
    const DWORD attributes = GetFileAttributesW(ExtendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// "HKEY_CLASSES_ROOT\CLSID\{...}": the class registration a library serves.
bool IsClassKey(const std::wstring& path) {
    static const std::wstring prefix = L"HKEY_CLASSES_ROOT\\CLSID\\";
    return path.size() > prefix.size() && UpperCased(path.substr(0, prefix.size())) == UpperCased(prefix);
}

bool IsUnderFolder(const std::wstring& path, const std::wstring& folder) {
    if (folder.empty()) return false;
    const std::wstring base = ComparablePath(folder) + L"\\";
    const std::wstring full = ComparablePath(path);
    if (full.compare(0, base.size(), base) == 0) return true;
    const std::wstring longForm = ComparablePath(GetLongPath(path));
    return longForm.compare(0, base.size(), base) == 0;
}

}  // namespace

// ---- the common part ----

TPluginObj::TPluginObj(CleanHost& host, std::uint8_t kind) : TCleanObj(host) {
    Id = 0;
    Status = StatusInstalled;
    Kind = kind;
}

void TPluginObj::AddFoundKey(const std::wstring& path) {
    const int index = AddRegKey(path);
    TSingleItem& item = *RegKeys[static_cast<std::size_t>(index)];
    item.State = StateFound;
    if (OnItem) OnItem->Found(ItemReport{this, index, &item, ItemRegKey, Tag});
}

void TPluginObj::AddFoundValue(const std::wstring& path) {
    const int index = AddRegValue(path);
    TSingleItem& item = *RegValues[static_cast<std::size_t>(index)];
    item.State = StateFound;
    if (OnItem) OnItem->Found(ItemReport{this, index, &item, ItemRegValue, Tag});
}

void TPluginObj::AddNamedFile(const std::wstring& path) {
    // As this process reaches the file the registration's view names.
    const std::wstring file = PathForProcess(Unquoted(path), CurrentRegView());
    const int index = AddFile(file);
    TSingleItem& item = *Files[static_cast<std::size_t>(index)];
    item.State = IsDeletableFile(file) ? StateFound : StateNotFound;
    if (OnItem) OnItem->Found(ItemReport{this, index, &item, ItemFile, Tag});
}

void TPluginObj::LoadClass(const std::wstring& classId) {
    // An empty or nested identifier (a button's "BandCLSID" is free text) would name the whole
    // class table, or another key, as this plug-in's.
    if (classId.empty() || classId.find(L'\\') != std::wstring::npos) return;
    const std::wstring classKey = L"CLSID\\" + classId;
    UniqueHKey key = OpenRegKey(HKEY_CLASSES_ROOT, classKey, KEY_READ);
    if (!key) return;
    AddFoundKey(L"HKEY_CLASSES_ROOT\\" + classKey);
    Name = Trimmed(StringValue(key.get(), L""));
    UniqueHKey server = OpenRegKey(key.get(), L"InprocServer32", KEY_READ);
    if (!server) return;
    const std::wstring path = ExpandInView(StringValue(server.get(), L""), CurrentRegView());
    if (!path.empty()) AddNamedFile(path);
}

std::vector<PluginEntry> TPluginObj::CleanPlan() const {
    std::vector<PluginEntry> plan;
    if (Risk == RiskSafe) return plan;
    // An unknown plug-in served from the Windows folder keeps its library and its class.
    bool keepClass = false;
    if (Risk != RiskOrdinary) {
        const std::wstring windows = Host().Macros().Value(MacroWindir);
        for (const auto& entry : Files) {
            if (Risk == RiskUnknown && IsUnderFolder(entry->Path, windows)) {
                keepClass = true;
                continue;
            }
            plan.push_back({ItemFile, entry.get()});
        }
        for (const auto& entry : Folders) plan.push_back({ItemFolder, entry.get()});
    }
    for (const auto& entry : RegKeys) {
        if (keepClass && IsClassKey(entry->Path)) continue;
        plan.push_back({ItemRegKey, entry.get()});
    }
    for (const auto& entry : RegValues) plan.push_back({ItemRegValue, entry.get()});
    for (const auto& entry : KeyFiles) plan.push_back({ItemRegKey, entry.get()});
    return plan;
}

Outcome TPluginObj::RemoveEntry(const PluginEntry& entry) {
    TSingleItem& item = *entry.Item;
    const ScopedRegView view(item.View);
    Removal removal;
    switch (entry.Kind) {
        case ItemFile:
            if (!IsDeletableFile(item.Path)) {
                // Nothing the registration names is there to remove.
                item.State = StateNotFound;
                removal.Result = Outcome::Missing;
                Report(item, ItemFile, removal);
                return removal.Result;
            }
            removal = RemoveFileEntry(item);
            break;
        case ItemFolder: removal = RemoveFolderEntry(item); break;
        case ItemRegValue: removal = RemoveValueEntry(item); break;
        case ItemRegKey:
            if (item.Path.compare(0, std::size(kCurrentUser) - 1, kCurrentUser) != 0) {
                removal = RemoveKeyEntry(item);
                break;
            }
            // The scan listed this key from the current user's own hive, and Load read it there:
            // it is removed there too, whichever user's hive the other cleaners are redirected to
            // (the key is named below its parent, which the redirection does not reach).
            {
                const std::wstring path = item.Path.substr(std::size(kCurrentUser) - 1);
                const std::size_t slash = path.rfind(L'\\');
                LONG error = ERROR_SUCCESS;
                UniqueHKey parent;
                if (slash != std::wstring::npos) parent = OpenRegKey(HKEY_CURRENT_USER, path.substr(0, slash), KEY_READ, &error);
                if (parent) {
                    removal = Host().Removals().RemoveRegKeyTree(parent.get(), path.substr(slash + 1));
                } else if (slash != std::wstring::npos && IsMissingError(error)) {
                    removal.Result = Outcome::Missing;
                } else {
                    removal.Error = slash == std::wstring::npos ? ERROR_INVALID_NAME : static_cast<unsigned long>(error);
                }
                Report(item, ItemRegKey, removal);
            }
            break;
        default: removal.Result = Outcome::Refused; removal.Verdict = TargetVerdict::NotFullPath; break;
    }
    Settle(item, removal);
    return removal.Result;
}

bool TPluginObj::Clean() {
    bool allGone = true;
    for (const PluginEntry& entry : CleanPlan()) {
        const Outcome outcome = RemoveEntry(entry);
        allGone = allGone && (outcome == Outcome::Done || outcome == Outcome::Missing || outcome == Outcome::Recycled);
    }
    return allGone;
}

bool TPluginObj::CleanPlanned(ItemList& list, int index) {
    if (index < 0 || index >= static_cast<int>(list.size())) return false;
    const TSingleItem* item = list[static_cast<std::size_t>(index)].get();
    for (const PluginEntry& entry : CleanPlan()) {
        if (entry.Item != item) continue;
        const Outcome outcome = RemoveEntry(entry);
        return outcome == Outcome::Done || outcome == Outcome::Missing || outcome == Outcome::Recycled;
    }
    // Not the clean's to remove at this plug-in's risk: it stays as it is.
    return false;
}

bool TPluginObj::CleanFile(int index, bool) { return CleanPlanned(Files, index); }
bool TPluginObj::CleanFolder(int index, bool) { return CleanPlanned(Folders, index); }
bool TPluginObj::CleanRegKey(int index, bool) { return CleanPlanned(RegKeys, index); }
bool TPluginObj::CleanRegValue(int index, bool) { return CleanPlanned(RegValues, index); }

const PluginRegistration* RegistrationOf(std::uint8_t kind) {
    return kind >= 1 && kind <= std::size(kRegistrations) ? &kRegistrations[kind - 1] : nullptr;
}

// ---- the five kinds ----

TBho::TBho(CleanHost& host) : TPluginObj(host, 1) {}

void TBho::Load(const std::wstring& key) {
    LoadClass(key);
    const std::wstring keyPath = PathUnder(1, key);
    if (Name.empty()) ReadValuePath(keyPath + L"\\", Name);
    if (Name.empty()) Name = kNoName;
    AddFoundKey(keyPath);
}

TIEToolBar::TIEToolBar(CleanHost& host) : TPluginObj(host, 2) {}

void TIEToolBar::Load(const std::wstring& key) {
    LoadClass(key);
    const std::wstring valuePath = PathUnder(2, key);
    if (Name.empty()) ReadValuePath(valuePath, Name);
    if (Name.empty()) Name = kNoName;
    AddFoundValue(valuePath);
}

TMenuExt::TMenuExt(CleanHost& host) : TPluginObj(host, 3) {}

void TMenuExt::Load(const std::wstring& key) {
    Name = key;
    // A context-menu entry only runs a script of the user's: its files are never the engine's.
    Risk = RiskOrdinary;
    AddFoundKey(PathUnder(3, key));
    UniqueHKey menu = OpenRegKey(HKEY_CURRENT_USER, KeyUnder(3, key), KEY_READ);
    if (!menu) return;
    const std::wstring script = StringValue(menu.get(), L"");
    if (!script.empty()) AddNamedFile(script);
}

TIEToolButton::TIEToolButton(CleanHost& host) : TPluginObj(host, 4) {}

void TIEToolButton::Load(const std::wstring& key) {
    AddFoundKey(PathUnder(4, key));
    UniqueHKey button = OpenRegKey(HKEY_LOCAL_MACHINE, KeyUnder(4, key), KEY_READ);
    if (!button) return;
    const std::wstring kind = UpperCased(StringValue(button.get(), L"CLSID"));
    if (kind == kButtonOpensBar) {
        LoadClass(StringValue(button.get(), L"BandCLSID"));
    } else if (kind == kButtonRunsCommand) {
        const std::wstring extension = StringValue(button.get(), L"ClsidExtension");
        if (!extension.empty()) {
            LoadClass(extension);
        } else {
            const std::wstring command = StringValue(button.get(), L"Exec");
            if (!command.empty()) AddNamedFile(command);
        }
    }
    Name = Trimmed(StringValue(button.get(), L"MenuText"));
    if (Name.empty()) Name = Trimmed(StringValue(button.get(), L"ButtonText"));
    if (Name.empty()) Name = kNoName;
}

TExplorerBar::TExplorerBar(CleanHost& host) : TPluginObj(host, 5) {}

void TExplorerBar::Load(const std::wstring& key) {
    LoadClass(key);
    AddFoundKey(PathUnder(5, key));
}

// ---- class references ----

namespace {

template <class T>
std::unique_ptr<TCleanObj> CreatePlugin(CleanHost& host) {
    return std::make_unique<T>(host);
}

template <class T>
std::unique_ptr<TCleanObj> CreatePluginFromScript(const std::vector<std::wstring>&, CleanHost& host) {
    return std::make_unique<T>(host);
}

}  // namespace

const CleanClass TBho::Class{"TBho", &CreatePlugin<TBho>, &CreatePluginFromScript<TBho>};
const CleanClass TIEToolBar::Class{"TIEToolBar", &CreatePlugin<TIEToolBar>, &CreatePluginFromScript<TIEToolBar>};
const CleanClass TMenuExt::Class{"TMenuExt", &CreatePlugin<TMenuExt>, &CreatePluginFromScript<TMenuExt>};
const CleanClass TIEToolButton::Class{"TIEToolButton", &CreatePlugin<TIEToolButton>,
                                      &CreatePluginFromScript<TIEToolButton>};
const CleanClass TExplorerBar::Class{"TExplorerBar", &CreatePlugin<TExplorerBar>,
                                     &CreatePluginFromScript<TExplorerBar>};

}  // namespace tidemark
