// A rectangle of cells, 1-based and inclusive, and the grid's limits.
#pragma once

#include <cstdint>

namespace nml::host {

inline constexpr std::int32_t kMaxRows = 1048576;
inline constexpr std::int32_t kMaxColumns = 16384;

struct CellRect {
  std::int32_t top = 1;
  std::int32_t left = 1;
  std::int32_t bottom = 1;
  std::int32_t right = 1;

  std::int32_t Rows() const { return bottom - top + 1; }
  std::int32_t Columns() const { return right - left + 1; }
  bool Contains(std::int32_t row, std::int32_t col) const {
    return row >= top && row <= bottom && col >= left && col <= right;
  }
  friend bool operator==(const CellRect&, const CellRect&) = default;
};

/// Number of cells of a rectangle, without overflow for the whole grid.
std::int64_t CellCount(const CellRect& rect);
/// True when every corner lies inside the grid and top <= bottom, left <= right.
bool InsideGrid(const CellRect& rect);
/// True for the rectangle of every cell of a sheet.
bool IsWholeGrid(const CellRect& rect);
/// True for a rectangle spanning all rows (whole columns) / all columns (whole rows).
bool SpansAllRows(const CellRect& rect);
bool SpansAllColumns(const CellRect& rect);
/// True when the two rectangles share at least one cell.
bool Overlaps(const CellRect& a, const CellRect& b);
/// The smallest rectangle holding both.
CellRect BoundingRect(const CellRect& a, const CellRect& b);

}  // namespace nml::host
