// CellWriter: the cell styles of the add-in's reports.
#pragma once

#include "host/range.h"
#include "nmlcorrelation/boolean.h"

namespace nml::support {

class CellWriter {
 public:
  /// Bold title; a main title (major) also gets no number format change, a
  /// minor one the same bold face (both left aligned).
  void StyleTitle(host::Range& range, VBool major) const;
  /// Heading strip: bold, light fill, thin border; a row-label column is left aligned,
  /// otherwise centred.
  void StyleHeaderStrip(host::Range& range, VBool isRowLabelColumn) const;
  /// Table body: number format "0.0000"; when the first column holds labels it
  /// keeps the General format.
  void StyleDataBlock(host::Range& range, VBool firstColumnHoldsLabels) const;
};

}  // namespace nml::support
