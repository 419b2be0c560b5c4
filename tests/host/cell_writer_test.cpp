#include "host/cell_writer.h"

#include <gtest/gtest.h>

#include "host_fixture.h"

namespace nml::support {
namespace {

class CellWriterTest : public host::testing::HostTest {};

TEST_F(CellWriterTest, TitlesAreBoldAndLeftAligned) {
  CellWriter w;
  w.StyleTitle(*data->GetRange("A1:A2"), kVTrue);
  w.StyleTitle(*data->GetRange("A5"), kVFalse);
  for (std::int32_t row : {1, 2, 5}) {
    EXPECT_TRUE(data->FormatAt(row, 1).bold);
    EXPECT_EQ(data->FormatAt(row, 1).horizontalAlignment, host::kAlignLeft);
  }
  EXPECT_FALSE(data->FormatAt(3, 1).bold);
}

TEST_F(CellWriterTest, HeaderStripsAreBoldFilledAndBordered) {
  CellWriter w;
  w.StyleHeaderStrip(*data->GetRange("A4:D4"), kVFalse);
  w.StyleHeaderStrip(*data->GetRange("A4:A8"), kVTrue);
  const host::CellFormat heading = data->FormatAt(4, 3);
  EXPECT_TRUE(heading.bold);
  EXPECT_TRUE(heading.border);
  EXPECT_EQ(heading.fillColorIndex, 15);
  EXPECT_EQ(heading.horizontalAlignment, host::kAlignCenter);
  EXPECT_EQ(data->FormatAt(6, 1).horizontalAlignment, host::kAlignLeft);
  EXPECT_EQ(data->FormatAt(4, 1).horizontalAlignment, host::kAlignLeft);
}

TEST_F(CellWriterTest, DataBlocksShowFourDecimalsExceptALabelColumn) {
  CellWriter w;
  w.StyleDataBlock(*data->GetRange("B5:D8"), kVFalse);
  EXPECT_EQ(data->FormatAt(5, 2).numberFormat, "0.0000");
  EXPECT_EQ(data->FormatAt(8, 4).numberFormat, "0.0000");
  EXPECT_EQ(data->FormatAt(9, 2).numberFormat, "General");
  w.StyleDataBlock(*data->GetRange("A12:E14"), kVTrue);
  EXPECT_EQ(data->FormatAt(12, 1).numberFormat, "General");
  EXPECT_EQ(data->FormatAt(14, 2).numberFormat, "0.0000");
  EXPECT_EQ(data->FormatAt(14, 5).numberFormat, "0.0000");
}

TEST_F(CellWriterTest, StylesKeepTheScratchSheetBackground) {
  auto scratch = app->Workbooks()->Item("nml2007.xlam")->Worksheets()->Item("Results");
  scratch->Cells()->SetInteriorColorIndex(2);
  CellWriter().StyleTitle(*scratch->GetRange("A1"), kVTrue);
  EXPECT_EQ(scratch->FormatAt(1, 1).fillColorIndex, 2);
  EXPECT_TRUE(scratch->FormatAt(1, 1).bold);
}

}  // namespace
}  // namespace nml::support
