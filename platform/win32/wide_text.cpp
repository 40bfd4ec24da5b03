#include "platform/win32/wide_text.h"

#include <limits>

#include "platform/win32/windows_api.h"

namespace velorin::win32 {

namespace {

// The Windows conversions count in int; longer texts are cut rather than
// converted with a wrapped length.
int ClampedLength(std::size_t length) {
    constexpr auto kLongest = static_cast<std::size_t>(std::numeric_limits<int>::max());
    return static_cast<int>(length < kLongest ? length : kLongest);
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int bytes = ClampedLength(utf8.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, nullptr, 0);
    if (units <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, wide.data(), units);
    return wide;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int units = ClampedLength(utf16.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), units, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

}  // namespace velorin::win32
