#include "system/ansi_text.h"

#include <windows.h>

namespace tidemark {
namespace {

// UTF-7 and UTF-8 take neither the no-best-fit flag nor the default-character question.
bool AnsiIsUnicode() {
    const UINT codePage = GetACP();
    return codePage == CP_UTF7 || codePage == CP_UTF8;
}

}  // namespace

std::optional<std::string> ToAnsiExactly(const std::wstring& text) {
    if (text.empty()) return std::string();
    const bool unicode = AnsiIsUnicode();
    const DWORD flags = unicode ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, flags, text.data(), size, nullptr, 0, nullptr,
                                      unicode ? nullptr : &usedDefault);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string bytes(n, '\0');
    if (WideCharToMultiByte(CP_ACP, flags, text.data(), size, bytes.data(), n, nullptr,
                            unicode ? nullptr : &usedDefault) != n ||
        usedDefault)
        return std::nullopt;
    if (FromCodePage(CP_ACP, bytes.data(), bytes.size()) != text) return std::nullopt;
    return bytes;
}

std::string ToAnsiNoBestFit(const std::wstring& text) {
    if (text.empty()) return {};
    const DWORD flags = AnsiIsUnicode() ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, flags, text.data(), size, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::wstring FromCodePage(unsigned codePage, const char* data, std::size_t size) {
    if (size == 0) return {};
    const int length = static_cast<int>(size);
    const int n = MultiByteToWideChar(codePage, 0, data, length, nullptr, 0);
    std::wstring text(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, data, length, text.data(), n);
    return text;
}

}  // namespace tidemark
