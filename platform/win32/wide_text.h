#pragma once

#include <string>
#include <string_view>

// Conversions between the extension's UTF-8 texts and the UTF-16 of the
// Windows API. Malformed input never fails: each bad sequence becomes U+FFFD, so
// a text a person sees is always shown, if imperfectly.
namespace velorin::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace velorin::win32
