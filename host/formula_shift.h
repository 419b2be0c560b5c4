// Moving a formula's references, as a copy and paste moves them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nml::host {

/// A formula (A1 notation, without "=") moved by dRows rows and dCols columns,
/// as a copy and paste moves it, or as a workbook file's shared formula is
/// spelled out for each cell that shares it: the relative parts of its cell,
/// column and row references shift, the parts marked with $ stay; a reference
/// or range pushed off the grid becomes #REF!. Text in double quotes, sheet
/// names, function and defined names, structured references and error
/// literals are left alone.
/// Example: ShiftFormula("A1*$B$1+SUM(C1:C3)", 2, 1) == "B3*$B$1+SUM(D3:D5)".
std::string ShiftFormula(std::string_view formula, std::int32_t dRows, std::int32_t dCols);

}  // namespace nml::host
