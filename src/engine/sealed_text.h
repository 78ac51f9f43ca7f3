// Enciphered texts the program carries: the key of a definition resource, deciphering and
// splitting a text into lines, and the inverse for the packer. Pure code, no Windows headers:
// it also builds natively for fuzzing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tidemark {

// The 8-character key of definition resource name ("V30", "V12B"): the number after the first
// character (a trailing "B"/"b" dropped; 1 when it is no decimal number), n mod 29 with the
// sign of n, and the characters of keySource from that position (counted from 1, at least 1).
// Shorter when keySource ends sooner.
std::string DefinitionKey(std::wstring_view resourceName, std::string_view keySource);

// DES-CBC with the first 8 bytes of key (zero-filled when shorter) as key and as chaining
// value, over the whole 8-byte blocks; a trailing part shorter than a block is left as it is.
std::string DecipherSealed(std::string_view cipher, std::string_view key);

// The text the deciphered bytes hold: everything before the first zero byte.
std::string_view TextBeforeZero(std::string_view bytes);

// Lines of text ended by CR LF, LF or CR alone; a final line ending adds no empty line.
std::vector<std::string> SplitTextLines(std::string_view text);

// Deciphers the whole blocks (a trailing partial block is left out), cuts at the first zero byte
// and splits into lines: what a definition or list resource holds, still in the ANSI code page.
std::vector<std::string> ReadSealedText(std::string_view cipher, std::string_view key);

// What the packer stores: text zero-filled to a multiple of 8 bytes (none added when it already
// is one), enciphered as DecipherSealed reads it.
std::string SealText(std::string_view text, std::string_view key);

}  // namespace tidemark
