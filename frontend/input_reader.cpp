#include "frontend/input_reader.h"

#include <optional>
#include <utility>

#include "nmlcorrelation/method.h"
#include "common/checked.h"
#include "common/handlers.h"
#include "host/application.h"
#include "support/host_link.h"
#include "support/numerics/matrix_ops.h"
#include "report/layouts.h"

namespace nml {

namespace {

// The data of one area as a matrix: the whole area, or without its first
// row when the first row holds the names.
Matrix ReadArea(const host::RangeRef& area, VBool headers, support::MatrixOps& ops) {
  if (!IsTrue(headers)) return ops.ToMatrix(area->Value());
  auto app = support::TheHostLink().Application();
  const std::int32_t rows = area->RowCount();
  const std::int32_t columns = area->ColumnCount();
  return ops.ToMatrix(app->GetRange(*area->Cells(2, 1), *area->Cells(rows, columns))->Value());
}

// Every area of a range, side by side.
Matrix ReadRange(const host::RangeRef& cells, VBool headers, support::MatrixOps& ops) {
  // The first area is read through the range itself: the host yields the
  // first area's values for a range of several areas.
  Matrix m = ReadArea(cells, headers, ops);
  const std::int16_t areas = ToInteger(std::int64_t{cells->AreaCount()});
  for (std::int16_t i = 2; i <= areas; ++i) m = ops.AppendColumns(m, ReadArea(cells->Areas(i), headers, ops));
  return m;
}

// One name per column, area by area: the header cell's text, or "Column "
// and the column letters of the cell's local address.
void BuildNames(const host::RangeRef& cells, VBool headers, std::int32_t columnCount, Array<std::string>& names) {
  names.Redim(columnCount);
  std::int32_t k = 1;
  const std::int16_t areas = ToInteger(std::int64_t{cells->AreaCount()});
  for (std::int16_t a = 1; a <= areas; ++a) {
    const auto area = cells->Areas(a);
    const std::int16_t cols = ToInteger(std::int64_t{area->ColumnCount()});
    for (std::int16_t j = 1; j <= cols; ++j) {
      if (IsTrue(headers)) {
        names(k) = area->Cells(1, j)->Value().ToText();
      } else {
        const std::string address = area->Cells(1, j)->AddressLocal();  // "$AB$1"
        const auto p = address.find('$', 1);
        if (p == std::string::npos || p < 1) Raise(rt::kInvalidCall);
        names(k) = "Column " + address.substr(1, p - 1);
      }
      ++k;
    }
  }
}

}  // namespace

host::RangeRef GetResults(CorrelationState& s, Array<std::string>& XNames, Variant& RawScoreCoords,
                          Variant& StdScoreCoords) {
  return Trail({"clsCorrelation", "GetResults"}, [&]() -> host::RangeRef {
    std::optional<support::MatrixOps> ops;
    ops.emplace();

    Matrix x = ReadRange(s.XRangeCells, s.Headers, *ops);
    Matrix y;
    if (s.YRangeCells) y = ReadRange(s.YRangeCells, s.Headers, *ops);

    const std::int32_t xColumns = x.Allocated() ? x.UBound(2) : 0;
    const std::int32_t yColumns = y.Allocated() ? y.UBound(2) : 0;
    clsCorrelationBO& engine = *s.Engine;
    // The matrices read here are handed over: nothing else uses them.
    engine.X(std::move(x));
    engine.Y(std::move(y));
    engine.Method(s.Method);
    engine.Raw(s.Raw);
    engine.Standardised(s.Standardised);
    engine.CalculateDescriptives(s.Descriptives);
    ops.reset();
    engine.Analyse();

    BuildNames(s.XRangeCells, s.Headers, xColumns, XNames);
    Array<std::string> YNames;
    if (s.YRangeCells) BuildNames(s.YRangeCells, s.Headers, yColumns, YNames);

    report::LayoutInput in;
    in.method = s.Method;
    in.descriptives = s.Descriptives;
    in.raw = s.Raw;
    in.standardised = s.Standardised;
    in.xRangeCells = s.XRangeCells;
    in.yRangeCells = s.YRangeCells;
    in.engine = &engine;
    switch (s.Method) {
      case nmlCorrMultiple: return report::FormatMultipleResults(in, YNames);
      case nmlCorrPartial: return report::FormatPartialResults(in, YNames);
      case nmlCorrCanonical: return report::FormatCanonicalResults(in, XNames, YNames, RawScoreCoords, StdScoreCoords);
      default: return report::FormatSimpleResults(in, XNames);
    }
  });
}

}  // namespace nml
