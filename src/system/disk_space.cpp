#include "system/disk_space.h"

#include <windows.h>

#include <cmath>

namespace tidemark {

int FreePercentOf(double freeBytes, double totalBytes) {
    if (totalBytes <= 0) return 0;
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double percent = std::nearbyint(freeBytes / totalBytes * 100.0);
    return percent < 0 ? 0 : percent > 100 ? 100 : static_cast<int>(percent);
}

int DiskFreePercentFrom(const std::function<unsigned(const std::wstring&)>& driveType,
                        const std::function<VolumeSpace(const std::wstring&)>& space) {
    double total = 0, free = 0;
    for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
        const std::wstring root{letter, L':', L'\\'};
        const unsigned type = driveType(root);
        if (type != DRIVE_FIXED && type != DRIVE_REMOTE && type != DRIVE_RAMDISK) continue;
        const VolumeSpace volume = space(root);
        if (!volume.ok) return 0;
        total += static_cast<double>(volume.total);
        free += static_cast<double>(volume.free);
    }
    return FreePercentOf(free, total);
}

int DiskFreePercent() {
    return DiskFreePercentFrom([](const std::wstring& root) { return GetDriveTypeW(root.c_str()); },
                               [](const std::wstring& root) {
                                   VolumeSpace volume;
                                   ULARGE_INTEGER available, total, free;
                                   // Errors such as an empty drive must not stop the program with a box.
                                   const UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
                                   volume.ok = GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free) != FALSE;
                                   SetErrorMode(old);
                                   volume.total = total.QuadPart;
                                   volume.free = free.QuadPart;
                                   return volume;
                               });
}

}  // namespace tidemark
