// The one value-to-text conversion (host::ToText) that keys, where clauses and
// renderer values share. The first byte picks the kind of value, the rest are
// its bits or its text. Promises checked:
//   - integers and object ids are their plain decimal;
//   - a single reads back as the same single, a double to 15 significant digits;
//   - one number gives one text whatever type holds it (100000 held as an integer,
//     a single or a double), and negative zero is "0";
//   - text is itself, null is empty, a boolean is True or False;
//   - any date, even one far beyond the calendar, gives a text and no fault.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "host/field_value.h"

namespace velorin::fuzz {
namespace {

template <class T>
T Bits(const std::uint8_t* data, std::size_t size) {
    T value{};
    std::memcpy(&value, data, std::min(size, sizeof(T)));
    return value;
}

template <class T>
std::optional<T> ReadBack(const std::string& text) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Whole numbers below 1e15 are written in plain digits by every type; singles
// are checked below 2^24, where each whole number is exactly one single.
constexpr double kPlainDouble = 1e15;
constexpr double kPlainSingle = 16777216.0;

void CheckNumberText(double number, const std::string& text, double limit = kPlainDouble) {
    if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < limit) {
        const auto whole = static_cast<std::int64_t>(number);
        Require(text == std::to_string(whole), "an integral number is its plain decimal");
        Require(host::ToText(host::FieldValue(number)) == text,
                "one number gives one text whatever type holds it");
    }
}

void CheckSingle(float value) {
    const std::string text = host::ToText(host::FieldValue(value));
    if (!std::isfinite(value)) return;
    const auto back = ReadBack<float>(text);
    Require(back && *back == value, "a single reads back as the same single");
    CheckNumberText(value, text, kPlainSingle);
}

void CheckDouble(double value) {
    const std::string text = host::ToText(host::FieldValue(value));
    if (!std::isfinite(value)) return;
    const auto back = ReadBack<double>(text);
    Require(back.has_value(), "a double's text reads back as a number");
    Require(*back == value || std::fabs(*back - value) <= std::fabs(value) * 1e-14,
            "a double's text keeps 15 significant digits");
    CheckNumberText(value, text);
}

}  // namespace
}  // namespace velorin::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velorin::fuzz;
    using velorin::host::FieldValue;
    using velorin::host::ToText;
    if (size == 0) return 0;
    const std::uint8_t kind = data[0] % 10;
    const std::uint8_t* rest = data + 1;
    const std::size_t restSize = size - 1;
    switch (kind) {
        case 0:
            Require(ToText(FieldValue()).empty(), "null is empty");
            break;
        case 1: {
            const auto v = Bits<std::int16_t>(rest, restSize);
            Require(ToText(FieldValue(v)) == std::to_string(v), "a small integer is its decimal");
            CheckNumberText(v, ToText(FieldValue(v)));
            break;
        }
        case 2: {
            const auto v = Bits<std::int32_t>(rest, restSize);
            Require(ToText(FieldValue(v)) == std::to_string(v), "an integer is its decimal");
            CheckNumberText(v, ToText(FieldValue(v)));
            break;
        }
        case 3: {
            const auto v = Bits<std::int64_t>(rest, restSize);
            Require(ToText(FieldValue(v)) == std::to_string(v), "a big integer is its decimal");
            break;
        }
        case 4:
            CheckSingle(Bits<float>(rest, restSize));
            break;
        case 5:
            CheckDouble(Bits<double>(rest, restSize));
            break;
        case 6: {
            const std::string text(reinterpret_cast<const char*>(rest), restSize);
            Require(ToText(FieldValue(text)) == text, "text is itself");
            break;
        }
        case 7:
            Require(!ToText(FieldValue(velorin::host::Date{Bits<double>(rest, restSize)})).empty(),
                    "a date gives a text");
            break;
        case 8:
            Require(ToText(FieldValue(restSize > 0 && (rest[0] & 1) != 0)) ==
                        ((restSize > 0 && (rest[0] & 1) != 0) ? "True" : "False"),
                    "a boolean is True or False");
            break;
        default: {
            const velorin::host::ObjectId id{Bits<std::int32_t>(rest, restSize)};
            Require(ToText(FieldValue(id)) == std::to_string(id.value),
                    "an object id is its decimal");
            break;
        }
    }
    return 0;
}
