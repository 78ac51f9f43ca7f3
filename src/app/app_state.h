// The process-wide values the start-up sequence sets and the views read.
#pragma once

#include <string>
#include <vector>

#include "core/engine_contract.h"

namespace tidemark {

struct AppState {
    std::wstring AppFolder;        // folder of the executable, with a trailing backslash
    std::wstring AppDir;           // the same without it
    std::wstring LogLibraryPath;   // AppFolder + "qklog.dll"
    int OsVersionCode = 0;
    int CodePageIndex = 0;         // 0: code page 936, 1: 950, 2: any other
    unsigned UiLanguageId = 0;
    std::wstring ApplicationTitle = L"Tidemark 1.31";
    bool UiIdle = true;
    StopToken Stop;                // stop and cancel buttons and closing request it
    int CurrentView = 0;
    int CurrentSubView = 0;
    std::wstring WorkFolder;       // upper-case temporary folder + "brim"
    std::vector<std::wstring> FixedDriveRoots;
    int FixedDriveCount = 0;
    int SavedDragFullWindows = 0;
    bool DragSettingSaved = false;
    bool HiddenStartMode = false;
};

AppState& App();

// The switch of the first command-line argument (exact, case-sensitive; later ones ignored).
enum class StartSwitch { None, QkGui, ClearFile, ClearReg };
StartSwitch ParseStartSwitch(const std::vector<std::wstring>& args);

int CodePageIndexOf(unsigned ansiCodePage);

}  // namespace tidemark
