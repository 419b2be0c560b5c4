// Variables chosen by the names in a sheet's name row:
// --x-vars 'Age (years),"Cholesterol, total (mg/dL)",Clean!BMI'.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/prep/area_reference.h"
#include "nmlcorrelation/workbook.h"

namespace nml::prep {

/// The fields of a comma-separated list under CSV rules: a field in double
/// quotes may hold commas, and "" inside it stands for one quote. Spaces
/// around unquoted fields are dropped. Raises kBadNameList for an empty field
/// or an unclosed quote.
std::vector<std::string> SplitNameList(std::string_view list);

/// The used values of a sheet (its first row holds the names).
using SheetValues = std::function<CellBlock(const std::string& sheet)>;

/// The areas that hold the listed variables: one column per name, found in
/// the first row of its sheet that holds a value (a name matches when it equals the
/// heading, ignoring case and surrounding spaces), spanning that sheet's used
/// rows, the name row included. A name may start with its sheet ("Clean!Age",
/// "'My data'!Age"); otherwise it is looked up on defaultSheet. Names of
/// adjacent columns listed one after the other share one area.
/// Raises kBadNameList, kUnknownSheet, kEmptySheet, kUnknownVariable (listing
/// the sheet's names, the closest first) and kAmbiguousVariable.
std::vector<Area> ResolveVariables(std::string_view list, const std::vector<std::string>& sheets,
                                   const std::string& defaultSheet, const SheetValues& values);

/// The first row of block that holds a value (its sheet row), or 0.
std::int32_t FirstUsedRow(const CellBlock& block);

/// The candidates ordered by edit distance to name (ignoring case), nearest
/// first; ties keep their order.
std::vector<std::string> ClosestNames(const std::string& name, const std::vector<std::string>& candidates);

}  // namespace nml::prep
