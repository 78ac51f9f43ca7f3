// MD5 (RFC 1321). Pure code, no Windows headers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tidemark {

class Md5 {
public:
    Md5();
    void Update(const void* data, std::size_t size);
    std::array<std::uint8_t, 16> Final();

private:
    void Block(const std::uint8_t* block);
    std::uint32_t state_[4];
    std::uint64_t length_ = 0;  // bytes so far
    std::uint8_t buffer_[64];
    std::size_t buffered_ = 0;
};

// 32 lower-case hexadecimal digits.
std::string Md5Hex(const std::array<std::uint8_t, 16>& digest);
std::string Md5HexOf(const void* data, std::size_t size);

}  // namespace tidemark
