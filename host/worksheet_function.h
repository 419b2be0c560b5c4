// The two worksheet functions the component calls, with the spreadsheet's
// argument handling: degrees of freedom are truncated to whole numbers, and
// an argument outside the domain raises error 1004 (as the spreadsheet does
// when a function called through WorksheetFunction would return #NUM!).
#pragma once

#include "nmlcorrelation/variant.h"

namespace nml::host {

class WorksheetFunction final : public Object {
 public:
  /// Upper-tail F probability. x >= 0, 1 <= df1 < 1e10, 1 <= df2 < 1e10.
  Variant FDist(const Variant& x, const Variant& df1, const Variant& df2) const;
  /// Upper-tail chi-square probability. x >= 0, 1 <= df < 1e10.
  Variant ChiDist(const Variant& x, const Variant& df) const;
};

}  // namespace nml::host
