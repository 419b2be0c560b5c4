// Cell storage of one worksheet: values, formulas and format ids, kept in
// column chunks so that a sheet with millions of numbers stays compact and
// block reads and writes run at memory speed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "host/cell_rect.h"
#include "nmlcorrelation/variant.h"

namespace nml::host {

class CellStore {
 public:
  CellStore();
  ~CellStore();
  CellStore(const CellStore&) = delete;
  CellStore& operator=(const CellStore&) = delete;

  /// Value of a cell (empty when never written). Only scalar kinds are stored.
  Variant Get(std::int32_t row, std::int32_t col) const;
  void Set(std::int32_t row, std::int32_t col, const Variant& value);
  void SetDouble(std::int32_t row, std::int32_t col, double value);

  /// Block transfer of a rectangle to or from a 2-D Array<Variant> of its shape.
  void Read(const CellRect& rect, Array<Variant>& out) const;
  void Write(const CellRect& rect, const Array<Variant>& values);
  /// Block read of numbers only: non-numeric cells give std::nullopt row/col of
  /// the first offender; numbers are written column-major into out.
  std::optional<std::pair<std::int32_t, std::int32_t>> ReadDoubles(const CellRect& rect, double* out) const;

  /// Format id of a cell (0 = the default format), see FormatTable.
  std::uint32_t FormatId(std::int32_t row, std::int32_t col) const;
  void SetFormatId(std::int32_t row, std::int32_t col, std::uint32_t id);
  /// Applies fn(old id) -> new id to every cell of rect.
  void MapFormatIds(const CellRect& rect, const std::function<std::uint32_t(std::uint32_t)>& fn);

  /// Formula text of a cell (without "="), if one was stored (files keep them).
  const std::string* Formula(std::int32_t row, std::int32_t col) const;
  void SetFormula(std::int32_t row, std::int32_t col, std::string formula);

  /// Removes values, formulas and formats in rect.
  void Clear(const CellRect& rect);
  void ClearAll();

  /// Smallest rectangle holding every cell with a value, formula or non-default
  /// format; std::nullopt for an empty sheet.
  std::optional<CellRect> UsedRect() const;
  /// Visits every cell that holds a value, a formula or a non-default format,
  /// row by row, columns ascending within a row.
  void ForEachCell(const std::function<void(std::int32_t row, std::int32_t col, const Variant& value,
                                            std::uint32_t formatId)>& visit) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace nml::host
