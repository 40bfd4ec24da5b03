#include "commands/com/bstr.h"

#include <climits>
#include <new>
#include <stdexcept>

namespace velorin::com {
namespace {

int CheckedLength(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX)) {
        throw std::length_error("Text too long for a COM string");
    }
    return static_cast<int>(size);
}

}  // namespace

std::wstring ToUtf16(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int length = CheckedLength(utf8.size());
    // Without MB_ERR_INVALID_CHARS malformed sequences turn into U+FFFD.
    const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, result.data(), needed);
    return result;
}

std::string ToUtf8(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int length = CheckedLength(utf16.size());
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, result.data(), needed, nullptr, nullptr);
    return result;
}

BSTR NewBstr(std::string_view utf8) {
    const std::wstring text = ToUtf16(utf8);
    BSTR result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (result == nullptr) {
        throw std::bad_alloc();
    }
    return result;
}

}  // namespace velorin::com
