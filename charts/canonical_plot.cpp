// DoCanonicalPlot: one row of charts, canonical variate i of set 1 against
// variate i of set 2, placed CanonicalPlotTop below the anchor, each a tenth
// of its width apart; the next row goes a tenth of a chart's height lower.
#include <cmath>
#include <memory>
#include <string>

#include "charts/chart_geometry.h"
#include "charts/plots.h"
#include "common/checked.h"
#include "common/handlers.h"
#include "support/chart_maker.h"

namespace nml::charts {

void DoCanonicalPlot(const ChartPlacement& at, std::int32_t& canonicalPlotTop, const host::RangeRef& set1,
                     const host::RangeRef& set2, VBool raw) {
  Trail({"clsCorrelation", "DoCanonicalPlot"}, [&] {
    const std::int32_t c1 = set1->ColumnCount();
    const std::int32_t c2 = set2->ColumnCount();
    const std::int16_t c = ToInteger(std::int64_t{c1 < c2 ? c1 : c2});
    if (c < 1) return;
    std::int32_t left = 0;
    std::int32_t step = 0;
    for (std::int16_t i = 1; i <= c; ++i) {
      auto maker = std::make_unique<support::ChartMaker>();
      maker->Left = left;
      maker->Top = canonicalPlotTop;
      maker->Anchor = ChartAnchor(at);
      maker->FirstAxisTitle = "Set 1 CV " + std::to_string(i);
      maker->FirstSeries = ColumnOf(set1, i);
      maker->SecondAxisTitle = "Set 2 CV " + std::to_string(i);
      maker->SecondSeries = ColumnOf(set2, i);
      maker->Title = IsTrue(raw) ? "Raw Canonical Variates" : "Std Canonical Variates";
      maker->Build();
      // Rounded to the nearest whole number, halves to the even neighbour.
      left = ToLong(static_cast<double>(maker->Width) * 1.1 + left);
      step = ToLong(static_cast<double>(maker->Height) * 1.1);
    }
    canonicalPlotTop = AddLong(canonicalPlotTop, step);
  });
}

}  // namespace nml::charts
