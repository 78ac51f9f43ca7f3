#include <gtest/gtest.h>

#include <windows.h>

#include <map>

#include "system/fixed_drives.h"

namespace tidemark {
namespace {

FixedDriveList ListFor(const std::map<wchar_t, unsigned>& types) {
    unsigned mask = 0;
    std::vector<std::wstring> roots;
    for (const auto& [letter, type] : types) {
        if (type == DRIVE_NO_ROOT_DIR) continue;
        mask |= 1u << (letter - L'A');
        roots.push_back(std::wstring{letter, L':', L'\\'});
    }
    return FixedDriveListFrom(mask, roots, [&](const std::wstring& root) {
        const auto it = types.find(root[0]);
        return it == types.end() ? static_cast<unsigned>(DRIVE_NO_ROOT_DIR) : it->second;
    });
}

TEST(FixedDrives, OnlyFixedDrivesRemain) {
    // Two fixed disks, a CD-ROM and a USB stick.
    FixedDriveList list = ListFor({{L'C', DRIVE_FIXED}, {L'D', DRIVE_FIXED}, {L'E', DRIVE_CDROM},
                                   {L'F', DRIVE_REMOVABLE}});
    EXPECT_EQ(list.Roots, (std::vector<std::wstring>{L"C:\\", L"D:\\"}));
    EXPECT_EQ(list.Count, 2);

    list = ListFor({{L'A', DRIVE_REMOVABLE}, {L'C', DRIVE_FIXED}, {L'G', DRIVE_REMOTE},
                    {L'R', DRIVE_RAMDISK}, {L'U', DRIVE_UNKNOWN}});
    EXPECT_EQ(list.Roots, (std::vector<std::wstring>{L"C:\\"}));
    EXPECT_EQ(list.Count, 1);
}

TEST(FixedDrives, ThisPrefixHasOnlyDriveC) {
    // The test prefix is sandboxed: no drive maps the Linux file system, and the build tree's
    // drive is a CD-ROM.
    const FixedDriveList list = BuildFixedDriveList();
    EXPECT_EQ(list.Roots, std::vector<std::wstring>{L"C:\\"});
    EXPECT_EQ(list.Count, 1);
    EXPECT_EQ(DoubleNulList(list.Roots), std::wstring(L"C:\\\0\0", 5));
}

}  // namespace
}  // namespace tidemark
