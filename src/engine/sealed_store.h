// The enciphered data the program carries as resources, and the MD5 digests of texts and files.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "system/text_util.h"

namespace tidemark {

using Md5Digest = std::array<std::uint8_t, 16>;

// The bytes of resource name of type type in module (null: the program itself), deciphered with
// key when one is given (an empty key: none, the bytes unchanged). Whole 8-byte blocks only; a
// trailing partial block stays as stored. The result's c_str() carries the terminating zero the
// text readers stop at. Nothing when the resource is missing.
std::optional<std::string> ReadSealedResource(HMODULE module, const wchar_t* type, const wchar_t* name,
                                              std::string_view key);

// The lines of an enciphered text resource, up to its first zero byte and within its whole
// blocks (as ReadSealedText reads them), from the ANSI code page.
std::optional<TextList> ReadSealedLines(HMODULE module, const wchar_t* type, const wchar_t* name,
                                        std::string_view key);

// ExtractSealedResource (system/sealed_resource.h) for an enciphered resource: the deciphered
// bytes are what is written, and what a file that stays must hold. An empty key extracts the
// resource unchanged.
bool ExtractSealedResource(HMODULE module, const wchar_t* type, const wchar_t* name, const std::wstring& path,
                           std::string_view key, bool* leftOldFile = nullptr);

// MD5 of text in the ANSI code page (a character it cannot hold counts as the default one,
// never as a look-alike).
Md5Digest StringMD5(const std::wstring& text);

// MD5 of the whole file, read through a read-only mapping while others may read and write it.
// 16 zero bytes when it cannot be read: missing, empty (nothing to map), or a page fails to load.
Md5Digest FileMD5(const std::wstring& path);
// The digest, or nothing when the file cannot be read as above.
std::optional<Md5Digest> FileDigest(const std::wstring& path);

}  // namespace tidemark
