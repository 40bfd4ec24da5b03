#pragma once

#include <string>
#include <string_view>

#include "commands/com/com_prelude.h"

// The one conversion between the extension's strings (UTF-8) and COM's (UTF-16).
namespace velorin::com {

// Malformed UTF-8 becomes U+FFFD: a text is shown, never refused. Raises
// std::length_error for a text longer than the system calls can take (2 GiB).
std::wstring ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::wstring_view utf16);

// A new BSTR holding `utf8`, owned by the caller (SysFreeString). Never null:
// an empty text gives an empty BSTR, as a property read must return. Raises
// std::bad_alloc when the system allocator fails.
BSTR NewBstr(std::string_view utf8);

}  // namespace velorin::com
