#include "cli/json_writer.h"

#include <cstdio>

namespace tidemark::cli {
namespace {

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Walks UTF-16 text as code points; an unpaired surrogate is replaced.
template <typename Visit>
void ForEachCodePoint(const std::wstring& text, Visit visit) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char16_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const char32_t low = static_cast<char16_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                visit(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        visit(c >= 0xD800 && c <= 0xDFFF ? char32_t{0xFFFD} : c);
    }
}

}  // namespace

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t cp) { AppendUtf8(out, cp); });
    return out;
}

std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    ForEachCodePoint(text, [&](char32_t cp) {
        switch (cp) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (cp < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(cp));
                out += escaped;
            } else {
                AppendUtf8(out, cp);
            }
        }
    });
    out += '"';
    return out;
}

JsonObject& JsonObject::Add(const char* key, const std::wstring& value) {
    return AddRaw(key, JsonString(value));
}

JsonObject& JsonObject::Add(const char* key, std::int64_t value) {
    return AddRaw(key, std::to_string(value));
}

JsonObject& JsonObject::AddBool(const char* key, bool value) {
    return AddRaw(key, value ? "true" : "false");
}

JsonObject& JsonObject::Add(const char* key, const std::vector<std::wstring>& values) {
    std::string array = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) array += ", ";
        array += JsonString(values[i]);
    }
    return AddRaw(key, array + "]");
}

JsonObject& JsonObject::Add(const char* key, const JsonObject& value) {
    return AddRaw(key, value.Render());
}

JsonObject& JsonObject::AddRaw(const char* key, std::string json) {
    fields_.emplace_back(key, std::move(json));
    return *this;
}

std::string JsonObject::Render() const {
    std::string out = "{";
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (i) out += ", ";
        out += JsonString(std::wstring(fields_[i].first.begin(), fields_[i].first.end()));
        out += ": ";
        out += fields_[i].second;
    }
    return out + "}";
}

}  // namespace tidemark::cli
