#include "host/cell_rect.h"

#include <gtest/gtest.h>

namespace nml::host {
namespace {

TEST(CellRect, GridPredicates) {
  const CellRect grid{1, 1, kMaxRows, kMaxColumns};
  EXPECT_EQ(CellCount(grid), 17179869184LL);
  EXPECT_TRUE(IsWholeGrid(grid));
  EXPECT_TRUE(InsideGrid(grid));
  EXPECT_FALSE(InsideGrid(CellRect{0, 1, 1, 1}));
  EXPECT_FALSE(InsideGrid(CellRect{2, 1, 1, 1}));
  EXPECT_FALSE(InsideGrid(CellRect{1, 1, 1, kMaxColumns + 1}));
  EXPECT_TRUE(SpansAllRows(CellRect{1, 3, kMaxRows, 3}));
  EXPECT_FALSE(IsWholeGrid(CellRect{1, 3, kMaxRows, 3}));
  EXPECT_TRUE(SpansAllColumns(CellRect{4, 1, 4, kMaxColumns}));
}

TEST(CellRect, OverlapAndBoundingBox) {
  const CellRect a{1, 1, 5, 5};
  EXPECT_TRUE(Overlaps(a, CellRect{5, 5, 9, 9}));
  EXPECT_FALSE(Overlaps(a, CellRect{6, 1, 9, 9}));
  EXPECT_FALSE(Overlaps(a, CellRect{1, 6, 1, 6}));
  EXPECT_EQ(BoundingRect(a, CellRect{7, 2, 8, 9}), (CellRect{1, 1, 8, 9}));
  EXPECT_TRUE(a.Contains(5, 1));
  EXPECT_FALSE(a.Contains(6, 1));
}

}  // namespace
}  // namespace nml::host
