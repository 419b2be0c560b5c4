// Parser for A1 references as users type them. Takes untrusted text: it never
// crashes or loops, and rejects everything it does not understand.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/cell_rect.h"

namespace nml::host {

struct ParsedArea {
  std::optional<std::string> sheet;  // sheet qualifier, unquoted ('' inside quotes become ')
  CellRect rect;
};

/// Parses "A1", "b2:C9", "$A$1:$C$21", "C9:B2" (either corner order), "C:C",
/// "A:C", "3:5", "'My data'!A1:B9", "Data!A1", "A1:B20,D1:D20" (areas joined by
/// commas, each optionally qualified). Surrounding spaces are allowed. Returns
/// std::nullopt for anything else, including addresses past the grid
/// (1,048,576 rows, 16,384 columns), row 0, empty text, or more than 255 areas.
std::optional<std::vector<ParsedArea>> ParseReference(std::string_view text);

/// Column letters of a 1-based column number (1 -> "A", 28 -> "AB").
std::string ColumnLetters(std::int32_t column);

/// Absolute A1 text of a rectangle: "$B$2" or "$A$1:$C$21".
std::string AbsoluteAddress(const CellRect& rect);

}  // namespace nml::host
