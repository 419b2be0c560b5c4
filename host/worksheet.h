// Worksheet: a named grid of 1,048,576 rows by 16,384 columns in a workbook,
// with its cells and the charts placed on it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/cell_format.h"
#include "host/cell_store.h"
#include "host/chart_object.h"
#include "host/range.h"
#include "nmlcorrelation/variant.h"

namespace nml::host {

class Workbook;

class Worksheet final : public Object, public std::enable_shared_from_this<Worksheet> {
 public:
  Worksheet(std::shared_ptr<Workbook> parent, std::string name);

  const std::string& Name() const { return name_; }
  /// Renames the sheet; an empty name, one longer than 31 characters, one with
  /// any of : \ / ? * [ ] or one already used in the workbook (ignoring case) raises 1004.
  void SetName(std::string name);
  /// The workbook; a sheet whose workbook was closed raises 91.
  std::shared_ptr<Workbook> Parent() const;

  /// Every cell of the sheet.
  RangeRef Cells();
  /// The cell at (row, column); outside the grid raises 1004.
  RangeRef Cells(std::int32_t row, std::int32_t column);
  /// The rectangle spanned by two cells (of this sheet; another sheet's raises 1004).
  RangeRef GetRange(const Range& cell1, const Range& cell2);
  /// An A1 address on this sheet ("A1:A3", "$B$2", "A1:B2,D1:D2"); a sheet
  /// qualifier naming another sheet, or bad text, raises 1004.
  RangeRef GetRange(std::string_view address);

  /// Makes the sheet (and its workbook) active; a sheet of an add-in raises 1004.
  void Activate();
  /// Moves the sheet to just after `after` (a sheet of the same workbook,
  /// else 1004; none raises 91).
  void Move(const std::shared_ptr<Worksheet>& after);

  CellStore& Store() { return store_; }
  const CellStore& Store() const { return store_; }
  /// Format id every cell has unless it was formatted on its own (set by
  /// formatting the whole sheet).
  std::uint32_t DefaultFormatId() const { return defaultFormatId_; }
  void SetDefaultFormatId(std::uint32_t id) { defaultFormatId_ = id; }
  /// The format a cell shows: its own, or the sheet's.
  std::uint32_t EffectiveFormatId(std::int32_t row, std::int32_t column) const;
  CellFormat FormatAt(std::int32_t row, std::int32_t column) const;

  std::vector<ChartObject>& Charts() { return charts_; }
  const std::vector<ChartObject>& Charts() const { return charts_; }

  /// Column widths in character units, as read from or meant for a file (0 = default).
  double ColumnWidth(std::int32_t column) const;
  void SetColumnWidth(std::int32_t column, double width);
  /// The last column given a width of its own (0 when none is).
  std::int32_t LastColumnWithWidth() const { return columnWidths_.empty() ? 0 : columnWidths_.rbegin()->first; }

  /// Printed scaled to one page wide, as many pages tall as it needs.
  bool FitToPageWidth() const { return fitToPageWidth_; }
  void SetFitToPageWidth(bool on) { fitToPageWidth_ = on; }

 private:
  std::weak_ptr<Workbook> parent_;
  std::string name_;
  CellStore store_;
  std::uint32_t defaultFormatId_ = 0;
  std::vector<ChartObject> charts_;
  std::map<std::int32_t, double> columnWidths_;  // only the columns given a width
  bool fitToPageWidth_ = false;
};

using WorksheetRef = std::shared_ptr<Worksheet>;

}  // namespace nml::host
