#include "host/cell_rect.h"

#include <algorithm>

namespace nml::host {

std::int64_t CellCount(const CellRect& rect) {
  return static_cast<std::int64_t>(rect.Rows()) * static_cast<std::int64_t>(rect.Columns());
}

bool InsideGrid(const CellRect& rect) {
  return rect.top >= 1 && rect.left >= 1 && rect.top <= rect.bottom && rect.left <= rect.right &&
         rect.bottom <= kMaxRows && rect.right <= kMaxColumns;
}

bool SpansAllRows(const CellRect& rect) { return rect.top == 1 && rect.bottom == kMaxRows; }
bool SpansAllColumns(const CellRect& rect) { return rect.left == 1 && rect.right == kMaxColumns; }
bool IsWholeGrid(const CellRect& rect) { return SpansAllRows(rect) && SpansAllColumns(rect); }

bool Overlaps(const CellRect& a, const CellRect& b) {
  return a.top <= b.bottom && b.top <= a.bottom && a.left <= b.right && b.left <= a.right;
}

CellRect BoundingRect(const CellRect& a, const CellRect& b) {
  return CellRect{std::min(a.top, b.top), std::min(a.left, b.left), std::max(a.bottom, b.bottom),
                  std::max(a.right, b.right)};
}

}  // namespace nml::host
