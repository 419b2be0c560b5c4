#include "common/handlers.h"
#include "report/layout_frame.h"
#include "report/layouts.h"

namespace nml::report {

host::RangeRef FormatPartialResults(const LayoutInput& in, const Array<std::string>& Headers) {
  return Trail({"clsCorrelation", "FormatPartialResults"}, [&] {
    return FormatSquareTableReport(in, Headers, true, "Partial Correlation Matrix (R)");
  });
}

}  // namespace nml::report
