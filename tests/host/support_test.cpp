// The support library's range checks, chart maker and cell styles.
#include <gtest/gtest.h>

#include "support/support_errors.h"
#include "support/cell_writer.h"
#include "support/chart_maker.h"
#include "support/range_checker.h"
#include "host_fixture.h"
#include "support/error_catch.h"

namespace nml::support {
namespace {

using test::ErrorOf;

/// Data!A1:C21: a name row over 20 rows of numbers.
class SupportTest : public host::testing::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    data->GetRange("A1:C1")->SetValue(Variant("name"));
    data->GetRange("A2:C21")->SetValue(Variant(1.5));
  }
  Error CheckX(const char* address, VBool headers) {
    return ErrorOf([&] {
      std::int32_t a = 5, b = 5, c = 5;
      TheRangeChecker().CheckXArea(*data->GetRange(address), headers, a, b, c);
    });
  }
  Error Prepare(std::int32_t row, std::int32_t col, std::int32_t cols, std::int32_t rows, VBool over) {
    return ErrorOf([&] {
      auto anchor = data->Cells(row, col);
      TheRangeChecker().PrepareOutput(anchor, cols, rows, over);
    });
  }
};

TEST_F(SupportTest, RangeCheckerAcceptsNumericAreasAndNamesTheFirstOffendingCell) {
  EXPECT_EQ(CheckX("A1:C21", kVTrue).Number(), 0);
  EXPECT_EQ(CheckX("A2:C21", kVFalse).Number(), 0);
  EXPECT_EQ(CheckX("A1:C1", kVTrue).Number(), 0);  // no data rows: nothing to object to
  const auto header = CheckX("A1:C21", kVFalse);
  EXPECT_EQ(header.Number(), ComponentError(kNonNumericXCell));
  EXPECT_EQ(header.Description(), "Data!$A$1 holds text, not a number");
  data->Cells(7, 2)->SetValue(Variant());
  data->Cells(9, 1)->SetValue(Variant("n/a"));
  data->Cells(7, 3)->SetValue(Variant::Boolean(true));
  EXPECT_EQ(CheckX("A1:C21", kVTrue).Description(), "Data!$B$7 is empty");  // row by row
  EXPECT_EQ(CheckX("C1:C21", kVTrue).Description(), "Data!$C$7 holds a logical value, not a number");
  EXPECT_EQ(CheckX("A8:A21", kVFalse).Description(), "Data!$A$9 holds text, not a number");
  data->SetName("My data");
  const auto y = ErrorOf([&] {
    std::int32_t a = 0, b = 0, c = 0, d = 0;
    TheRangeChecker().CheckYArea(*data->GetRange("A10:A30"), kVFalse, a, b, c, d);
  });
  EXPECT_EQ(y.Number(), ComponentError(kNonNumericYCell));
  EXPECT_EQ(y.Description(), "'My data'!$A$22 is empty");
}

TEST_F(SupportTest, PrepareOutputChecksGridAndExistingData) {
  EXPECT_EQ(Prepare(30, 1, 5, 10, kVFalse).Number(), 0);
  EXPECT_EQ(Prepare(host::kMaxRows - 5, 1, 3, 7, kVTrue).Number(), ComponentError(kOutputPastGrid));
  EXPECT_EQ(Prepare(host::kMaxRows - 5, 1, 3, 6, kVTrue).Number(), 0);  // ends on the last row
  EXPECT_EQ(Prepare(1, host::kMaxColumns, 2, 1, kVTrue).Number(), ComponentError(kOutputPastGrid));
  const auto full = Prepare(20, 2, 4, 4, kVFalse);
  EXPECT_EQ(full.Number(), ComponentError(kOutputNotEmpty));
  EXPECT_EQ(full.Description(), "Data!$B$20 already holds data where the report would go");
  EXPECT_EQ(Prepare(20, 2, 4, 4, kVTrue).Number(), 0);
  data->GetRange("E1:F5")->SetBold(true);  // formats alone do not count as data
  EXPECT_EQ(Prepare(1, 5, 2, 5, kVFalse).Number(), 0);
  host::RangeRef none;
  EXPECT_NML_ERROR(TheRangeChecker().PrepareOutput(none, 2, 5, kVFalse), 91);
}

// Sizes, titles and series as the plots use them are pinned by the plots
// tests; here a chart hangs from the top-left cell of an anchor range, and
// incomplete or bad charts raise and add nothing.
TEST_F(SupportTest, ChartMakerHangsTheChartFromTheAnchorCellOrRaisesForIncompleteOrBadCharts) {
  auto other = book->AppendSheet("Charts");
  ChartMaker maker;
  maker.Anchor = other->GetRange("F2:H9");
  maker.FirstSeries = data->GetRange("A2:A21");
  maker.SecondSeries = data->GetRange("B2:B21");
  maker.Build();
  ASSERT_EQ(other->Charts().size(), 1u);
  EXPECT_EQ(other->Charts().front().anchor->Address(), "$F$2");

  maker = ChartMaker{};
  maker.FirstSeries = data->GetRange("A1:A5");
  maker.SecondSeries = data->GetRange("B1:B5");
  EXPECT_NML_ERROR(maker.Build(), ComponentError(kChartIncomplete));  // no anchor
  maker.Anchor = data->GetRange("F2");
  maker.SecondSeries.reset();
  EXPECT_NML_ERROR(maker.Build(), ComponentError(kChartIncomplete));
  maker.SecondSeries = data->GetRange("B1:C5");  // two columns
  EXPECT_NML_ERROR(maker.Build(), ComponentError(kBadArgument));
  maker.SecondSeries = data->GetRange("B1:B5");
  maker.Width = 0;
  EXPECT_NML_ERROR(maker.Build(), ComponentError(kBadArgument));
  EXPECT_TRUE(data->Charts().empty());
}

TEST_F(SupportTest, CellWriterStylesHeaderStripsAndDataBlocks) {
  CellWriter w;
  w.StyleHeaderStrip(*data->GetRange("E4:H4"), kVFalse);
  w.StyleHeaderStrip(*data->GetRange("E4:E8"), kVTrue);  // a column of row labels
  host::CellFormat heading{.bold = true, .border = true, .fillColorIndex = 15, .horizontalAlignment = host::kAlignCenter};
  EXPECT_EQ(data->FormatAt(4, 7), heading);
  heading.horizontalAlignment = host::kAlignLeft;
  EXPECT_EQ(data->FormatAt(6, 5), heading);
  w.StyleDataBlock(*data->GetRange("E12:I14"), kVTrue);  // the first column holds labels
  EXPECT_EQ(data->FormatAt(12, 5).numberFormat, "General");
  EXPECT_EQ(data->FormatAt(14, 6).numberFormat, "0.0000");
  EXPECT_EQ(data->FormatAt(14, 9).numberFormat, "0.0000");
  EXPECT_EQ(data->FormatAt(15, 6).numberFormat, "General");
}

}  // namespace
}  // namespace nml::support
