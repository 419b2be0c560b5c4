// One case of each method run end to end through Results on the worksheet
// host and read back from the pasted report, against the values of an
// independent statistics system (the engine's tests check every case, the
// layout tests every cell).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fixture.h"
#include "frontend/correlation_state.h"
#include "host/files/csv_reader.h"
#include "host/reference_parser.h"
#include "support/test_data.h"
#include "support/tolerance.h"

namespace nml::testing {
namespace {

using test::json;

class ReferenceEndToEnd : public HostFixture {
 protected:
  // "savings!C1:D51,savings!F1:F51" for the named columns, neighbours joined.
  std::string RangeOf(const json& wanted) {
    std::vector<std::int32_t> cols;
    for (const auto& w : wanted) {
      std::int32_t c = 1;
      while (c < 10 && sheet->Cells(1, c)->Value() != Variant(w.get<std::string>())) ++c;
      cols.push_back(c);
    }
    std::string text;
    for (std::size_t i = 0, j; i < cols.size(); i = j + 1) {
      for (j = i; j + 1 < cols.size() && cols[j + 1] == cols[j] + 1;) ++j;
      text += (text.empty() ? "" : ",") + sheet->Name() + "!" + host::ColumnLetters(cols[i]) + "1:" +
              host::ColumnLetters(cols[j]) + "51";
    }
    return text;
  }
  // The row of the first cell in column A at or after `from` holding `title`.
  std::int32_t FindTitle(const std::string& title, std::int32_t from = 1) {
    for (std::int32_t r = from; r <= from + 5000; ++r)
      if (out->Cells(r, 1)->Value() == Variant(title)) return r;
    ADD_FAILURE() << "title not found: " << title;
    return 1;
  }
  // A block of statistics (or probabilities) whose first value is at (r, c).
  void ExpectBlock(std::int32_t r, std::int32_t c, const json& want, bool probability = false) {
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

  host::WorksheetRef sheet, out;
};

TEST_F(ReferenceEndToEnd, OneCaseOfEachMethodMatches) {
  sheet = host::files::ReadCsv(*app, test::DataPath("savings.csv"))->Worksheets()->Item(1);
  const std::vector<std::string> methods = {"simple", "multiple", "partial", "canonical"};
  for (std::int32_t k = 0; k < 4; ++k) {
    const std::string& m = methods[k];
    SCOPED_TRACE(m);
    const json c = test::FindCase("savings", m);
    clsCorrelation corr;
    corr.Method(k);
    corr.Headers(true);
    corr.Descriptives(true);
    corr.Raw(true);
    corr.Standardised(true);
    corr.XRange(RangeOf(c["x"]));
    if (!c["y"].empty()) corr.YRange(RangeOf(c["y"]));
    corr.Results();
    out = detail::StateOf(corr).OutputCells->Worksheet();

    if (m == "simple" || m == "canonical") {
      const std::int32_t d = FindTitle("Descriptive Statistics");
      ExpectBlock(d + 2, 2, c["mean"]);
      ExpectBlock(d + 2, 3, c["sd"]);
    }
    if (m == "simple" || m == "partial") {
      const std::int32_t r = FindTitle(m == "simple" ? "Correlation Matrix (R)" : "Partial Correlation Matrix (R)");
      ExpectBlock(r + 2, 2, c["R"]);
      ExpectBlock(FindTitle("t Statistic", r) + 2, 2, c["T"]);
      ExpectBlock(FindTitle("Correlation Significance (P)", r) + 2, 2, c["P"], true);
    } else if (m == "multiple") {
      const std::int32_t r = FindTitle("Correlation Matrix");
      ExpectBlock(r + 2, 2, c["R"]);
      ExpectBlock(FindTitle("F Statistic", r) + 2, 2, c["F"]);
      ExpectBlock(FindTitle("Correlation Significance", r) + 2, 2, c["P"], true);
    } else {
      const std::int32_t cc = FindTitle("Canonical Correlations");
      ExpectBlock(cc + 2, 2, c["cancor"]);
      ExpectBlock(cc + 2, 3, c["lambda"]);
      ExpectBlock(cc + 2, 6, c["p"], true);
      // Both sections were asked for.
      FindTitle("Standardised Results", FindTitle("Raw Results", cc));
    }
  }
}

}  // namespace
}  // namespace nml::testing
