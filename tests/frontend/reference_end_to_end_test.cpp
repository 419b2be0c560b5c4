// Each method run end to end through Results on the worksheet host, ranges
// given as sheet-qualified (and multi-area) text, and one block of the pasted
// report read back against the values of an independent statistics system
// (the engine's tests check every case, the layout tests every cell).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fixture.h"
#include "frontend/correlation_state.h"
#include "host/files/csv_reader.h"
#include "support/test_data.h"
#include "support/tolerance.h"

namespace nml::testing {
namespace {

using test::json;

class ReferenceEndToEnd : public HostFixture {
 protected:
  // The row of the first cell in column A at or after `from` holding `title`.
  std::int32_t FindTitle(const std::string& title, std::int32_t from = 1) {
    for (std::int32_t r = from; r <= from + 5000; ++r)
      if (out->Cells(r, 1)->Value() == Variant(title)) return r;
    ADD_FAILURE() << "title not found: " << title;
    return 1;
  }
  // A block of statistics (or probabilities) whose first value is at (r, c).
  void ExpectBlock(std::int32_t r, std::int32_t c, const json& want, bool probability) {
    const bool nested = want.at(0).is_array();
    for (std::size_t i = 0; i < want.size(); ++i)
      for (std::size_t j = 0; j < (nested ? want[0].size() : 1); ++j) {
        const json& w = nested ? want[i][j] : want[i];
        const Variant got = out->Cells(r + static_cast<std::int32_t>(i), c + static_cast<std::int32_t>(j))->Value();
        if (w.is_string()) {
          EXPECT_EQ(got, Variant(w.get<std::string>())) << i << ", " << j;
        } else {
          const double g = got.IsNumber() ? got.ToDouble() : NAN, v = w.get<double>();
          EXPECT_TRUE(probability ? test::CloseProb(g, v) : test::CloseRel(g, v, 1e-9)) << i << ", " << j;
        }
      }
  }

  host::WorksheetRef out;
};

TEST_F(ReferenceEndToEnd, OneBlockOfEachMethodMatches) {
  // savings.csv: country, sr, pop15, pop75, dpi, ddpi in columns A to F. Each
  // row is the first case of its method in savings.json; a block's values
  // start two rows below its title. Simple correlation plots each pair,
  // canonical each variate of each section, the others nothing.
  const struct {
    const char *method, *x, *y, *title, *key;
    std::int32_t col;
    std::size_t charts;
  } runs[] = {
      {"simple", "savings!B1:F51", "", "t Statistic", "T", 2, 10},
      {"multiple", "savings!C1:F51", "savings!B1:B51", "F Statistic", "F", 2, 0},
      {"partial", "savings!C1:D51", "savings!B1:B51,savings!E1:F51", "Correlation Significance (P)", "P", 2, 0},
      {"canonical", "savings!C1:D51", "savings!B1:B51,savings!E1:F51", "Canonical Correlations", "p", 6, 4},
  };
  host::files::ReadCsv(*app, test::DataPath("savings.csv"));
  for (std::int32_t k = 0; k < 4; ++k) {
    SCOPED_TRACE(runs[k].method);
    clsCorrelation corr;
    corr.Method(k);
    corr.Headers(true);
    corr.Descriptives(true);
    corr.Raw(true);
    corr.Standardised(true);
    corr.Plots(true);
    corr.XRange(runs[k].x);
    if (*runs[k].y) corr.YRange(runs[k].y);
    corr.Results();
    out = detail::StateOf(corr).OutputCells->Worksheet();
    EXPECT_EQ(out->Charts().size(), runs[k].charts);
    const json want = test::FindCase("savings", runs[k].method)[runs[k].key];
    ExpectBlock(FindTitle(runs[k].title) + 2, runs[k].col, want, *runs[k].key == 'P' || *runs[k].key == 'p');
  }
  // The canonical report (the last) shows the descriptives and both sections asked for.
  ExpectBlock(FindTitle("Descriptive Statistics") + 2, 2, test::FindCase("savings", "canonical")["mean"], false);
  FindTitle("Standardised Results", FindTitle("Raw Results"));
}

}  // namespace
}  // namespace nml::testing
