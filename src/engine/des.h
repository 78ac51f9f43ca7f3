// DES (FIPS 46-3): single blocks and cipher-block chaining over whole 8-byte blocks.
// Pure code, no Windows headers, so it also builds natively for fuzzing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tidemark {

using DesBlock = std::array<std::uint8_t, 8>;

class Des {
public:
    // The low bit of each key byte is parity and takes no part, as the standard prescribes.
    explicit Des(const DesBlock& key);

    DesBlock Encrypt(const DesBlock& block) const;
    DesBlock Decrypt(const DesBlock& block) const;

    // In place over the whole 8-byte blocks of data; a trailing part shorter than a block is
    // left untouched. iv is the chaining value before the first block.
    void EncryptCbc(std::uint8_t* data, std::size_t size, const DesBlock& iv) const;
    void DecryptCbc(std::uint8_t* data, std::size_t size, const DesBlock& iv) const;

private:
    std::uint64_t Crypt(std::uint64_t block, bool decrypt) const;
    std::uint64_t subkeys_[16];  // 48 bits each
};

}  // namespace tidemark
