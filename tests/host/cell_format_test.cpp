#include "host/cell_format.h"

#include <gtest/gtest.h>

namespace nml::host {
namespace {

TEST(CellFormat, DefaultPaletteColours) {
  EXPECT_EQ(PaletteColor(1), 0x000000u);
  EXPECT_EQ(PaletteColor(3), 0xFF0000u);
  EXPECT_EQ(PaletteColor(6), 0xFFFF00u);
  EXPECT_EQ(PaletteColor(15), 0xC0C0C0u);
  EXPECT_EQ(PaletteColor(56), 0x333333u);
  EXPECT_EQ(PaletteColor(kColorIndexNone), 0xFFFFFFu);
  EXPECT_EQ(PaletteColor(57), 0xFFFFFFu);
  EXPECT_EQ(PaletteColor(0), 0xFFFFFFu);
}

TEST(CellFormat, DefaultIsPlainGeneral) {
  const CellFormat f;
  EXPECT_FALSE(f.bold);
  EXPECT_EQ(f.fillColorIndex, kColorIndexNone);
  EXPECT_EQ(f.numberFormat, "General");
  EXPECT_EQ(f.horizontalAlignment, kAlignGeneral);
}

}  // namespace
}  // namespace nml::host
