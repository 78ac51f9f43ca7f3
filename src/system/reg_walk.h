// Reading an open key's values with their type and data in the enumeration call itself: one
// system call per value instead of a query for the size and another for the data.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace tidemark {

struct RegValueView {
    const std::wstring& name;
    DWORD type;
    const BYTE* data;  // size bytes, followed by two zero bytes of our own
    DWORD size;
};

// Calls visit for each value in the system's order until it returns false. A value whose data
// cannot be read is skipped. False when the enumeration ended on an error.
bool EnumValuesWithData(HKEY key, const std::function<bool(const RegValueView&)>& visit);

// String data as the system stores it, up to its first zero or its end when it has none (a
// value written without its terminating zero, or of an odd length, still reads safely).
std::wstring StringOfData(const BYTE* data, DWORD size);

}  // namespace tidemark
