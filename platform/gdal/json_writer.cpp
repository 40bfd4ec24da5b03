#include "platform/gdal/json_writer.h"

#include <array>
#include <cmath>
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

// text in quotes as JSON writes it, when no character of it needs escaping: the
// common case of names and values, without the general escaper's cost.
bool PutPlain(std::string_view text, std::string& out) {
    if (!IsPlainText(text)) return false;
    out += '"';
    out.append(text);
    out += '"';
    return true;
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
    const Level level = std::move(m_levels.back());
    m_levels.pop_back();
    if (level.count > 0) {
        Put("\n");
        Indent();
    }
    Put("}");
}

void JsonWriter::BeginArray() {
    BeforeValue(false);
    Put("[");
    m_levels.push_back(Level{});
}

void JsonWriter::EndArray() {
    const Level level = std::move(m_levels.back());
    m_levels.pop_back();
    if (level.count > 0 && !level.flat) {
        Put("\n");
        Indent();
    }
    Put("]");
}

void JsonWriter::Key(std::string_view name) {
    Level& level = m_levels.back();
    Put(level.count++ == 0 ? "\n" : ",\n");
    Indent();
    if (!PutPlain(name, m_buffer)) Put(Json(std::string(name)).dump());
    Put(": ");
    level.key = name;
}

void JsonWriter::String(std::string_view text) {
    BeforeValue(true);
    if (PutPlain(text, m_buffer)) {
        Put("");  // hands the buffer on when it is full
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
    // The library's own shortest form, as its dump writes it, without a value made
    // for each number.
    if (!std::isfinite(value)) {
        Put("null");
        return;
    }
    std::array<char, 64> digits{};
    const char* end =
        nlohmann::detail::to_chars(digits.data(), digits.data() + digits.size(), value);
    Put(std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data())));
}

void JsonWriter::Integer(std::int64_t value) {
    BeforeValue(true);
    Put(std::to_string(value));
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
    m_sink(m_buffer);
    m_buffer.clear();
}

void JsonWriter::BeforeValue(bool plain) {
    if (m_levels.empty() || m_levels.back().object) return;
    Level& level = m_levels.back();
    if (level.count++ == 0) {
        level.flat = plain;
        if (plain) return;
        Put("\n");
    } else {
        Put(level.flat ? ", " : ",\n");
        if (level.flat) return;
    }
    Indent();
}

void JsonWriter::Put(std::string_view text) {
    m_buffer.append(text);
    if (m_buffer.size() >= FlushSize) {
        m_sink(m_buffer);
        m_buffer.clear();
    }
}

void JsonWriter::Indent() { m_buffer.append(m_levels.size() * 2, ' '); }

std::string JsonWriter::Place() const {
    std::string place;
    for (const Level& level : m_levels) {
        if (level.object) {
            if (!place.empty()) place += '.';
            place += level.key;
        } else {
            place += '[' + std::to_string(level.count - 1) + ']';
        }
    }
    return place;
}

}  // namespace velorin::gdal
