// What nmlcorr does to the data before the component sees them: variables
// chosen by name, whole columns cut to the used rows, and, with
// --missing listwise, the analysis moved onto a sheet of complete cases.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/prep/area_reference.h"

namespace nml::cli {

/// The areas of a range as the user's workbook resolves them: every area
/// with its sheet (the active sheet for unqualified ones). Nothing when the
/// text is of a form the component alone reads.
std::optional<std::vector<prep::Area>> ResolvedAreas(const std::string& reference);

/// Turns --x-vars and --y-vars into ranges (setting --headers), cuts whole
/// columns to the sheet's used rows and, with --missing listwise, leaves out
/// incomplete cases. Returns the line to show on standard error ("used 4,082
/// of 5,000 cases; 918 had missing values"), or "".
std::string PrepareData(Options& o);

/// "4,082".
std::string WithThousands(std::int64_t n);

}  // namespace nml::cli
