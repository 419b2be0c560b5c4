#include "report/layout_frame.h"

#include "engine/cls_correlation_bo.h"
#include "host/worksheet.h"

namespace nml::report {

std::string RangeText(const host::RangeRef& range) {
  if (!range) Raise(rt::kObjectNotSet);
  return range->Worksheet()->Name() + "!" + range->Address();
}

const clsCorrelationBO& EngineOf(const LayoutInput& in) {
  if (in.engine == nullptr) Raise(rt::kObjectNotSet);
  return *in.engine;
}

host::RangeRef FormatTableReport(const LayoutInput& in, const Array<std::string>& Headers, bool withYRange,
                                 const std::function<void(clsCorrelationOutput&)>& writeTables) {
  const clsCorrelationBO& engine = EngineOf(in);
  clsCorrelationOutput out;
  out.Method(in.method);
  const Variant yText = withYRange ? Variant(RangeText(in.yRangeCells)) : Variant::Missing();
  out.OutputHeader(RangeText(in.xRangeCells), yText, Variant(""));
  out.InsertBlankLines(1);
  if (IsTrue(in.descriptives)) {
    // Partial and multiple correlation pass statistics for the Y and the X
    // variables but name only the Y variables: only those rows are shown.
    out.OutputDescriptives(Headers, engine.Means(), engine.SDs(), engine.SEs(), engine.Ns());
    out.InsertBlankLines(1);
  }
  writeTables(out);
  return out.Results();
}

host::RangeRef FormatSquareTableReport(const LayoutInput& in, const Array<std::string>& Headers, bool withYRange,
                                       const std::string& rTitle) {
  return FormatTableReport(in, Headers, withYRange, [&](clsCorrelationOutput& out) {
    const clsCorrelationBO& engine = EngineOf(in);
    out.OutputMatrix(Headers, Headers, engine.R(), rTitle);
    out.InsertBlankLines(1);
    out.OutputMatrix(Headers, Headers, engine.TestStat(), "t Statistic");
    out.InsertBlankLines(1);
    out.OutputMatrix(Headers, Headers, engine.P(), "Correlation Significance (P)");
    out.InsertBlankLines(1);
  });
}

}  // namespace nml::report

namespace nml::report {

std::int32_t ScoreCoord(const Variant& coords, std::int32_t i, std::int32_t j) {
  const Array<Variant>& c = coords.Variants();
  if (c.Rank() != 2 || c.UBound(1) != 2 || c.UBound(2) != 2) Raise(rt::kTypeMismatch);
  return c(i, j).AsLong();
}

}  // namespace nml::report
