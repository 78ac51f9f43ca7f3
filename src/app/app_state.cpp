#include "app/app_state.h"

namespace tidemark {

AppState& App() {
    static AppState state;
    return state;
}

StartSwitch ParseStartSwitch(const std::vector<std::wstring>& args) {
    if (args.empty()) return StartSwitch::None;
    if (args[0] == L"/qkgui") return StartSwitch::QkGui;
    if (args[0] == L"/clearfile") return StartSwitch::ClearFile;
    if (args[0] == L"/clearreg") return StartSwitch::ClearReg;
    return StartSwitch::None;
}

int CodePageIndexOf(unsigned ansiCodePage) {
    switch (ansiCodePage) {
    case 936: return 0;
    case 950: return 1;
    default: return 2;
    }
}

}  // namespace tidemark
