// Moving a formula to another cell, as the spreadsheet does when it fills a
// formula down or across: used to spell out the formulas a workbook file
// stores once for a whole block of cells ("shared formulas").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nml::files {

/// The formula (A1 notation, without "=") moved by rowOffset rows and
/// colOffset columns: relative cell, column and row references move, absolute
/// parts ($A$1) stay, text in quotes, sheet names, function names and defined
/// names are left alone. A reference moved off the grid becomes #REF!.
/// Example: ShiftFormula("A1*$B$1+SUM(C1:C3)", 2, 1) == "B3*$B$1+SUM(D3:D5)".
std::string ShiftFormula(std::string_view formula, std::int32_t rowOffset, std::int32_t colOffset);

}  // namespace nml::files
