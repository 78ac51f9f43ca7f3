// The two built-in text tables (simplified and traditional script), addressed by text ID.
// Pure data and lookup: no Windows headers, so it also builds natively.
#pragma once

#include <string>

namespace tidemark {

enum class Script { Simplified, Traditional };

// 1028 (Taiwan) and 3076 (Hong Kong) pick traditional script; every other language identifier,
// Singapore and Macau included, simplified.
Script ScriptOfLanguage(unsigned langId);

// The text of id in the table of script; empty when the table has no such entry.
const wchar_t* TableText(Script script, int id);

// The text of id for a language identifier.
std::wstring GetUiText(int id, unsigned langId);

// The name of a registry view (32 or 64) as the lists show it on 64-bit Windows: "32位",
// "64位元"; empty for any other number.
std::wstring RegistryViewLabel(int bits, unsigned langId);

// Every ID of a table, in ascending order (for checks over the whole table).
int TableSize(Script script);
int TableIdAt(Script script, int index);

}  // namespace tidemark
