// The four result layouts: each creates a report writer, writes one analysis's
// report on the add-in's "Results" scratch sheet and returns the range that
// holds it. They are private routines of the public analysis object and carry
// its name (clsCorrelation) in error sources.
#pragma once

#include <cstdint>
#include <string>

#include "engine/cls_correlation_bo.h"
#include "host/range.h"
#include "nmlcorrelation/array.h"
#include "nmlcorrelation/boolean.h"
#include "nmlcorrelation/variant.h"

namespace nml::report {

/// What a layout reads from the analysis object.
struct LayoutInput {
  std::int32_t method = 0;
  VBool descriptives = kVFalse;
  VBool raw = kVFalse;
  VBool standardised = kVFalse;
  host::RangeRef xRangeCells;
  host::RangeRef yRangeCells;  // empty for simple correlation without a Y range
  const clsCorrelationBO* engine = nullptr;
};

host::RangeRef FormatSimpleResults(const LayoutInput& in, const Array<std::string>& Headers);
host::RangeRef FormatPartialResults(const LayoutInput& in, const Array<std::string>& Headers);
host::RangeRef FormatMultipleResults(const LayoutInput& in, const Array<std::string>& Headers);
/// RawScoreCoords and StdScoreCoords receive the position of the section's
/// "Canonical Variates" score block, counted in cells of the report (so the
/// same numbers address the pasted copy relative to its top-left cell): a
/// Variant holding a 2 by 2 Array<Variant> of Variant::Long values,
/// c(1,1) first row, c(1,2) first column, c(2,1) last row, c(2,2) last column;
/// ScoreCoord(c, i, j) reads one. Each is written only when its section
/// (raw, standardised) is in the report; the other keeps its earlier value.
host::RangeRef FormatCanonicalResults(const LayoutInput& in, const Array<std::string>& XNames,
                                      const Array<std::string>& YNames, Variant& RawScoreCoords,
                                      Variant& StdScoreCoords);

/// Element (i, j) of a block-coordinate array as filled by the report writer;
/// an empty or malformed value raises 13, an index outside 1..2 raises 9.
std::int32_t ScoreCoord(const Variant& coords, std::int32_t i, std::int32_t j);

}  // namespace nml::report
