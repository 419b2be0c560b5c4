// The fields of a clsCorrelation: internal to the component and its tests,
// never installed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/cls_correlation_bo.h"
#include "host/range.h"
#include "nmlcorrelation/correlation.h"
#include "nmlcorrelation/array.h"
#include "nmlcorrelation/boolean.h"
#include "nmlcorrelation/variant.h"

namespace nml {

struct CorrelationState {
  host::RangeRef CachedReport;  // the finished report on the scratch sheet, until Results ends
  host::RangeRef XRangeCells;
  host::RangeRef YRangeCells;
  host::RangeRef OutputCells;  // top-left anchor of the output
  std::int32_t Method = 0;
  VBool Headers = kVFalse;
  VBool Descriptives = kVFalse;
  VBool Standardised = kVFalse;
  VBool Raw = kVFalse;
  VBool Plots = kVFalse;
  std::unique_ptr<clsCorrelationBO> Engine;
  std::int32_t CanonicalPlotTop = 0;  // top offset of the next row of canonical plots
  std::string YRangeText;
  std::string XRangeText;
  Array<std::string> XNames;
  Variant StdScoreCoords;
  Variant RawScoreCoords;
};

namespace detail {
/// The fields of corr, for white-box tests.
const CorrelationState& StateOf(const clsCorrelation& corr);
}  // namespace detail

}  // namespace nml
