// GetResults: reads the validated ranges into the engine, runs it and has the
// method's layout build the report on the scratch sheet.
#pragma once

#include "frontend/correlation_state.h"
#include "host/range.h"

namespace nml {

/// Returns the range on the scratch sheet that holds the finished report.
/// Fills s.XNames; the layouts fill s.RawScoreCoords / s.StdScoreCoords.
host::RangeRef GetResults(CorrelationState& s, Array<std::string>& XNames, Variant& RawScoreCoords,
                          Variant& StdScoreCoords);

}  // namespace nml
