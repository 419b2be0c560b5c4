// UTF-8 and UTF-16: decoding and encoding shared by the file readers and
// writer, the host and the server. Strict: overlong forms, surrogates and code
// points past U+10FFFF are not UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nml {

/// Length (1 to 4) of the UTF-8 sequence starting at s[i] and its code point
/// in cp, or 0 when the bytes there are not a complete, valid sequence.
inline int DecodeUtf8(std::string_view s, std::size_t i, char32_t& cp) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const std::size_t n = s.size();
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  int len;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1Fu;
    min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0Fu;
    min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07u;
    min = 0x10000;
  } else {
    return 0;
  }
  if (i + static_cast<std::size_t>(len) > n) return 0;
  for (int k = 1; k < len; ++k) {
    const unsigned char b = byte(i + static_cast<std::size_t>(k));
    if ((b & 0xC0u) != 0x80u) return 0;
    cp = (cp << 6) | (b & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

/// Appends code point cp (assumed valid) as UTF-8.
inline void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

/// Number of characters of valid UTF-8 text (continuation bytes not counted).
inline std::size_t CountCharacters(std::string_view s) {
  std::size_t count = 0;
  for (const char c : s) count += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
  return count;
}

/// Number of UTF-16 code units of valid UTF-8 text: one per character, two
/// for a character past U+FFFF (the length the spreadsheet counts).
inline std::size_t Utf16Length(std::string_view s) {
  std::size_t units = 0;
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    units += (b & 0xC0u) != 0x80u;
    units += b >= 0xF0u;
  }
  return units;
}

/// UTF-16 text as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view text);

/// UTF-8 text as UTF-16; bytes that are not UTF-8 become U+FFFD, one each.
std::u16string Utf16FromUtf8(std::string_view text);

}  // namespace nml
