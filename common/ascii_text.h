// Comparing and trimming text the way names and keywords are compared: the
// case of ASCII letters is ignored, other characters compare as bytes.
#pragma once

#include <string>
#include <string_view>

namespace nml {

constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

/// text with its ASCII letters in lower case.
std::string AsciiLowerCopy(std::string_view text);

/// True when a and b differ at most in the case of ASCII letters ("Data" and
/// "DATA"; "Ä" and "ä" differ).
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

/// text without the spaces and tabs at either end.
std::string_view TrimBlanks(std::string_view text);

}  // namespace nml
