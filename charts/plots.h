// The charts drawn beside a pasted report: the scatter-plot triangle of a
// simple correlation and one row of canonical variate plots per score block.
// Private routines of the public analysis object (clsCorrelation in error
// sources).
#pragma once

#include <cstdint>
#include <string>

#include "host/range.h"
#include "nmlcorrelation/array.h"
#include "nmlcorrelation/boolean.h"

namespace nml::charts {

/// Where charts go: beside the report pasted at outputCells, whose size is
/// that of cachedReport.
struct ChartPlacement {
  host::RangeRef outputCells;
  host::RangeRef cachedReport;
};

void DoScatterPlot(const ChartPlacement& at, const host::RangeRef& dataRange, const Array<std::string>& names);
void DoCanonicalPlot(const ChartPlacement& at, std::int32_t& canonicalPlotTop, const host::RangeRef& set1,
                     const host::RangeRef& set2, VBool raw);

}  // namespace nml::charts
