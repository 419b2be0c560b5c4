#include "support/chart_maker.h"

#include "support/support_errors.h"
#include "host/worksheet.h"

namespace nml::support {

void ChartMaker::Build() {
  if (!Anchor || !FirstSeries || !SecondSeries)
    RaiseSupport(kChartIncomplete, "A chart needs an anchor cell and two data series before it is built");
  if (Width < 1 || Height < 1)
    RaiseSupport(kBadArgument, "A chart needs a positive width and height, not " + std::to_string(Width) + " by " +
                                   std::to_string(Height));
  if (FirstSeries->ColumnCount() != 1 || SecondSeries->ColumnCount() != 1)
    RaiseSupport(kBadArgument, "Each data series of a chart must be one column");
  host::ChartObject chart;
  chart.anchor = Anchor->Cells(1, 1);
  chart.left = Left;
  chart.top = Top;
  chart.width = Width;
  chart.height = Height;
  chart.title = Title;
  chart.firstAxisTitle = FirstAxisTitle;
  chart.secondAxisTitle = SecondAxisTitle;
  chart.firstSeries = FirstSeries->Areas(1);
  chart.secondSeries = SecondSeries->Areas(1);
  Anchor->Worksheet()->Charts().push_back(std::move(chart));
}

}  // namespace nml::support
