// Free space over the local and network drives C to Z, as one percentage.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tidemark {

struct VolumeSpace {
    bool ok = false;
    std::uint64_t total = 0, free = 0;
};

// Free over total bytes of the kept drives (fixed, network, RAM disk; not removable, CD-ROM,
// undetermined or without a root) in percent, to the nearest integer with halves to the even
// neighbour. 0 when nothing is counted, or when a kept drive cannot be measured.
int DiskFreePercentFrom(const std::function<unsigned(const std::wstring& root)>& driveType,
                        const std::function<VolumeSpace(const std::wstring& root)>& space);
int DiskFreePercent();

// The percentage from the sums, as above.
int FreePercentOf(double freeBytes, double totalBytes);

}  // namespace tidemark
