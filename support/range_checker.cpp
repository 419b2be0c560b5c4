#include "support/range_checker.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/support_errors.h"
#include "host/reference_parser.h"
#include "host/worksheet.h"

namespace nml::support {

namespace {

// "Data!$B$7" for a cell of a sheet.
std::string CellName(const host::Worksheet& sheet, std::int32_t row, std::int32_t col) {
  return host::SheetPrefix(sheet.Name()) + host::AbsoluteAddress(host::CellRect{row, col, row, col});
}

std::string WhatIsWrong(const Variant& v) {
  switch (v.Kind()) {
    case VarKind::kEmpty: return "is empty";
    case VarKind::kText: return "holds text, not a number";
    case VarKind::kBoolean: return "holds a logical value, not a number";
    case VarKind::kErrorValue: return "holds an error value, not a number";
    default: return "does not hold a number";
  }
}

// Raises code naming the first cell (in reading order) of the data part of
// every area of range that is not a number.
void CheckNumeric(const host::Range& range, VBool headers, std::int32_t code) {
  const auto sheet = range.Worksheet();
  const host::CellStore& store = sheet->Store();
  std::vector<double> column;
  for (const host::CellRect& area : range.Rects()) {
    host::CellRect data = area;
    if (IsTrue(headers)) ++data.top;
    if (data.top > data.bottom) continue;
    column.resize(static_cast<std::size_t>(data.Rows()));
    // Column by column keeps the buffer small; the earliest offender in
    // reading order wins across columns.
    std::optional<std::pair<std::int32_t, std::int32_t>> first;
    for (std::int32_t col = data.left; col <= data.right; ++col) {
      const std::int32_t bottom = first ? first->first - 1 : data.bottom;
      if (bottom < data.top) break;
      auto bad = store.ReadDoubles(host::CellRect{data.top, col, bottom, col}, column.data());
      if (bad && (!first || bad->first < first->first)) first = bad;
    }
    if (first) {
      RaiseSupport(code, CellName(*sheet, first->first, first->second) + " " +
                             WhatIsWrong(store.Get(first->first, first->second)));
    }
  }
}

}  // namespace

void RangeChecker::CheckXArea(const host::Range& area, VBool headers, std::int32_t& out1, std::int32_t& out2,
                              std::int32_t& out3) const {
  out1 = out2 = out3 = 0;
  CheckNumeric(area, headers, kNonNumericXCell);
}

void RangeChecker::CheckYArea(const host::Range& area, VBool headers, std::int32_t& out1, std::int32_t& out2,
                              std::int32_t& out3, std::int32_t& out4) const {
  out1 = out2 = out3 = out4 = 0;
  CheckNumeric(area, headers, kNonNumericYCell);
}

void RangeChecker::PrepareOutput(host::RangeRef& anchor, std::int32_t columns, std::int32_t rows,
                                 VBool overWrite) const {
  if (!anchor) Raise(rt::kObjectNotSet);
  if (columns < 1 || rows < 1)
    RaiseSupport(kBadArgument, "A report needs at least one row and one column, not " + std::to_string(rows) +
                                   " rows and " + std::to_string(columns) + " columns");
  const auto sheet = anchor->Worksheet();
  const host::CellRect& at = anchor->Rects().front();
  const std::int64_t bottom = static_cast<std::int64_t>(at.top) + rows - 1;
  const std::int64_t right = static_cast<std::int64_t>(at.left) + columns - 1;
  if (bottom > host::kMaxRows || right > host::kMaxColumns) {
    RaiseSupport(kOutputPastGrid, "A report of " + std::to_string(rows) + " rows and " + std::to_string(columns) +
                                      " columns placed at " + CellName(*sheet, at.top, at.left) +
                                      " would run past the edge of the sheet");
  }
  if (IsTrue(overWrite)) return;
  const host::CellRect target{at.top, at.left, static_cast<std::int32_t>(bottom), static_cast<std::int32_t>(right)};
  if (auto cell = sheet->Store().FirstValueCell(target)) {
    RaiseSupport(kOutputNotEmpty, CellName(*sheet, cell->first, cell->second) +
                                      " already holds data where the report would go");
  }
}

RangeChecker& TheRangeChecker() {
  static RangeChecker checker;
  return checker;
}

}  // namespace nml::support
