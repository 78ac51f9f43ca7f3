// The checksum that ties the boot-time deletion list to its boot-execute entry: for every
// non-empty line, its first UTF-16 code unit times its length in code units, summed into an
// unsigned 32-bit number (wrapping); then (sum / 12) % 4096. Header-only and free of Windows
// headers, so the native boot tool computes it the same way.
#pragma once

#include <cstdint>
#include <string_view>

namespace tidemark {

// Adds one line to a running sum.
inline std::uint32_t AddBootLine(std::uint32_t sum, std::u16string_view line) {
    if (line.empty()) return sum;
    return sum + static_cast<std::uint32_t>(line.front()) * static_cast<std::uint32_t>(line.size());
}

inline std::uint32_t BootChecksumOfSum(std::uint32_t sum) { return (sum / 12) % 4096; }

template <typename Lines>
std::uint32_t BootListChecksum(const Lines& lines) {
    std::uint32_t sum = 0;
    for (const auto& line : lines)
        sum = AddBootLine(sum, std::u16string_view(reinterpret_cast<const char16_t*>(line.data()), line.size()));
    return BootChecksumOfSum(sum);
}

}  // namespace tidemark
