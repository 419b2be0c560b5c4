// Charts drawn by Results beside the pasted report.
#include <gtest/gtest.h>

#include "fixture.h"
#include "frontend/correlation_state.h"

namespace nml::testing {
namespace {

class ChartsDelivery : public HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    Fill(1, 12, 1, 5, Noise);
    for (std::int32_t c = 1; c <= 5; ++c) Put(1, c, Variant(std::string("v").append(std::to_string(c))));
  }
  clsCorrelation corr;
};

TEST_F(ChartsDelivery, ScatterPlotsLeaveOutTheNameRow) {
  corr.XRange("Data!A1:C12");
  corr.Headers(true);
  corr.Plots(true);
  corr.Results();
  const auto out = detail::StateOf(corr).OutputCells->Worksheet();
  // Three names: charts (1,2), (1,3), (2,3) on the data without the name row;
  // the report is 4 columns wide, so they anchor in column F of the output.
  std::vector<std::string> series;
  for (const auto& c : out->Charts()) series.push_back(c.firstSeries->Address() + " " + c.secondSeries->Address());
  EXPECT_EQ(series, (std::vector<std::string>{"$A$2:$A$12 $B$2:$B$12", "$A$2:$A$12 $C$2:$C$12", "$B$2:$B$12 $C$2:$C$12"}));
  EXPECT_EQ(out->Charts()[0].anchor->Address(), "$F$1");
  EXPECT_EQ(out->Charts()[0].secondAxisTitle, "v2");
  EXPECT_EQ(out->Charts()[1].firstAxisTitle, "v1");
}

TEST_F(ChartsDelivery, CanonicalRowsUseTheScoreBlockHalvesAndStackAcrossRuns) {
  corr.Method(nmlCorrCanonical);
  corr.XRange("Data!A1:B12");
  corr.YRange("Data!C1:E12");
  corr.Headers(true);
  corr.Raw(true);
  corr.Standardised(true);
  corr.Plots(true);
  corr.Results();
  auto out = detail::StateOf(corr).OutputCells->Worksheet();
  ASSERT_EQ(out->Charts().size(), 4u);
  // The raw score block: set-1 variates in its left half, set-2 in its right.
  const auto& raw = detail::StateOf(corr).RawScoreCoords.Variants();
  const std::int32_t r1 = raw(1, 1).AsLong(), c1 = raw(1, 2).AsLong(), r2 = raw(2, 1).AsLong();
  ASSERT_EQ(raw(2, 2).AsLong() - c1 + 1, 4);
  auto column = [&](std::int32_t c) { return out->GetRange(*out->Cells(r1, c), *out->Cells(r2, c))->Address(); };
  EXPECT_EQ(out->Charts()[0].firstSeries->Address(), column(c1));
  EXPECT_EQ(out->Charts()[0].secondSeries->Address(), column(c1 + 2));
  EXPECT_EQ(out->Charts()[1].secondSeries->Address(), column(c1 + 3));
  EXPECT_EQ(out->Charts()[0].title, "Raw Canonical Variates");
  EXPECT_EQ(out->Charts()[2].title, "Std Canonical Variates");
  EXPECT_EQ(out->Charts()[2].top, 165);
  EXPECT_EQ(detail::StateOf(corr).CanonicalPlotTop, 330);

  // A second run on a new sheet places its row further down; with neither
  // flag it shows, and plots, the standardised results only.
  corr.Raw(false);
  corr.Standardised(false);
  book->Worksheets()->Add()->SetName("Second");
  corr.OutputRange("Second!A1");
  corr.Results();
  auto second = book->Worksheets()->Item("Second");
  ASSERT_EQ(second->Charts().size(), 2u);
  EXPECT_EQ(second->Charts()[0].title, "Std Canonical Variates");
  EXPECT_EQ(second->Charts()[1].top, 330);
  EXPECT_EQ(detail::StateOf(corr).CanonicalPlotTop, 495);
}

}  // namespace
}  // namespace nml::testing
