#include "common/handlers.h"
#include "report/layout_frame.h"
#include "report/layouts.h"

namespace nml::report {

host::RangeRef FormatSimpleResults(const LayoutInput& in, const Array<std::string>& Headers) {
  return Trail({"clsCorrelation", "FormatSimpleResults"}, [&] {
    return FormatSquareTableReport(in, Headers, false, "Correlation Matrix (R)");
  });
}

}  // namespace nml::report
