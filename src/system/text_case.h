// Letter case as the system maps it (CharUpperBuff / CharLowerBuff), for path comparisons.
#pragma once

#include <string>

namespace tidemark {

std::wstring UpperCased(std::wstring text);
std::wstring LowerCased(std::wstring text);

// Without the blanks and control characters at either end.
std::wstring Trimmed(const std::wstring& text);

}  // namespace tidemark
