// What the simple, partial and multiple layouts share: the range texts of the
// header, the engine check, and the frame around their three result tables
// (for simple and partial correlation the tables themselves too).
#pragma once

#include <functional>
#include <string>

#include "host/range.h"
#include "report/cls_correlation_output.h"
#include "report/layouts.h"

namespace nml::report {

/// "<sheet name>!<absolute address>", as in Data!$A$1:$C$21. An unset range
/// raises 91.
std::string RangeText(const host::RangeRef& range);

/// The engine the layout reads; none given raises 91.
const clsCorrelationBO& EngineOf(const LayoutInput& in);

/// Writes a whole report around three result tables: a fresh writer, the
/// method, the header (the Y range text only when withYRange), a blank line,
/// the descriptive table of Headers when asked for, then writeTables (which
/// writes each table followed by one blank line), and returns the report
/// range. The writer is released before any error leaves.
host::RangeRef FormatTableReport(const LayoutInput& in, const Array<std::string>& Headers, bool withYRange,
                                 const std::function<void(clsCorrelationOutput&)>& writeTables);

/// The simple and partial reports: FormatTableReport with the engine's R,
/// TestStat and P as square tables labelled by Headers across and down, under
/// rTitle, "t Statistic" and "Correlation Significance (P)".
host::RangeRef FormatSquareTableReport(const LayoutInput& in, const Array<std::string>& Headers, bool withYRange,
                                       const std::string& rTitle);

}  // namespace nml::report
