#include "support/cell_writer.h"

#include "host/cell_format.h"

namespace nml::support {

void CellWriter::StyleTitle(host::Range& range, VBool major) const {
  // Main titles (the report header, "Raw Results") stand out from the
  // table titles by a larger font.
  const double size = IsTrue(major) ? kMajorTitleFontSize : 0;
  range.ModifyFormat([size](host::CellFormat& f) {
    f.bold = true;
    f.horizontalAlignment = host::kAlignLeft;
    f.fontSize = size;
  });
}

void CellWriter::StyleHeaderStrip(host::Range& range, VBool isRowLabelColumn) const {
  const std::int32_t alignment = IsTrue(isRowLabelColumn) ? host::kAlignLeft : host::kAlignCenter;
  range.ModifyFormat([&](host::CellFormat& f) {
    f.bold = true;
    f.border = true;
    f.fillColorIndex = kHeaderFill;
    f.horizontalAlignment = alignment;
  });
}

void CellWriter::StyleDataBlock(host::Range& range, VBool firstColumnHoldsLabels) const {
  auto numbers = [](host::CellFormat& f) { f.numberFormat = kDataFormat; };
  if (!IsTrue(firstColumnHoldsLabels)) {
    range.ModifyFormat(numbers);
    return;
  }
  // Each area keeps General in its first column; the rest gets the number format.
  for (std::int32_t i = 1; i <= range.AreaCount(); ++i) {
    const host::CellRect a = range.Rects()[static_cast<std::size_t>(i - 1)];
    host::Range labels(range.Worksheet(), {host::CellRect{a.top, a.left, a.bottom, a.left}});
    labels.ModifyFormat([](host::CellFormat& f) { f.numberFormat = "General"; });
    if (a.Columns() < 2) continue;
    host::Range body(range.Worksheet(), {host::CellRect{a.top, a.left + 1, a.bottom, a.right}});
    body.ModifyFormat(numbers);
  }
}

}  // namespace nml::support
