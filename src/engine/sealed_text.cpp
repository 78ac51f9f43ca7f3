#include "engine/sealed_text.h"

#include <climits>
#include <cstdint>

#include "engine/des.h"

namespace tidemark {
namespace {

DesBlock KeyBlock(std::string_view key) {
    DesBlock block{};
    for (std::size_t i = 0; i < block.size() && i < key.size(); ++i) block[i] = static_cast<std::uint8_t>(key[i]);
    return block;
}

// A whole decimal number with an optional sign that fits an int; anything else is none.
bool ParseDecimal(std::wstring_view text, long long& value) {
    std::size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    if (at == text.size()) return false;
    long long magnitude = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < L'0' || text[at] > L'9') return false;
        magnitude = magnitude * 10 + (text[at] - L'0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) return false;
    }
    value = negative ? -magnitude : magnitude;
    return value >= INT_MIN && value <= INT_MAX;
}

}  // namespace

std::string DefinitionKey(std::wstring_view resourceName, std::string_view keySource) {
    std::wstring_view number = resourceName.empty() ? resourceName : resourceName.substr(1);
    if (!number.empty() && (number.back() == L'B' || number.back() == L'b')) number.remove_suffix(1);
    long long n = 1;
    if (!ParseDecimal(number, n)) n = 1;
    const long long s = n % 29;  // C++ keeps the sign of n, as the key scheme wants
    const std::size_t position = s < 1 ? 1 : static_cast<std::size_t>(s);
    if (position > keySource.size()) return {};
    return std::string(keySource.substr(position - 1, 8));
}

std::string DecipherSealed(std::string_view cipher, std::string_view key) {
    std::string plain(cipher);
    const DesBlock block = KeyBlock(key);
    Des(block).DecryptCbc(reinterpret_cast<std::uint8_t*>(plain.data()), plain.size(), block);
    return plain;
}

std::string_view TextBeforeZero(std::string_view bytes) {
    const std::size_t zero = bytes.find('\0');
    return zero == std::string_view::npos ? bytes : bytes.substr(0, zero);
}

std::vector<std::string> SplitTextLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        lines.emplace_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> ReadSealedText(std::string_view cipher, std::string_view key) {
    // The text ends at the last whole block: a partial block after it was never enciphered.
    const std::string plain = DecipherSealed(cipher.substr(0, cipher.size() / 8 * 8), key);
    return SplitTextLines(TextBeforeZero(plain));
}

std::string SealText(std::string_view text, std::string_view key) {
    std::string sealed(text);
    sealed.resize((sealed.size() + 7) / 8 * 8, '\0');
    const DesBlock block = KeyBlock(key);
    Des(block).EncryptCbc(reinterpret_cast<std::uint8_t*>(sealed.data()), sealed.size(), block);
    return sealed;
}

}  // namespace tidemark
