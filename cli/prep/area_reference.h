// Worksheet references as a user types them, read and written without a
// worksheet host: "C:L", "'My data'!$A$1:$C$51", "A1:B20,D1:D20".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nml::prep {

inline constexpr std::int32_t kGridRows = 1048576;
inline constexpr std::int32_t kGridColumns = 16384;

/// One rectangular area of a reference; rows and columns 1-based.
struct Area {
  std::string sheet;  // unquoted; empty when the area names no sheet
  std::int32_t top = 1, left = 1, bottom = 1, right = 1;
  bool wholeColumns = false;  // written as "C:L"

  std::int32_t Rows() const { return bottom - top + 1; }
  std::int32_t Columns() const { return right - left + 1; }
};

/// The areas of a comma-separated reference. A cell ("B7"), a rectangle
/// ("B2:D9") or whole columns ("C:L"), each with an optional sheet prefix
/// ("Data!", "'My data'!") and optional "$" signs. Nothing when any area is
/// of another form (whole rows, names, bad text).
std::optional<std::vector<Area>> ParseAreas(std::string_view text);

/// "'My data'!$C$1:$L$500": the area as an absolute reference, its sheet
/// quoted when the name needs it (always quoted when quoteAlways).
std::string FormatArea(const Area& area, bool quoteAlways = false);

/// The areas joined by commas.
std::string FormatAreas(const std::vector<Area>& areas, bool quoteAlways = false);

/// "A" for 1, "AA" for 27.
std::string ColumnName(std::int32_t column);

/// A sheet name as a reference prefix: "Data!" or "'My data'!".
std::string SheetPrefix(std::string_view sheet, bool quoteAlways = false);

}  // namespace nml::prep
