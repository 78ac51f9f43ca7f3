#include "support/win7_identity.h"

#include "system/guarded_call.h"

namespace tidemark {

bool SetWin7AppIdentity(HWND window, const std::wstring& folder) {
    const std::wstring path = folder + L"qkWin7.dll";
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    const UniqueForeignLibrary library(LoadForeignLibrary(path));
    if (!library) return false;
    using SetAppId = void(WINAPI*)(HWND, const wchar_t*);
    const auto setAppId = ForeignExport<SetAppId>(library.get(), "Win7_SetAppID");
    return setAppId && CallGuarded([&] { setAppId(window, kWin7AppId); });
}

}  // namespace tidemark
