// Range: one or more rectangles of cells on one worksheet, as the spreadsheet
// object model presents them. Ranges are handed around as shared references.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/cell_format.h"
#include "host/cell_rect.h"
#include "nmlcorrelation/variant.h"

namespace nml::host {

class Application;
class Worksheet;

class Range final : public Object, public std::enable_shared_from_this<Range> {
 public:
  /// areas must be non-empty and inside the grid (else 1004); sheet must be set (else 91).
  Range(std::shared_ptr<nml::host::Worksheet> sheet, std::vector<CellRect> areas);

  /// The cell at (row, column) counted from this range's top-left cell,
  /// 1-based; it may lie outside the range (but not outside the grid: that,
  /// or a row or column below 1, raises 1004).
  std::shared_ptr<Range> Cells(std::int32_t row, std::int32_t column) const;

  /// Row and column counts of the first area.
  std::int32_t RowCount() const;
  std::int32_t ColumnCount() const;

  std::int32_t AreaCount() const;
  /// Area i (1-based); out of range raises 9.
  std::shared_ptr<Range> Areas(std::int32_t i) const;
  const std::vector<CellRect>& Rects() const { return areas_; }

  /// Values of the first area: a 2-D Array<Variant> (rows, columns); a single
  /// cell gives its scalar value. A block too large to hold raises 7.
  Variant Value() const;
  /// Assigns a 2-D array (of variants or doubles) of each area's shape (or a
  /// 1-D array of c elements to a one-row range of c columns), or one scalar
  /// to every cell; Empty clears the values and keeps the formats. Other
  /// shapes, and arrays holding arrays or objects, raise 13 before any cell
  /// changes. Formulas in the cells written are removed.
  void SetValue(const Variant& value);

  /// Absolute A1 address of all areas joined by commas: "$A$1:$C$21,$E$1:$E$21";
  /// a single cell gives "$B$2".
  std::string Address() const;
  std::string AddressLocal() const;

  std::shared_ptr<nml::host::Worksheet> Worksheet() const;

  /// Clears contents, formulas and formats of every area.
  void Clear();
  void SetInteriorColorIndex(std::int32_t colorIndex);
  void SetNumberFormat(const std::string& format);
  void SetHorizontalAlignment(std::int32_t alignment);
  void SetBold(bool bold);
  void SetBorder(bool border);
  /// Applies edit to the format of every cell of every area in one pass.
  /// Formatting the whole sheet changes the sheet's own format and the cells
  /// formatted on their own, nothing else.
  void ModifyFormat(const std::function<void(CellFormat&)>& edit);

  /// Puts this range on the application's clipboard (a range of several
  /// areas raises 1004). The cells are read when they are pasted.
  void Copy() const;
  /// Pastes the clipboard here (top-left anchored), values and/or formats by
  /// pasteType (kPasteAll, kPasteValues, kPasteFormats); an empty clipboard,
  /// another paste type or a block that would run past the grid raises 1004.
  /// kPasteAll carries values, formulas (relative references moved) and
  /// formats; the pasted block becomes the selection.
  void PasteSpecial(std::int32_t pasteType);
  /// Makes this range the application's selection and its sheet active.
  void Select();

 private:
  std::shared_ptr<class Application> App() const;

  std::shared_ptr<nml::host::Worksheet> sheet_;
  std::vector<CellRect> areas_;
};

using RangeRef = std::shared_ptr<Range>;

}  // namespace nml::host
