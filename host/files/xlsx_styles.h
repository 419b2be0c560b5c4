// The cell formats of a workbook file's styles part, turned into host formats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/format_table.h"

namespace nml::host::files {

/// Format code of a built-in number format id (0 to 49 as every spreadsheet
/// numbers them); "General" for ids without a fixed code.
std::string BuiltinNumberFormat(std::int32_t id);

/// True for a number format that shows a calendar date: one with a day or a
/// year, or a month by name ("mmm"), outside quoted text, escaped characters
/// and [bracketed] sections. Time-only formats ("h:mm", "mm:ss", "[h]") are
/// not dates.
bool IsDateFormat(std::string_view code);

/// The palette index (1 to 56) of the default palette colour nearest to an
/// RGB value (0xRRGGBB); an exact match wins, the lowest index among equals.
std::int32_t NearestPaletteIndex(std::uint32_t rgb);

/// Reads the styles part (xl/styles.xml): one host format id, interned in
/// formats, per cell format record (cellXfs), in file order. What is kept:
/// the number format, bold, a solid fill (as its nearest palette colour), a
/// border on all four sides, and left, centre or right alignment. Malformed XML
/// raises kMalformedXml naming context.
std::vector<std::uint32_t> ReadCellFormats(std::string_view stylesXml, host::FormatTable& formats,
                                           const std::string& context);

}  // namespace nml::host::files
