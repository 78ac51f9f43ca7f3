#include "engine/removal_guard_system.h"

#include "engine/sealed_store.h"
#include "engine/store_keys.h"
#include "system/folder_macros.h"
#include "system/win_info.h"

namespace tidemark {

const wchar_t* SystemFileListName(int windowsKind) {
    switch (windowsKind) {
        case 0: return L"WT98";
        case 1: return L"WTME";
        case 2: return L"WT2K";
        case 4: return L"WT2K3";
        default: return L"WTXP";
    }
}

ProtectedPlaces ProtectedPlacesOfSystem(HMODULE module) {
    ProtectedPlaces places = ProtectedFoldersOfSystem();
    if (const auto lines = ReadSealedLines(module, L"FILE", SystemFileListName(GetWinInfo().Kind), kFixedStoreKey)) {
        for (const std::wstring& line : *lines) {
            if (!line.empty()) places.AddSystemFile(ReplaceDirTokens(line, true));
        }
    }
    return places;
}

}  // namespace tidemark
