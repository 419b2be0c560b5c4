#include "common/handlers.h"
#include "engine/cls_correlation_bo.h"
#include "report/layout_frame.h"
#include "report/layouts.h"

namespace nml::report {

host::RangeRef FormatPartialResults(const LayoutInput& in, const Array<std::string>& Headers) {
  return Trail({"clsCorrelation", "FormatPartialResults"}, [&] {
    return FormatTableReport(in, Headers, true, [&](clsCorrelationOutput& out) {
      const clsCorrelationBO& engine = EngineOf(in);
      out.OutputMatrix(Headers, Headers, engine.R(), "Partial Correlation Matrix (R)");
      out.InsertBlankLines(1);
      out.OutputMatrix(Headers, Headers, engine.TestStat(), "t Statistic");
      out.InsertBlankLines(1);
      out.OutputMatrix(Headers, Headers, engine.P(), "Correlation Significance (P)");
      out.InsertBlankLines(1);
    });
  });
}

}  // namespace nml::report
