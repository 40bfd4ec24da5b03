#include "commands/com/bstr.h"

#include <climits>
#include <new>
#include <stdexcept>

#include "platform/win32/wide_text.h"

namespace velorin::com {
namespace {

// The system's conversions count in int: a longer text is refused here rather
// than cut.
void CheckedLength(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX)) {
        throw std::length_error("Text too long for a COM string");
    }
}

}  // namespace

std::wstring ToUtf16(std::string_view utf8) {
    CheckedLength(utf8.size());
    return win32::Widen(utf8);
}

std::string ToUtf8(std::wstring_view utf16) {
    CheckedLength(utf16.size());
    return win32::Narrow(utf16);
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
