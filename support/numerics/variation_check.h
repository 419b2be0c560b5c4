// The check that every variable of an analysis varies: a column holding the
// same value in every case has no correlation with anything (its centred
// values are all 0), and reporting r = 0 with P = 1 for it would pass off an
// undefined coefficient as a measured one.
#pragma once

#include <string_view>

#include "nmlcorrelation/array.h"

namespace nml::support {

/// Raises kNoVariation naming the first column of m (rows = cases) whose
/// values are all equal, as "variable <column> of <set>". Stops at the first
/// value that differs, so a varying column costs a few reads.
void RequireVariation(const Matrix& m, std::string_view set);

}  // namespace nml::support
