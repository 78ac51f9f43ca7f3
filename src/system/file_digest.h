// File digests through the system's CryptoAPI (SHA-256 with the AES provider: XP SP3 and later).
#pragma once

#include <optional>
#include <string>

namespace tidemark {

// The SHA-256 of the file's bytes as 64 lower-case hex digits; nothing when the file cannot be
// read or the system has no SHA-256.
std::optional<std::string> FileSha256(const std::wstring& path);
// The same over bytes in memory.
std::optional<std::string> Sha256Of(const void* data, std::size_t size);

}  // namespace tidemark
