// The fixed-drive list of the junk scan and the folder tree: the system's drive roots minus
// removable, network, CD-ROM, RAM-disk and undetermined drives.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tidemark {

struct FixedDriveList {
    std::vector<std::wstring> Roots;  // "C:\" ..., in the order the system lists them
    int Count = 0;                    // drives present minus those taken out
};

// The list from the given facts: the logical-drive mask, the system's root list and a drive
// type per root (GetDriveType's values). A root reported as having no root directory is kept.
FixedDriveList FixedDriveListFrom(unsigned driveMask, const std::vector<std::wstring>& systemRoots,
                                  const std::function<unsigned(const std::wstring&)>& driveType);
FixedDriveList BuildFixedDriveList();

// Roots as one text: each followed by a NUL, the whole followed by one more.
std::wstring DoubleNulList(const std::vector<std::wstring>& roots);

}  // namespace tidemark
