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

class Plots : public ::testing::Test {
 protected:
  void SetUp() override {
    support::TheHostLink().Attach(app);
    for (std::int32_t r = 1; r <= 10; ++r)
      for (std::int32_t c = 1; c <= 4; ++c) data->Cells(r, c)->SetValue(Variant(r * 1.5 + c * c));
  }
  void TearDown() override { support::TheHostLink().Detach(); }

  // Each chart of the output sheet as "left top width height|title|first axis
  // title|second axis title|first series|second series"; all hang from I3.
  std::vector<std::string> Charts() const {
    std::vector<std::string> shown;
    for (const auto& c : out->Charts()) {
      EXPECT_EQ(c.anchor->Worksheet(), out);
      EXPECT_EQ(c.anchor->Address(), "$I$3");
      shown.push_back(std::to_string(c.left) + " " + std::to_string(c.top) + " " + std::to_string(c.width) + " " +
                      std::to_string(c.height) + "|" + c.title + "|" + c.firstAxisTitle + "|" + c.secondAxisTitle +
                      "|" + c.firstSeries->Address() + "|" + c.secondSeries->Address());
    }
    return shown;
  }

  host::ApplicationRef app = host::Application::Create();
  host::WorkbookRef book = app->Workbooks()->Add("Book1");
  host::WorksheetRef data = book->Worksheets()->Item(1), out = book->Worksheets()->Add();
  // A report pasted at B3 that is 6 columns wide: charts anchor at row 3, column B + 6 + 2 - 1 = I.
  ChartPlacement at{out->Cells(3, 2), out->GetRange("A1:F30")};
};

// The triangle of pairs: one wide chart for two variables, none for one; the
// first column and the last row of the triangle carry the axis titles.
TEST_F(Plots, ScatterTriangles) {
  for (const auto& [range, charts] : std::vector<std::pair<const char*, std::vector<std::string>>>{
      {"A1:A10", {}}, {"A2:B10", {"0 0 170 150|Scatter Plot|v1|v2|$A$2:$A$10|$B$2:$B$10"}},
      {"A2:C10",
       {"0 0 150 150|Scatter Plot||v2|$A$2:$A$10|$B$2:$B$10", "150 0 150 150||v1|v3|$A$2:$A$10|$C$2:$C$10",
        "150 150 150 130||v2||$B$2:$B$10|$C$2:$C$10"}},
      {"A1:D10",
       {"0 0 150 150|Scatter Plot||v2|$A$1:$A$10|$B$1:$B$10", "150 0 130 150|||v3|$A$1:$A$10|$C$1:$C$10",
        "280 0 150 150||v1|v4|$A$1:$A$10|$D$1:$D$10", "150 150 130 130||||$B$1:$B$10|$C$1:$C$10",
        "280 150 150 130||v2||$B$1:$B$10|$D$1:$D$10", "280 280 150 130||v3||$C$1:$C$10|$D$1:$D$10"}}}) {
    out->Charts().clear();
    const auto columns = data->GetRange(range);
    auto names = Array<std::string>::Vector(columns->ColumnCount());
    for (std::int32_t i = 1; i <= names.UBound(); ++i) names(i) = std::string("v").append(std::to_string(i));
    DoScatterPlot(at, columns, names);
    EXPECT_EQ(Charts(), charts) << range;
  }
}

// Rows of canonical charts stack across calls, each as wide as the narrower set.
TEST_F(Plots, CanonicalRowsStackAcrossCalls) {
  std::int32_t top = 0;
  // Default builder size 200 x 150: charts 220 apart, rows 165 apart.
  DoCanonicalPlot(at, top, data->GetRange("A1:B10"), data->GetRange("C1:D10"), kVTrue);
  EXPECT_EQ(top, 165);
  DoCanonicalPlot(at, top, data->GetRange("A1:B10"), data->GetRange("C1:D10"), kVFalse);
  EXPECT_EQ(top, 330);
  DoCanonicalPlot(at, top, data->GetRange("A1:C10"), data->GetRange("D1:D10"), kVTrue);
  EXPECT_EQ(top, 495);
  EXPECT_EQ(Charts(), (std::vector<std::string>{
                          "0 0 200 150|Raw Canonical Variates|Set 1 CV 1|Set 2 CV 1|$A$1:$A$10|$C$1:$C$10",
                          "220 0 200 150|Raw Canonical Variates|Set 1 CV 2|Set 2 CV 2|$B$1:$B$10|$D$1:$D$10",
                          "0 165 200 150|Std Canonical Variates|Set 1 CV 1|Set 2 CV 1|$A$1:$A$10|$C$1:$C$10",
                          "220 165 200 150|Std Canonical Variates|Set 1 CV 2|Set 2 CV 2|$B$1:$B$10|$D$1:$D$10",
                          "0 330 200 150|Raw Canonical Variates|Set 1 CV 1|Set 2 CV 1|$A$1:$A$10|$D$1:$D$10",
                      }));
}

TEST_F(Plots, FailedBuildLeavesTheTopUnchanged) {
  std::int32_t top = 10;
  ChartPlacement broken = at;
  // The anchor column lies past the grid: the first chart cannot be placed.
  broken.cachedReport = out->GetRange("A1:XFD1");
  const Error e = test::ErrorOf(
      [&] { DoCanonicalPlot(broken, top, data->GetRange("A1:B10"), data->GetRange("C1:D10"), kVTrue); });
  EXPECT_EQ(e.Number(), 1004);
  EXPECT_EQ(top, 10);
  EXPECT_NE(e.Source().find(" in NMLCorrelation.clsCorrelation.DoCanonicalPlot"), std::string::npos) << e.Source();
}

}  // namespace
}  // namespace nml::charts
