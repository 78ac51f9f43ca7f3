#include "engine/soft_obj.h"

#include <windows.h>

#include <algorithm>

#include "system/file_ops.h"
#include "system/folder_macros.h"
#include "system/prompt.h"
#include "system/reg_paths.h"
#include "system/services.h"
#include "system/text_case.h"

namespace tidemark {

namespace {

bool PlainFileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ExtendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool KeyExists(const std::wstring& path) { return KeyPathExists(path); }
bool ValueExists(const std::wstring& path) { return ValuePathExists(path); }

// A definition path with its folder macro expanded. On 64-bit Windows a path in Program Files
// or Common Files is also given in the other view's folder, so a rogue is found whichever width
// it was built for; a table whose folder is not this process's own (a test's) keeps its one path.
std::vector<std::wstring> InEveryProgramFolder(const TSysDir& macros, const std::wstring& text) {
    std::vector<std::wstring> paths{macros.Expand(text)};
    const std::wstring head = LowerCased(text.substr(0, text.find(L'%', 1) + 1));
    const bool common = head == FolderMacroNames[MacroProgramFilesCommon];
    if (!common && head != FolderMacroNames[MacroProgramFiles]) return paths;
    const std::wstring own = macros.Value(common ? MacroProgramFilesCommon : MacroProgramFiles);
    if (own.empty() || LowerCased(own) != LowerCased(ProgramFolderOfView(NaturalRegView(), common))) return paths;
    for (const RegView view : RegistryViews()) {
        const std::wstring folder = ProgramFolderOfView(view, common);
        if (folder.empty() || LowerCased(folder) == LowerCased(own)) continue;
        paths.push_back(folder + text.substr(head.size()));
    }
    return paths;
}

// Sets the state on every exit, also when an error ends the detection early.
struct DetectedOnExit {
    std::uint8_t& state;
    ~DetectedOnExit() { state = RunDetected; }
};

}  // namespace

ScriptFixRequests& DefinitionFixRequests() {
    static ScriptFixRequests fixes;
    return fixes;
}

std::uint8_t StatusOfChecks(int found, int total) {
    if (found <= 0) return StatusNotFound;
    if (total >= 20 && found * 100 / total < 40) return StatusRemnants;
    return StatusInstalled;
}

const CleanClass TSoftObj::Class = {
    "TSoftObj",
    [](CleanHost& host) -> std::unique_ptr<TCleanObj> { return std::make_unique<TSoftObj>(host); },
    [](const std::vector<std::wstring>& script, CleanHost& host) -> std::unique_ptr<TCleanObj> {
        return std::make_unique<TSoftObj>(script, host);
    },
};

TSoftObj::TSoftObj(CleanHost& host) : TCleanObj(host) {}

TSoftObj::TSoftObj(const std::vector<std::wstring>& script, CleanHost& host) : TCleanObj(host) {
    DefinitionScriptRead read = ReadDefinitionScript(script, DefinitionFixRequests());
    if (read.Error) throw DefinitionScriptFailure(*read.Error);
    Build(read.Script);
}

void TSoftObj::Build(const DefinitionScript& script) {
    Id = script.Id;
    Name = script.Name;
    Main = script.Main;
    Hint = script.Hint;
    CancelShutdown = script.CancelShutdown;
    SafeMode = script.SafeMode;
    KillExplorer = script.KillExplorer;
    Includes = script.Includes;
    for (const ScriptEntry& entry : script.Services) AddService(entry.Text);
    // A registry entry of a branch the views keep apart is looked for in each view: a 32-bit
    // rogue writes the 32-bit one, a 64-bit rogue the other.
    const auto inEachView = [](const std::vector<ScriptEntry>& entries, const std::function<void(const std::wstring&)>& add) {
        for (const ScriptEntry& entry : entries) {
            if (!PathMayDifferByView(entry.Text)) {
                add(entry.Text);
                continue;
            }
            for (const RegView view : RegistryViews()) {
                const ScopedRegView scope(view);
                add(entry.Text);
            }
        }
    };
    inEachView(script.RegKeys, [&](const std::wstring& text) { AddRegKey(text); });
    inEachView(script.RegValues, [&](const std::wstring& text) { AddRegValue(text); });
    inEachView(script.KeyFiles, [&](const std::wstring& text) { Append(KeyFiles, text); });
    inEachView(script.CheckKeys, [&](const std::wstring& text) { AddCheckKey(text); });
    inEachView(script.CheckValues, [&](const std::wstring& text) { AddCheckValue(text); });
    inEachView(script.CheckTexts, [&](const std::wstring& text) { AddCheckText(text); });
    // Files, folders and check files in the order the script wrote them: a wildcard adds the
    // folders it matches to Folders, between the folder lines around it.
    struct Line {
        std::size_t number;
        int list;  // 0 file, 1 folder, 2 check file
        const std::wstring* text;
    };
    std::vector<Line> lines;
    for (const ScriptEntry& entry : script.Files) lines.push_back({entry.Line, 0, &entry.Text});
    for (const ScriptEntry& entry : script.Folders) lines.push_back({entry.Line, 1, &entry.Text});
    for (const ScriptEntry& entry : script.CheckFiles) lines.push_back({entry.Line, 2, &entry.Text});
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.number < b.number; });
    const TSysDir& macros = Host().Macros();
    for (const Line& line : lines) {
        for (const std::wstring& text : InEveryProgramFolder(macros, *line.text)) {
            if (line.list == 1) {
                AddFolder(text);
            } else if (line.list == 0) {
                AddFile(text);
            } else {
                AddCheckFile(text);
            }
        }
    }
    std::stable_sort(Files.begin(), Files.end(), [](const auto& a, const auto& b) {
        return FileOrderGroup(a->Path) < FileOrderGroup(b->Path);
    });
}

int TSoftObj::AddFile(const std::wstring& path) {
    AddExpanded(path, Files);
    return path.find(L'*') == std::wstring::npos ? static_cast<int>(Files.size()) - 1 : -1;
}

int TSoftObj::AddCheckFile(const std::wstring& path) {
    AddExpanded(path, CheckFiles);
    return path.find(L'*') == std::wstring::npos ? static_cast<int>(CheckFiles.size()) - 1 : -1;
}

int TSoftObj::AddCheckKey(const std::wstring& path) { return Append(CheckKeys, path); }
int TSoftObj::AddCheckValue(const std::wstring& path) { return Append(CheckValues, path); }
int TSoftObj::AddCheckText(const std::wstring& text) { return Append(CheckTexts, text); }

bool TSoftObj::CleanCheckFile(int index, bool recheck) {
    return CleanOne(CheckFiles, index, recheck, &TSoftObj::RemoveFileEntry);
}

bool TSoftObj::CleanCheckValue(int index, bool recheck) {
    return CleanOne(CheckValues, index, recheck, &TSoftObj::RemoveCheckTextEntry);
}

int TSoftObj::CheckCount() const {
    return static_cast<int>(CheckFiles.size() + CheckKeys.size() + CheckValues.size() + CheckTexts.size());
}

void TSoftObj::Examine(ItemList& list, ItemKind kind, bool (*exists)(const std::wstring&), Tally& tally) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        TSingleItem& item = *list[i];
        const ScopedRegView view(item.View);
        // The same registry path in another view is one check entry, found when either view has it.
        const TSingleItem* twin = nullptr;
        if (kind != ItemFile) {
            for (std::size_t j = 0; j < i && !twin; ++j)
                if (list[j]->View != item.View && UpperCased(list[j]->Path) == UpperCased(item.Path)) twin = list[j].get();
        }
        bool present = exists(item.Path);
        // A key both views share was looked at already, in its twin's view.
        if (present && twin) present = !EntryKeySharedByViews(item.Path, kind == ItemRegValue);
        item.State = present ? StateFound : StateNotFound;
        if (!twin) {
            ++tally.entries;
            tally.found += present ? 1 : 0;
        } else if (present && twin->State != StateFound) {
            ++tally.found;
        }
        if (OnItem) OnItem->Found(ItemReport{this, static_cast<int>(i), &item, kind, Tag});
    }
}

std::uint8_t TSoftObj::Check() {
    Status = StatusNotFound;
    RunState = RunDetecting;
    DetectedOnExit detected{RunState};
    int servicesFound = 0;
    if (!Services.empty()) {
        if (UniqueScHandle manager = OpenServiceManager()) {
            for (std::size_t i = 0; i < Services.size(); ++i) {
                TSingleItem& item = *Services[i];
                switch (QueryServicePresence(manager.get(), item.Path)) {
                    case ServicePresence::Absent: item.State = StateNotFound; break;
                    case ServicePresence::Running: item.State = StateRunning; ++servicesFound; break;
                    case ServicePresence::Stopped: item.State = StateFound; ++servicesFound; break;
                    case ServicePresence::Unknown: ++servicesFound; break;
                }
                if (OnItem) OnItem->Found(ItemReport{this, static_cast<int>(i), &item, ItemService, Tag});
            }
        }
    }
    if (servicesFound > 0) {
        Status = StatusInstalled;
        return Status;
    }
    Tally tally;
    Examine(CheckFiles, ItemFile, PlainFileExists, tally);
    Examine(CheckKeys, ItemRegKey, KeyExists, tally);
    Examine(CheckValues, ItemRegValue, ValueExists, tally);
    // A check text is looked for as a key of the whole text, comma and all.
    Examine(CheckTexts, ItemRegKey, KeyExists, tally);
    Status = StatusOfChecks(tally.found, tally.entries);
    return Status;
}

bool TSoftObj::Clean() {
    if (SafeMode && !Host().InSafeMode()) ShowInfo(L"清理<" + Name + L">需要安全模式，否则难以被完全清除");
    if (KillExplorer) {
        if (const std::uint32_t explorer = Host().ExplorerProcess()) {
            const int answer = AskYesNo(L"清理<" + Name +
                                        L">需要关闭Explorer，选择\"是\"将关闭Explorer继续清理，选择\"否\"直接进行剩下的操作");
            if (answer == AnswerYes) Host().EndExplorer(explorer);
        }
    }
    // However the clean ends (an unexpected error goes on to the caller), this definition is not
    // cleaned again as another one's include.
    struct CleanedOnExit {
        std::uint8_t& state;
        ~CleanedOnExit() { state = RunCleaned; }
    } cleanedOnExit{RunState};
    if (!Includes.empty()) {
        RunState = RunCleaningIncludes;
        for (const std::int32_t id : Includes) {
            TSoftObj* other = FindById ? FindById(*this, id) : nullptr;
            if (other && other != this && other->RunState != RunCleaning && other->RunState != RunCleaningIncludes &&
                other->RunState != RunCleaned) {
                other->Clean();
            }
        }
    }
    RunState = RunCleaning;
    if (BeforeRemoval) BeforeRemoval(*this);
    const auto removeAll = [&](ItemList& list, EntryRemoval remove) {
        for (auto& item : list) Settle(*item, (this->*remove)(*item));
    };
    removeAll(CheckFiles, &TSoftObj::RemoveFileEntry);
    removeAll(CheckTexts, &TSoftObj::RemoveCheckTextEntry);
    removeAll(CheckKeys, &TSoftObj::RemoveKeyEntry);
    removeAll(CheckValues, &TSoftObj::RemoveValueEntry);
    return TCleanObj::Clean();
}

}  // namespace tidemark
