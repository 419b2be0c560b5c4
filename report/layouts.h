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
host::RangeRef FormatCanonicalResults(const LayoutInput& in, const Array<std::string>& XNames,
                                      const Array<std::string>& YNames, Variant& RawScoreCoords,
                                      Variant& StdScoreCoords);

}  // namespace nml::report
