#include "system/text_case.h"

#include <windows.h>

namespace tidemark {

std::wstring UpperCased(std::wstring text) {
    if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring LowerCased(std::wstring text) {
    if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace tidemark
