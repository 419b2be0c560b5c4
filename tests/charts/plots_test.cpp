// Placement, sizes and titles of the scatter-plot triangle and the canonical
// variate plots, checked against the grids worked out by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "charts/plots.h"
#include "host/application.h"
#include "support/host_link.h"
#include "host/workbook.h"
#include "host/worksheet.h"
#include "support/error_catch.h"

namespace nml::charts {
namespace {

struct Expected {
  std::int32_t left, top, width, height;
  std::string title, first, second;
  std::string firstSeries, secondSeries;  // addresses
};

class Plots : public ::testing::Test {
 protected:
  void SetUp() override {
    app = host::Application::Create();
    support::TheHostLink().Attach(app);
    auto book = app->Workbooks()->Add("Book1");
    data = book->Worksheets()->Item(1);
    out = book->Worksheets()->Add();
    for (std::int32_t r = 1; r <= 10; ++r)
      for (std::int32_t c = 1; c <= 4; ++c) data->Cells(r, c)->SetValue(Variant(r * 1.5 + c * c));
    // A report pasted at B3 that is 6 columns wide: charts anchor at row 3, column B + 6 + 2 - 1 = I.
    at.outputCells = out->Cells(3, 2);
    at.cachedReport = out->GetRange("A1:F30");
  }
  void TearDown() override { support::TheHostLink().Detach(); }

  void Check(const std::vector<Expected>& expected) {
    const auto& charts = out->Charts();
    ASSERT_EQ(charts.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const auto& c = charts[i];
      const auto& e = expected[i];
      SCOPED_TRACE(std::string("chart ").append(std::to_string(i + 1)));
      EXPECT_EQ(c.anchor->Address(), "$I$3");
      EXPECT_EQ(c.anchor->Worksheet(), out);
      EXPECT_EQ(c.left, e.left);
      EXPECT_EQ(c.top, e.top);
      EXPECT_EQ(c.width, e.width);
      EXPECT_EQ(c.height, e.height);
      EXPECT_EQ(c.title, e.title);
      EXPECT_EQ(c.firstAxisTitle, e.first);
      EXPECT_EQ(c.secondAxisTitle, e.second);
      EXPECT_EQ(c.firstSeries->Address(), e.firstSeries);
      EXPECT_EQ(c.secondSeries->Address(), e.secondSeries);
    }
  }

  static Array<std::string> Names(std::int32_t k) {
    auto names = Array<std::string>::Vector(k);
    for (std::int32_t i = 1; i <= k; ++i) names(i) = std::string("v").append(std::to_string(i));
    return names;
  }

  host::ApplicationRef app;
  host::WorksheetRef data, out;
  ChartPlacement at;
};

// The triangle of pairs: one wide chart for two variables, none for one; the
// first column and the last row of the triangle carry the axis titles.
TEST_F(Plots, ScatterTriangles) {
  struct Case {
    const char* range;
    std::int32_t names;
    std::vector<Expected> charts;
  };
  const Case cases[] = {
      {"A1:A10", 1, {}},
      {"A2:B10", 2, {{0, 0, 170, 150, "Scatter Plot", "v1", "v2", "$A$2:$A$10", "$B$2:$B$10"}}},
      {"A2:C10", 3,
       {{0, 0, 150, 150, "Scatter Plot", "", "v2", "$A$2:$A$10", "$B$2:$B$10"},
        {150, 0, 150, 150, "", "v1", "v3", "$A$2:$A$10", "$C$2:$C$10"},
        {150, 150, 150, 130, "", "v2", "", "$B$2:$B$10", "$C$2:$C$10"}}},
      {"A1:D10", 4,
       {{0, 0, 150, 150, "Scatter Plot", "", "v2", "$A$1:$A$10", "$B$1:$B$10"},
        {150, 0, 130, 150, "", "", "v3", "$A$1:$A$10", "$C$1:$C$10"},
        {280, 0, 150, 150, "", "v1", "v4", "$A$1:$A$10", "$D$1:$D$10"},
        {150, 150, 130, 130, "", "", "", "$B$1:$B$10", "$C$1:$C$10"},
        {280, 150, 150, 130, "", "v2", "", "$B$1:$B$10", "$D$1:$D$10"},
        {280, 280, 150, 130, "", "v3", "", "$C$1:$C$10", "$D$1:$D$10"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.range);
    out->Charts().clear();
    DoScatterPlot(at, data->GetRange(c.range), Names(c.names));
    Check(c.charts);
  }
}

TEST_F(Plots, CanonicalRowsStackAcrossCalls) {
  std::int32_t top = 0;
  // Default builder size 200 x 150: charts 220 apart, rows 165 apart.
  DoCanonicalPlot(at, top, data->GetRange("A1:B10"), data->GetRange("C1:D10"), kVTrue);
  EXPECT_EQ(top, 165);
  DoCanonicalPlot(at, top, data->GetRange("A1:B10"), data->GetRange("C1:D10"), kVFalse);
  EXPECT_EQ(top, 330);
  Check({
      {0, 0, 200, 150, "Raw Canonical Variates", "Set 1 CV 1", "Set 2 CV 1", "$A$1:$A$10", "$C$1:$C$10"},
      {220, 0, 200, 150, "Raw Canonical Variates", "Set 1 CV 2", "Set 2 CV 2", "$B$1:$B$10", "$D$1:$D$10"},
      {0, 165, 200, 150, "Std Canonical Variates", "Set 1 CV 1", "Set 2 CV 1", "$A$1:$A$10", "$C$1:$C$10"},
      {220, 165, 200, 150, "Std Canonical Variates", "Set 1 CV 2", "Set 2 CV 2", "$B$1:$B$10", "$D$1:$D$10"},
  });
}

TEST_F(Plots, CanonicalPlotUsesTheNarrowerSet) {
  std::int32_t top = 40;
  DoCanonicalPlot(at, top, data->GetRange("A1:C10"), data->GetRange("D1:D10"), kVTrue);
  ASSERT_EQ(out->Charts().size(), 1u);
  EXPECT_EQ(out->Charts()[0].top, 40);
  EXPECT_EQ(top, 205);
}

TEST_F(Plots, FailedBuildLeavesTheTopUnchanged) {
  std::int32_t top = 10;
  ChartPlacement broken = at;
  // The anchor column lies past the grid: the first chart cannot be placed.
  broken.cachedReport = out->GetRange("A1:XFD1");
  std::string source;
  EXPECT_NE(test::ErrorNumberOf(
                [&] { DoCanonicalPlot(broken, top, data->GetRange("A1:B10"), data->GetRange("C1:D10"), kVTrue); },
                &source),
            0);
  EXPECT_EQ(top, 10);
  EXPECT_NE(source.find(" in NMLCorrelation.clsCorrelation.DoCanonicalPlot"), std::string::npos) << source;
}

}  // namespace
}  // namespace nml::charts
