// Cell storage of one worksheet: values, formulas and format ids, kept in
// column chunks so that a sheet with millions of numbers stays compact and
// block reads and writes run at memory speed.
//
// Each column is cut into chunks of 256 rows, allocated on first use: a chunk
// holds the numbers (8 bytes a cell) and a kind byte per cell, its format ids
// only once a cell of it is formatted, and its texts packed into one buffer
// (a text cell's number is where its text starts; a one-letter text costs two
// bytes more than a number). Formulas are kept apart, sparsely. Operations over a rectangle visit only the chunks
// that exist, so clearing or reformatting a whole sheet costs time in
// proportion to the cells in use. Rows and columns are 1-based and must lie
// inside the grid (else 9).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "host/cell_rect.h"
#include "nmlcorrelation/variant.h"

namespace nml::host {

/// The spreadsheet's #NUM! error value, which a cell holds instead of a
/// non-finite number.
inline constexpr std::int32_t kErrorNum = 2036;

/// What a block paste carries.
struct PasteParts {
  bool values = true;    // values (a formula's cached result for a formula cell)
  bool formulas = true;  // formulas, relative references shifted to the new place
  bool formats = true;   // format ids
};

class CellStore {
 public:
  CellStore();
  ~CellStore();
  CellStore(const CellStore&) = delete;
  CellStore& operator=(const CellStore&) = delete;

  /// Value of a cell (empty when never written). Only scalar kinds are stored:
  /// setting an array, object or missing marker raises 13, a non-finite
  /// Double is stored as the error value #NUM!. Setting a value keeps the
  /// cell's formula (the value is its cached result); see ClearFormulas.
  Variant Get(std::int32_t row, std::int32_t col) const;
  void Set(std::int32_t row, std::int32_t col, const Variant& value);
  void SetDouble(std::int32_t row, std::int32_t col, double value);

  /// Block transfer of a rectangle to or from a 2-D Array<Variant> of its
  /// shape (Read re-dimensions out; Write raises 13 for another shape or a
  /// non-scalar element, before writing anything).
  void Read(const CellRect& rect, Array<Variant>& out) const;
  void Write(const CellRect& rect, const Array<Variant>& values);
  /// Block write of rect.Rows() x rect.Columns() numbers given column-major.
  void WriteDoubles(const CellRect& rect, const double* values);
  /// One value into every cell of rect.
  void Fill(const CellRect& rect, const Variant& value);
  /// Block read of numbers only (Integer, Long, Double), column-major into out
  /// (rect.Rows() * rect.Columns() entries). Returns std::nullopt when every
  /// cell holds a number; otherwise the (row, column) of the first cell in
  /// reading order (row by row) that does not, and out is then incomplete.
  std::optional<std::pair<std::int32_t, std::int32_t>> ReadDoubles(const CellRect& rect, double* out) const;
  /// The first cell of rect in reading order that holds a value or a formula.
  std::optional<std::pair<std::int32_t, std::int32_t>> FirstValueCell(const CellRect& rect) const;

  /// Format id of a cell (0 = the default format, or the sheet's own format
  /// when the sheet has one), see FormatTable.
  std::uint32_t FormatId(std::int32_t row, std::int32_t col) const;
  void SetFormatId(std::int32_t row, std::int32_t col, std::uint32_t id);
  /// Applies fn(old id) -> new id to every cell of rect. fn must be a function
  /// of the id alone: it is called once per run of equal ids, and when fn(0)
  /// is 0 the cells without a format of their own are not visited at all.
  void MapFormatIds(const CellRect& rect, const std::function<std::uint32_t(std::uint32_t)>& fn);

  /// Formula text of a cell (without "="), if one was stored (files keep them).
  /// The pointer stays valid until the cell's formula changes.
  const std::string* Formula(std::int32_t row, std::int32_t col) const;
  /// Stores a formula; the cell's value is its cached result. Empty text
  /// removes the formula.
  void SetFormula(std::int32_t row, std::int32_t col, std::string formula);
  /// Removes the formulas in rect, keeping the cached values.
  void ClearFormulas(const CellRect& rect);

  /// Removes values, formulas and formats in rect.
  void Clear(const CellRect& rect);
  /// Removes values and formulas in rect, keeping the formats.
  void ClearContents(const CellRect& rect);
  void ClearAll();

  /// Copies the cells of srcRect of src (which may be this store) to the block
  /// of the same shape whose top-left cell is (top, left), as one block
  /// operation. Format ids are carried as the cells show them: a source cell
  /// without a format of its own shows srcDefault, and a target cell that
  /// shows dstDefault is stored without one.
  void PasteBlock(const CellStore& src, const CellRect& srcRect, std::int32_t top, std::int32_t left,
                  PasteParts parts, std::uint32_t srcDefault, std::uint32_t dstDefault);

  /// Smallest rectangle holding every cell with a value, formula or non-default
  /// format; std::nullopt for an empty sheet.
  std::optional<CellRect> UsedRect() const;
  /// Visits every cell that holds a value, a formula or a non-default format,
  /// row by row, columns ascending within a row.
  void ForEachCell(const std::function<void(std::int32_t row, std::int32_t col, const Variant& value,
                                            std::uint32_t formatId)>& visit) const;

  /// Bytes allocated for the cells (values, formats, texts, formulas and the
  /// indexes over them), not counting the allocator's own overhead.
  std::size_t MemoryBytes() const;

  /// Counts the calls that may have changed a value, formula or format, so
  /// that a caller can tell whether a sheet was touched since it was read.
  std::uint64_t Changes() const { return changes_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::uint64_t changes_ = 0;
};

}  // namespace nml::host
