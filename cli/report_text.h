// The pasted report as an aligned text table for the terminal.
#pragma once

#include <string>

#include <vector>

#include "nmlcorrelation/variant.h"
#include "nmlcorrelation/workbook.h"

namespace nml::cli {

/// A cell's value as the sheet shows it: numbers in the cell's number format
/// ("0.0000" gives four decimals, "0" none, General up to ten significant
/// digits), text and markers as they stand, empty cells as "".
std::string DisplayText(const Variant& value, const std::string& numberFormat);

/// The cells of block (shown in the number formats of styles, given row by
/// row like the values), one line per row, columns aligned: numbers to the right,
/// text to the left; a text with empty cells to its right runs over them, as
/// in a spreadsheet, and does not widen its column. Trailing spaces trimmed.
std::string RenderTable(const CellBlock& block, const std::vector<CellStyle>& styles);

}  // namespace nml::cli
