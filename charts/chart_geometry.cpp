#include "charts/chart_geometry.h"

#include "common/checked.h"
#include "host/application.h"
#include "support/host_link.h"

namespace nml::charts {

host::RangeRef ChartAnchor(const ChartPlacement& at) {
  return at.outputCells->Cells(1, AddLong(at.cachedReport->ColumnCount(), 2));
}

host::RangeRef ColumnOf(const host::RangeRef& range, std::int32_t column) {
  auto app = support::TheHostLink().Application();
  return app->GetRange(*range->Cells(1, column), *range->Cells(range->RowCount(), column));
}

}  // namespace nml::charts
