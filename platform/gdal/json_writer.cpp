#include "platform/gdal/json_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <utility>

namespace velorin::gdal {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::size_t FlushSize = 64 * 1024;
constexpr std::size_t ShownBytes = 60;

// The length of the valid UTF-8 sequence at the start of text, 0 when there is none.
std::size_t SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const auto continues = [&](std::size_t i, unsigned char low, unsigned char high) {
        return i < text.size() && byte(i) >= low && byte(i) <= high;
    };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return continues(1, 0x80, 0xBF) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        // No overlong forms, no surrogates.
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
        return continues(1, low, high) && continues(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        // No overlong forms, nothing beyond U+10FFFF.
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
        return continues(1, low, high) && continues(2, 0x80, 0xBF) && continues(3, 0x80, 0xBF) ? 4
                                                                                               : 0;
    }
    return 0;
}

// text in quotes at out, when it needs no escaping (as most names and values):
// copied as it is checked. The end of what was written; null when text needs
// escaping.
char* Quoted(std::string_view text, char* out) {
    *out++ = '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '"' || c == '\\') return nullptr;
        *out++ = c;
    }
    *out++ = '"';
    return out;
}

// value, finite, at out as the JSON library's dump writes a double: the shortest
// digits that read back as value; plain notation with a decimal point ("300.0",
// "0.001") while the decimal point lies from 4 places before the first digit to
// 15 after it, else the scientific form ("1.5e+16", "1e-05"). At most 25 bytes.
// The end of what was written.
char* ShortestNumber(double value, char* out) {
    if (std::signbit(value)) {
        *out++ = '-';
        value = -value;
    }
    if (value == 0) {
        std::memcpy(out, "0.0", 3);
        return out + 3;
    }
    // "d.ddde+XX": the shortest round-trip digits and the exponent, both as the
    // library's own form has them.
    std::array<char, 32> scientific{};
    const char* end = std::to_chars(scientific.data(), scientific.data() + scientific.size(), value,
                                    std::chars_format::scientific)
                          .ptr;
    const std::string_view text(scientific.data(),
                                static_cast<std::size_t>(end - scientific.data()));
    const std::size_t e = text.find('e');
    int exponent = 0;
    const std::size_t exponentDigits = e + (text[e + 1] == '+' ? 2 : 1);
    std::from_chars(text.data() + exponentDigits, end, exponent);
    std::array<char, 20> digits{};
    std::size_t count = 0;
    for (std::size_t i = 0; i < e; ++i) {
        if (text[i] != '.') digits[count++] = text[i];
    }
    const int k = static_cast<int>(count);
    const int n = exponent + 1;  // where the decimal point goes, from the first digit
    constexpr int kMinExponent = -4;
    constexpr int kMaxExponent = 15;
    if (k <= n && n <= kMaxExponent) {  // digits[000].0
        out = std::copy_n(digits.data(), k, out);
        out = std::fill_n(out, n - k, '0');
        *out++ = '.';
        *out++ = '0';
        return out;
    }
    if (0 < n && n <= kMaxExponent) {  // dig.its
        out = std::copy_n(digits.data(), n, out);
        *out++ = '.';
        return std::copy_n(digits.data() + n, k - n, out);
    }
    if (kMinExponent < n && n <= 0) {  // 0.[000]digits
        *out++ = '0';
        *out++ = '.';
        out = std::fill_n(out, -n, '0');
        return std::copy_n(digits.data(), k, out);
    }
    return std::copy(text.begin(), text.end(), out);
}

// count spaces at out, as a loop: the indentation is a few spaces, too short for a
// call to be worth it.
char* Spaces(char* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) *out++ = ' ';
    return out;
}

}  // namespace

bool IsPlainText(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '"' || c == '\\') return false;
    }
    return true;
}

std::string ShownText(std::string_view text, std::size_t limit) {
    constexpr const char* Hex = "0123456789ABCDEF";
    std::string shown;
    while (!text.empty()) {
        if (shown.size() >= limit) return shown + "...";
        std::size_t length = SequenceLength(text);
        const auto lead = static_cast<unsigned char>(text[0]);
        // Control characters too, so that the message stays on one line.
        if (length == 0 || lead < 0x20 || lead == 0x7F) {
            shown += "\\x";
            shown += Hex[lead >> 4];
            shown += Hex[lead & 0x0F];
            length = 1;
        } else {
            shown.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return shown;
}

JsonWriter::JsonWriter(Sink sink) : m_sink(std::move(sink)) {}

void JsonWriter::BeginObject() {
    BeforeValue(false);
    Put("{");
    m_levels.push_back(Level{.object = true});
}

void JsonWriter::EndObject() {
    const bool members = m_levels.back().count > 0;
    m_levels.pop_back();
    if (members) NewLine();
    Put("}");
}

void JsonWriter::BeginArray() {
    BeforeValue(false);
    Put("[");
    m_levels.push_back(Level{});
}

void JsonWriter::EndArray() {
    const Level& level = m_levels.back();
    const bool lines = level.count > 0 && !level.flat;
    m_levels.pop_back();
    if (lines) NewLine();
    Put("]");
}

void JsonWriter::Key(std::string_view name) {
    Level& level = m_levels.back();
    const bool first = level.count++ == 0;
    level.key = name;
    const std::size_t indent = m_levels.size() * 2;
    // ",\n", the indentation, the name in quotes, ": ".
    const std::size_t size = 2 + indent + name.size() + 4;
    if (size <= FlushSize) {
        char* out = Room(size);
        char* next = out;
        if (!first) *next++ = ',';
        *next++ = '\n';
        next = Spaces(next, indent);
        if ((next = Quoted(name, next)) != nullptr) {
            *next++ = ':';
            *next++ = ' ';
            m_used += static_cast<std::size_t>(next - out);
            return;
        }
    }
    if (!first) Put(",");
    NewLine();
    Put(Json(std::string(name)).dump());
    Put(": ");
}

void JsonWriter::String(std::string_view text) {
    BeforeValue(true);
    if (text.size() + 2 <= FlushSize) {
        char* out = Room(text.size() + 2);
        if (char* next = Quoted(text, out)) {
            m_used += static_cast<std::size_t>(next - out);
            return;
        }
    } else if (IsPlainText(text)) {
        Put("\"");
        Put(text);
        Put("\"");
        return;
    }
    std::string quoted;
    try {
        quoted = Json(std::string(text)).dump();
    } catch (const Json::type_error&) {
        throw InvalidText{Place(), ShownText(text, ShownBytes)};
    }
    Put(quoted);
}

void JsonWriter::Number(double value) {
    BeforeValue(true);
    if (!std::isfinite(value)) {
        Put("null");
        return;
    }
    constexpr std::size_t kLongest = 25;
    char* out = Room(kLongest);
    m_used += static_cast<std::size_t>(ShortestNumber(value, out) - out);
}

void JsonWriter::Integer(std::int64_t value) {
    BeforeValue(true);
    constexpr std::size_t Digits = 24;
    char* out = Room(Digits);
    const char* end = std::to_chars(out, out + Digits, value).ptr;
    m_used += static_cast<std::size_t>(end - out);
}

void JsonWriter::Bool(bool value) {
    BeforeValue(true);
    Put(value ? "true" : "false");
}

void JsonWriter::Null() {
    BeforeValue(true);
    Put("null");
}

void JsonWriter::Finish() {
    Put("\n");
    m_sink(std::string_view(m_buffer.data(), m_used));
    m_used = 0;
}

void JsonWriter::BeforeValue(bool plain) {
    if (m_levels.empty() || m_levels.back().object) return;
    Level& level = m_levels.back();
    if (level.count++ == 0) {
        level.flat = plain;
        if (!plain) NewLine();
        return;
    }
    if (level.flat) {
        Put(", ");
    } else {
        Put(",");
        NewLine();
    }
}

void JsonWriter::Put(std::string_view text) {
    if (text.size() > FlushSize) {
        Flush();
        m_sink(text);
        return;
    }
    char* out = Room(text.size());
    std::copy(text.begin(), text.end(), out);
    m_used += text.size();
}

void JsonWriter::NewLine() {
    const std::size_t indent = m_levels.size() * 2;
    if (indent + 1 > FlushSize) {
        // Deeper than any document nests; written piece by piece all the same.
        Put("\n");
        for (std::size_t i = 0; i < indent; ++i) Put(" ");
        return;
    }
    char* out = Room(indent + 1);
    *out = '\n';
    Spaces(out + 1, indent);
    m_used += indent + 1;
}

void JsonWriter::Flush(std::size_t size) {
    if (m_buffer.empty()) m_buffer.resize(std::max(size, FlushSize));
    if (m_used == 0) return;
    const std::size_t used = m_used;
    m_used = 0;
    m_sink(std::string_view(m_buffer.data(), used));
}

std::string JsonWriter::Place() const {
    std::string place;
    for (const Level& level : m_levels) {
        if (level.object) {
            if (!place.empty()) place += '.';
            place.append(level.key);
        } else {
            place += '[' + std::to_string(level.count - 1) + ']';
        }
    }
    return place;
}

}  // namespace velorin::gdal
