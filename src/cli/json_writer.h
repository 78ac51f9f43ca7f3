// One JSON object per line (JSON Lines), fields in the order they are added.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tidemark::cli {

std::string ToUtf8(const std::wstring& text);
// A JSON string literal (quotes included) per RFC 8259: quote, backslash and control
// characters escaped; unpaired UTF-16 surrogates become U+FFFD.
std::string JsonString(const std::wstring& text);

class JsonObject {
public:
    JsonObject& Add(const char* key, const std::wstring& value);
    JsonObject& Add(const char* key, const wchar_t* value) { return Add(key, std::wstring(value)); }
    JsonObject& Add(const char* key, std::int64_t value);
    JsonObject& Add(const char* key, int value) { return Add(key, static_cast<std::int64_t>(value)); }
    JsonObject& Add(const char* key, unsigned value) { return Add(key, static_cast<std::int64_t>(value)); }
    JsonObject& AddBool(const char* key, bool value);
    // The field only when present.
    JsonObject& AddIf(bool present, const char* key, const std::wstring& value) { return present ? Add(key, value) : *this; }
    JsonObject& Add(const char* key, const std::vector<std::wstring>& values);
    JsonObject& Add(const char* key, const JsonObject& value);
    // A value already rendered as JSON.
    JsonObject& AddRaw(const char* key, std::string json);

    std::string Render() const;  // without a line end

private:
    std::vector<std::pair<std::string, std::string>> fields_;
};

}  // namespace tidemark::cli
