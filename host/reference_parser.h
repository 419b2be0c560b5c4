// Parser for A1 references as users type them. Takes untrusted text: it never
// crashes or loops, and rejects everything it does not understand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/cell_rect.h"

namespace nml::host {

/// Longest reference text the parser looks at; longer text is rejected.
inline constexpr std::size_t kMaxReferenceLength = 8192;
/// Most areas one reference may hold.
inline constexpr std::size_t kMaxAreas = 255;

struct ParsedArea {
  std::optional<std::string> sheet;  // sheet qualifier, unquoted ('' inside quotes become ')
  CellRect rect;
};

/// Parses "A1", "b2:C9", "$A$1:$C$21", "C9:B2" (either corner order), "C:C",
/// "A:C", "3:5", "'My data'!A1:B9", "Data!A1", "A1:B20,D1:D20" (areas joined by
/// commas, each optionally qualified). Spaces around each area are allowed.
/// Returns std::nullopt for anything else, including addresses past the grid
/// (1,048,576 rows, 16,384 columns), row 0, empty text, text longer than
/// kMaxReferenceLength, or more than kMaxAreas areas.
std::optional<std::vector<ParsedArea>> ParseReference(std::string_view text);

/// Column letters of a 1-based column number (1 -> "A", 28 -> "AB"); empty
/// for a number outside the grid.
std::string ColumnLetters(std::int32_t column);

/// Absolute A1 text of a rectangle: "$B$2" or "$A$1:$C$21"; whole columns
/// give "$A:$C", whole rows "$3:$5" (the whole sheet "$1:$1048576").
std::string AbsoluteAddress(const CellRect& rect);

/// The qualifier that puts a sheet name before an address: "Data!", or
/// "'My data'!" with quotes (and '' for a quote) when the name needs them.
std::string SheetPrefix(std::string_view sheetName);

}  // namespace nml::host
