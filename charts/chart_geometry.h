// Where charts sit and what they plot: the anchor beside the pasted report and
// single columns of a data range.
#pragma once

#include <cstdint>

#include "charts/plots.h"
#include "host/range.h"

namespace nml::charts {

/// The cell in row 1 of the output, one empty column right of the report.
host::RangeRef ChartAnchor(const ChartPlacement& at);
/// Column `column` (1-based) of the first area of range.
host::RangeRef ColumnOf(const host::RangeRef& range, std::int32_t column);

}  // namespace nml::charts
