// Fuzz entry point for the sealed-text reader: the input's first line names the resource (its
// bytes widened one to one), the rest is the enciphered data, read with the key that name gives.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sealed_text.h"
#include "engine/store_keys.h"

using namespace tidemark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string_view nameBytes = input.substr(0, newline == std::string_view::npos ? input.size() : newline);
    const std::string_view cipher = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
    const std::wstring name(nameBytes.begin(), nameBytes.end());

    const std::string key = DefinitionKey(name, kDefinitionKeySource);
    if (key.size() != 8 || std::string_view(kDefinitionKeySource).find(key) == std::string_view::npos) __builtin_trap();

    const std::vector<std::string> lines = ReadSealedText(cipher, key);
    std::size_t total = 0;
    for (const std::string& line : lines) {
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) __builtin_trap();
        total += line.size();
    }
    if (total > cipher.size()) __builtin_trap();

    // What the packer would store for these lines reads back as the same lines.
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    const std::string sealed = SealText(text, key);
    if (sealed.size() % 8 != 0 || sealed.size() < text.size() || ReadSealedText(sealed, key) != lines) __builtin_trap();
    return 0;
}
