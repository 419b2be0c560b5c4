// clsCorrelation::Results: validation of the ranges, then the building and
// delivery of the report.
#include <cmath>

#include "charts/plots.h"
#include "nmlcorrelation/method.h"
#include "common/checked.h"
#include "common/handlers.h"
#include "frontend/correlation_state.h"
#include "frontend/input_reader.h"
#include "support/addin_globals.h"
#include "host/application.h"
#include "support/host_link.h"
#include "support/range_checker.h"
#include "host/workbook.h"
#include "nmlcorrelation/correlation.h"

namespace nml {

namespace {

// Checks every area of a range with the support library and totals its
// columns; areas whose row counts differ raise mismatchCode.
template <class Check>
std::int16_t CheckAreas(const host::RangeRef& cells, std::int32_t mismatchCode, Check&& check) {
  std::int32_t rows = cells->RowCount();
  std::int16_t columns = 0;
  const std::int16_t areas = ToInteger(std::int64_t{cells->AreaCount()});
  for (std::int16_t i = 1; i <= areas; ++i) {
    const auto area = cells->Areas(i);
    check(*area);
    columns = AddInteger(columns, ToInteger(std::int64_t{area->ColumnCount()}));
    if (area->RowCount() != rows) RaiseCode(mismatchCode);
    rows = area->RowCount();
  }
  return columns;
}

// Steps 1 to 7: nothing is changed unless every check passes.
void ValidateRanges(CorrelationState& s) {
  if (!s.XRangeCells) RaiseCode(5012);
  if (s.Method != nmlCorrSimple && !s.YRangeCells) RaiseCode(5011);

  const auto& checker = support::TheRangeChecker();
  const std::int16_t xColumns = CheckAreas(s.XRangeCells, 5038, [&](const host::Range& area) {
    std::int32_t a = 0, b = 0, c = 0;
    checker.CheckXArea(area, s.Headers, a, b, c);
  });
  if (s.Method == nmlCorrSimple && xColumns < 2) RaiseCode(5049);
  // Headers counts as -1 when set: three rows with a name row are two data rows.
  if (static_cast<std::int64_t>(s.XRangeCells->RowCount()) + s.Headers < 3) RaiseCode(5051);

  if (s.YRangeCells) {
    const std::int16_t yColumns = CheckAreas(s.YRangeCells, 5036, [&](const host::Range& area) {
      std::int32_t a = 0, b = 0, c = 0, d = 0;
      checker.CheckYArea(area, s.Headers, a, b, c, d);
    });
    if (s.Method != nmlCorrMultiple && yColumns < 2) RaiseCode(5048);
    if (s.XRangeCells->RowCount() != s.YRangeCells->RowCount()) RaiseCode(5028);
    if (static_cast<std::int64_t>(s.YRangeCells->RowCount()) + s.Headers < 3) RaiseCode(5050);
  }

  if (s.Method == nmlCorrCanonical && !IsTrue(s.Raw) && !IsTrue(s.Standardised)) s.Standardised = kVTrue;
}

// Element (i, j) of a 2 by 2 coordinate array, whatever its element type.
std::int32_t Coord(const Variant& c, std::int32_t i, std::int32_t j) {
  if (c.Kind() == VarKind::kDoubleArray) return ToLong(c.Doubles()(i, j));
  return ToLong(c.Variants()(i, j).ToDouble());
}

// The canonical plots of one score block: set-1 variates in its left half,
// set-2 variates in its right half.
void PlotScoreBlock(CorrelationState& s, const Variant& c, VBool raw) {
  auto app = support::TheHostLink().Application();
  const std::int32_t r1 = Coord(c, 1, 1), c1 = Coord(c, 1, 2), r2 = Coord(c, 2, 1), c2 = Coord(c, 2, 2);
  const std::int32_t k = ToLong((c2 - c1 + 1) / 2.0);
  auto set1 = app->GetRange(*s.OutputCells->Cells(r1, c1), *s.OutputCells->Cells(r2, c1 + k - 1));
  auto set2 = app->GetRange(*s.OutputCells->Cells(r1, c1 + k), *s.OutputCells->Cells(r2, c2));
  charts::DoCanonicalPlot({s.OutputCells, s.CachedReport}, s.CanonicalPlotTop, set1, set2, raw);
}

// Step 15: charts beside the pasted report.
void DrawCharts(CorrelationState& s) {
  if (s.Method == nmlCorrCanonical) {
    if (IsTrue(s.Raw)) PlotScoreBlock(s, s.RawScoreCoords, kVTrue);
    if (IsTrue(s.Standardised)) PlotScoreBlock(s, s.StdScoreCoords, kVFalse);
  } else if (s.Method != nmlCorrMultiple && s.Method != nmlCorrPartial) {
    host::RangeRef data = s.XRangeCells;
    if (IsTrue(s.Headers)) {
      auto app = support::TheHostLink().Application();
      data = app->GetRange(*s.XRangeCells->Cells(2, 1),
                           *s.XRangeCells->Cells(s.XRangeCells->RowCount(), s.XRangeCells->ColumnCount()));
    }
    charts::DoScatterPlot({s.OutputCells, s.CachedReport}, data, s.XNames);
  }
}

// Steps 8 to 18.
void DeliverReport(CorrelationState& s, bool overWrite) {
  if (!s.CachedReport) s.CachedReport = GetResults(s, s.XNames, s.RawScoreCoords, s.StdScoreCoords);

  auto app = support::TheHostLink().Application();
  if (!s.OutputCells) {
    auto sheet = app->Worksheets()->Add();
    auto book = sheet->Parent();
    sheet->Move(book->Worksheets()->Item(book->Worksheets()->Count()));
    s.OutputCells = sheet->Cells(1, 1);
  }

  const std::int32_t columns = s.CachedReport->ColumnCount();
  const std::int32_t rows = s.CachedReport->RowCount();
  support::TheRangeChecker().PrepareOutput(s.OutputCells, columns, rows, ToVBool(overWrite));

  s.OutputCells->Worksheet()->Parent()->Activate();
  s.OutputCells->Worksheet()->Activate();
  s.CachedReport->Copy();
  const std::int32_t pasteType = support::TheAddinGlobals().PasteType();
  s.OutputCells->Cells(1, 1)->PasteSpecial(pasteType);

  support::TheHostLink().NoteReport(app->GetRange(*s.OutputCells->Cells(1, 1), *s.OutputCells->Cells(rows, columns)));
  if (IsTrue(s.Plots)) DrawCharts(s);

  app->SetScreenUpdating(true);
  s.OutputCells->Cells(1, 1)->Select();
  s.CachedReport.reset();
}

}  // namespace

void clsCorrelation::Results(bool OverWrite) {
  Trail({"clsCorrelation", "Results"}, [&] {
    ValidateRanges(*state_);
    DeliverReport(*state_, OverWrite);
  });
}

}  // namespace nml
