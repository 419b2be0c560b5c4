#include "host/chart_maker.h"

#include <gtest/gtest.h>

#include "common/support_errors.h"
#include "host_fixture.h"

namespace nml::support {
namespace {

using host::testing::Catch;

class ChartMakerTest : public host::testing::HostTest {};

TEST_F(ChartMakerTest, DefaultSizeIsReadBackAfterBuild) {
  ChartMaker maker;
  maker.Anchor = data->GetRange("F2");
  maker.FirstSeries = data->GetRange("A2:A21");
  maker.SecondSeries = data->GetRange("B2:B21");
  maker.Left = 15;
  maker.Top = 30;
  maker.Title = "Scatter Plot";
  maker.FirstAxisTitle = "Set 1 CV 1";
  maker.SecondAxisTitle = "Set 2 CV 1";
  maker.Build();
  EXPECT_EQ(maker.Width, 200);
  EXPECT_EQ(maker.Height, 150);
  ASSERT_EQ(data->Charts().size(), 1u);
  const host::ChartObject& c = data->Charts().front();
  EXPECT_EQ(c.anchor->Address(), "$F$2");
  EXPECT_EQ(c.left, 15);
  EXPECT_EQ(c.top, 30);
  EXPECT_EQ(c.width, 200);
  EXPECT_EQ(c.height, 150);
  EXPECT_EQ(c.title, "Scatter Plot");
  EXPECT_EQ(c.firstAxisTitle, "Set 1 CV 1");
  EXPECT_EQ(c.secondAxisTitle, "Set 2 CV 1");
  EXPECT_EQ(c.firstSeries->Address(), "$A$2:$A$21");
  EXPECT_EQ(c.secondSeries->Address(), "$B$2:$B$21");
}

TEST_F(ChartMakerTest, KeepsAGivenSizeAndPlacesOnTheAnchorSheet) {
  auto other = book->AppendSheet("Charts");
  ChartMaker maker;
  maker.Anchor = other->GetRange("B2:D9");  // the chart hangs from the top-left cell
  maker.FirstSeries = data->GetRange("A1:A5");
  maker.SecondSeries = data->GetRange("C1:C5");
  maker.Width = 170;
  maker.Height = 130;
  maker.Build();
  EXPECT_EQ(maker.Width, 170);
  EXPECT_TRUE(data->Charts().empty());
  ASSERT_EQ(other->Charts().size(), 1u);
  EXPECT_EQ(other->Charts().front().anchor->Address(), "$B$2");
  EXPECT_EQ(other->Charts().front().height, 130);
}

TEST_F(ChartMakerTest, IncompleteOrBadChartsRaise) {
  ChartMaker maker;
  maker.FirstSeries = data->GetRange("A1:A5");
  maker.SecondSeries = data->GetRange("B1:B5");
  EXPECT_EQ(Catch([&] { maker.Build(); }).number, ComponentError(kChartIncomplete));
  maker.Anchor = data->GetRange("F2");
  maker.SecondSeries.reset();
  EXPECT_EQ(Catch([&] { maker.Build(); }).number, ComponentError(kChartIncomplete));
  maker.SecondSeries = data->GetRange("B1:C5");
  EXPECT_EQ(Catch([&] { maker.Build(); }).number, ComponentError(kBadArgument));
  maker.SecondSeries = data->GetRange("B1:B5");
  maker.Width = 0;
  EXPECT_EQ(Catch([&] { maker.Build(); }).number, ComponentError(kBadArgument));
  EXPECT_TRUE(data->Charts().empty());
}

}  // namespace
}  // namespace nml::support
