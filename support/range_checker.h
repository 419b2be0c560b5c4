// RangeChecker: the add-in's checks of input areas and of the output place.
#pragma once

#include <cstdint>

#include "host/range.h"
#include "nmlcorrelation/boolean.h"

namespace nml::support {

class RangeChecker {
 public:
  /// Returns normally when every data cell of the area (the first row excepted
  /// when headers is true) holds a number; otherwise raises kNonNumericXCell
  /// naming the first offending cell ("Sheet1!$B$7 is empty" / "... holds text").
  /// The three out values are left at 0.
  void CheckXArea(const host::Range& area, VBool headers, std::int32_t& out1, std::int32_t& out2,
                  std::int32_t& out3) const;
  /// As CheckXArea, raising kNonNumericYCell; the four out values are left at 0.
  void CheckYArea(const host::Range& area, VBool headers, std::int32_t& out1, std::int32_t& out2,
                  std::int32_t& out3, std::int32_t& out4) const;
  /// Checks that a report of columns by rows fits at the anchor: past the grid
  /// raises kOutputPastGrid; when overWrite is false and any cell of the
  /// target rectangle holds a value, raises kOutputNotEmpty naming it. The
  /// anchor is left as it is.
  void PrepareOutput(host::RangeRef& anchor, std::int32_t columns, std::int32_t rows, VBool overWrite) const;
};

/// The global RangeChecker.
RangeChecker& TheRangeChecker();

}  // namespace nml::support
