// CellWriter: the cell styles of the add-in's reports.
#pragma once

#include <cstdint>

#include "host/range.h"
#include "nmlcorrelation/boolean.h"

namespace nml::support {

class CellWriter {
 public:
  /// Fill colour index of heading strips (light grey).
  static constexpr std::int32_t kHeaderFill = 15;
  /// Number format of table bodies.
  static constexpr const char* kDataFormat = "0.0000";

  /// Font size of main titles, in points (the default font has 11).
  static constexpr double kMajorTitleFontSize = 14;
  /// Title: bold and left aligned; main (major) titles also in a larger font.
  void StyleTitle(host::Range& range, VBool major) const;
  /// Heading strip: bold, light fill, thin border; a row-label column is left aligned,
  /// otherwise centred.
  void StyleHeaderStrip(host::Range& range, VBool isRowLabelColumn) const;
  /// Table body: number format "0.0000"; when the first column holds labels
  /// that column keeps the General format.
  void StyleDataBlock(host::Range& range, VBool firstColumnHoldsLabels) const;
};

}  // namespace nml::support
