// Text in a system code page: the ANSI code page where the system itself is ANSI (the boot-time
// list, enciphered resources, the registry editor's type-ahead, digests of text).
#pragma once

#include <optional>
#include <string>

namespace tidemark {

// The text in the ANSI code page, or nothing when a character has no exact form there. Never
// best-fits ("ª" would become "a" and name another file); a round trip also catches what the
// default-character report misses (a lone surrogate under a UTF-8 code page).
std::optional<std::string> ToAnsiExactly(const std::wstring& text);

// The text in the ANSI code page without best fit: a character the code page cannot hold
// becomes its default character.
std::string ToAnsiNoBestFit(const std::wstring& text);

// Bytes of a code page (CP_ACP, CP_UTF8 ...) as text; invalid sequences as the system reads them.
std::wstring FromCodePage(unsigned codePage, const char* data, std::size_t size);
inline std::wstring FromAnsi(const std::string& bytes) { return FromCodePage(0, bytes.data(), bytes.size()); }

}  // namespace tidemark
