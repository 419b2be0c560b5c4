// Length-prefixed UTF-16 strings (BSTR) and their conversion to and from the
// UTF-8 text the component works in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "server/com_abi.h"

namespace nml::server {

/// The UTF-8 form of count UTF-16 code units. A lone surrogate becomes
/// U+FFFD, so that no caller's string can produce invalid UTF-8.
std::string Utf8FromUtf16(const OLECHAR* text, std::size_t count);

/// The UTF-8 form of a BSTR (a null BSTR is empty text).
std::string Utf8FromBstr(BSTR text);

/// The UTF-16 form of UTF-8 text; invalid bytes become U+FFFD.
std::u16string Utf16FromUtf8(std::string_view text);

/// A new BSTR holding UTF-8 text converted to UTF-16 (NULL when memory runs out).
BSTR AllocBstr(std::string_view utf8);

}  // namespace nml::server
