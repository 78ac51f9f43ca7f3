#include "system/fixed_drives.h"

#include <windows.h>

#include <algorithm>

namespace tidemark {

FixedDriveList FixedDriveListFrom(unsigned driveMask, const std::vector<std::wstring>& systemRoots,
                                  const std::function<unsigned(const std::wstring&)>& driveType) {
    FixedDriveList list;
    list.Roots = systemRoots;
    for (int i = 0; i < 26; ++i)
        if (driveMask & (1u << i)) ++list.Count;
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        const std::wstring root{letter, L':', L'\\'};
        // Only a root that was listed is taken out (and out of the count as well): a letter no
        // root names is not asked about, which spares a query of the system per absent letter.
        const auto it = std::find_if(list.Roots.begin(), list.Roots.end(), [&](const std::wstring& r) {
            return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, r.c_str(), -1, root.c_str(), -1) == CSTR_EQUAL;
        });
        if (it == list.Roots.end()) continue;
        switch (driveType(root)) {
        case DRIVE_REMOVABLE: case DRIVE_REMOTE: case DRIVE_CDROM: case DRIVE_RAMDISK:
        case DRIVE_UNKNOWN:
            list.Roots.erase(it);
            --list.Count;
            break;
        default: break;
        }
    }
    return list;
}

FixedDriveList BuildFixedDriveList() {
    std::vector<std::wstring> roots;
    wchar_t buffer[26 * 4 + 2] = {};
    const DWORD n = GetLogicalDriveStringsW(static_cast<DWORD>(std::size(buffer)), buffer);
    if (n > 0 && n < std::size(buffer))
        for (const wchar_t* p = buffer; *p; p += wcslen(p) + 1) roots.emplace_back(p);
    return FixedDriveListFrom(GetLogicalDrives(), roots,
                              [](const std::wstring& root) { return GetDriveTypeW(root.c_str()); });
}

std::wstring DoubleNulList(const std::vector<std::wstring>& roots) {
    std::wstring list;
    for (const auto& r : roots) {
        list += r;
        list.push_back(L'\0');
    }
    list.push_back(L'\0');
    return list;
}

}  // namespace tidemark
