// DoScatterPlot: the upper triangle of scatter charts of a simple correlation.
//
// Chart (i, j) plots variable i against variable j and sits in grid row i,
// grid column j - 1. Row 1 is 150 high, later rows 130; the last chart of a
// row is 150 wide, the others 130 (the first chart 150, or 170 when it is the
// only one). Names appear on the outer charts only.
#include <memory>

#include "charts/chart_geometry.h"
#include "charts/plots.h"
#include "common/checked.h"
#include "common/handlers.h"
#include "support/chart_maker.h"

namespace nml::charts {

void DoScatterPlot(const ChartPlacement& at, const host::RangeRef& dataRange, const Array<std::string>& names) {
  Trail({"clsCorrelation", "DoScatterPlot"}, [&] {
    std::int32_t left = 0;
    std::int32_t top = 0;
    for (std::int16_t i = 1; i <= ToInteger(std::int64_t{dataRange->ColumnCount()}) - 1; ++i) {
      const std::int16_t k = ToInteger(std::int64_t{dataRange->ColumnCount()});
      for (std::int16_t j = i + 1; j <= k; ++j) {
        // One builder per chart, released when it goes out of scope (also on failure).
        auto maker = std::make_unique<support::ChartMaker>();
        maker->Left = left;
        maker->Top = top;
        maker->Anchor = ChartAnchor(at);
        if (j == k) {
          maker->FirstAxisTitle = names(i);
          maker->Width = 150;
        } else {
          maker->FirstAxisTitle = "";
          maker->Width = 130;
        }
        maker->FirstSeries = ColumnOf(dataRange, i);
        if (i == 1) {
          maker->SecondAxisTitle = names(j);
          maker->Height = 150;
        } else {
          maker->SecondAxisTitle = "";
          maker->Height = 130;
        }
        maker->SecondSeries = ColumnOf(dataRange, j);
        if (i == 1 && j == 2) {
          maker->Title = "Scatter Plot";
          maker->Width = k == 2 ? 170 : 150;
        } else {
          maker->Title = "";
        }
        maker->Build();
        left = AddLong(left, maker->Width);
      }
      // The next row starts under the row-1 chart of the same column.
      top = ToInteger(std::int64_t{(i - 1) * 130 + 150});
      left = ToInteger(std::int64_t{(i - 1) * 130 + 150});
    }
  });
}

}  // namespace nml::charts
