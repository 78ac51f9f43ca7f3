#include "system/recycle_file.h"

#include <windows.h>
#include <shellapi.h>

#include "system/file_ops.h"
#include "system/handles.h"

namespace tidemark {

namespace {

// A full path on a drive ("X:\" and at least one name) the shell reads as it is written.
bool ShellTakesExactly(const std::wstring& path) {
    if (path.size() <= 3 || path.size() >= MAX_PATH) return false;
    const wchar_t drive = path[0];
    if (!((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z')) || path[1] != L':' ||
        path[2] != L'\\')
        return false;
    for (wchar_t c : path)
        if (c < 32 || c == L'*' || c == L'?' || c == L'/' || c == L'"' || c == L'<' || c == L'>' || c == L'|')
            return false;
    if (path.find(L"\\.\\") != std::wstring::npos || path.find(L"\\..") != std::wstring::npos) return false;
    return ExtendedPath(path) == path;
}

}  // namespace

bool RecycleFile(const std::wstring& path) {
    if (!ShellTakesExactly(path)) return false;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        UniqueHandle probe(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe) return false;
    }
    std::wstring from = path;
    from.append(2, L'\0');  // the list ends with an extra zero
    SHFILEOPSTRUCTW op{};
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_FILESONLY | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

}  // namespace tidemark
