// One case of each method run end to end through Results on the worksheet
// host and read back from the pasted report, against the values of an
// independent statistics system (the engine's tests check every case).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "fixture.h"
#include "frontend/correlation_state.h"
#include "host/reference_parser.h"
#include "support/test_data.h"
#include "support/tolerance.h"

namespace nml::testing {
namespace {

using test::json;

class ReferenceEndToEnd : public HostFixture {
 protected:
  // The savings data on the Data sheet: names in row 1, one case a row.
  void LoadSavings() {
    std::ifstream in = test::OpenData("savings.csv");
    std::int32_t row = 0;
    for (std::string line; std::getline(in, line);) {
      const auto fields = test::CsvFields(line);
      ++row;
      for (std::size_t c = 0; c < fields.size(); ++c) {
        const bool text = row == 1 || c == 0;  // the names, and the country column
        Put(row, static_cast<std::int32_t>(c + 1), text ? Variant(fields[c]) : Variant(std::stod(fields[c])));
        if (row == 1) names_.push_back(fields[c]);
      }
    }
    rows_ = row;
  }
  // "Data!B1:C51,Data!E1:E51" for the named columns, neighbours joined.
  std::string RangeOf(const json& wanted) {
    std::vector<std::int32_t> cols;
    for (const auto& w : wanted)
      cols.push_back(static_cast<std::int32_t>(std::find(names_.begin(), names_.end(), w) - names_.begin()) + 1);
    std::string text;
    for (std::size_t i = 0, j; i < cols.size(); i = j + 1) {
      for (j = i; j + 1 < cols.size() && cols[j + 1] == cols[j] + 1;) ++j;
      text += (text.empty() ? "Data!" : ",Data!") + host::ColumnLetters(cols[i]) + "1:" +
              host::ColumnLetters(cols[j]) + std::to_string(rows_);
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
  // A number, or the marker text the reference holds, at (r, c).
  void Expect(std::int32_t r, std::int32_t c, const json& want, bool probability, double sign = 1) {
    const Variant got = out->Cells(r, c)->Value();
    if (want.is_string()) {
      EXPECT_EQ(got, Variant(want.get<std::string>())) << "(" << r << ", " << c << ")";
    } else {
      ASSERT_TRUE(got.IsNumber()) << "(" << r << ", " << c << "): " << got.ToText();
      const double g = sign * got.ToDouble(), w = want.get<double>();
      EXPECT_TRUE(probability ? test::CloseProb(g, w) : test::CloseRel(g, w, 1e-9)) << "(" << r << ", " << c << ")";
    }
  }
  // A block whose first value is at (r, c); canonical columns match up to sign.
  void ExpectBlock(std::int32_t r, std::int32_t c, const json& want, bool probability = false, bool upToSign = false) {
    const bool nested = want.at(0).is_array();
    const std::size_t cols = nested ? want[0].size() : 1;
    for (std::size_t j = 0; j < cols; ++j) {
      double sign = 1;
      if (upToSign) sign = (out->Cells(r, c + static_cast<std::int32_t>(j))->Value().ToDouble() > 0) ==
                                   (want[0][j].get<double>() > 0) ? 1 : -1;
      for (std::size_t i = 0; i < want.size(); ++i)
        Expect(r + static_cast<std::int32_t>(i), c + static_cast<std::int32_t>(j), nested ? want[i][j] : want[i],
               probability, sign);
    }
  }

  host::WorksheetRef out;

 private:
  std::vector<std::string> names_;
  std::int32_t rows_ = 0;
};

TEST_F(ReferenceEndToEnd, OneCaseOfEachMethodMatches) {
  LoadSavings();
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
      const std::int32_t r = FindTitle("Correlation Matrix (r)");
      ExpectBlock(r + 2, 2, c["R"]);
      const std::int32_t cc = FindTitle("Canonical Correlations", r);
      ExpectBlock(cc + 2, 2, c["cancor"]);
      ExpectBlock(cc + 2, 3, c["lambda"]);
      ExpectBlock(cc + 2, 4, c["chisq"]);
      ExpectBlock(cc + 2, 6, c["p"], true);
      // The raw scores' loadings are the reference's; of the standardised
      // results only the coefficients are comparable.
      const std::int32_t raw = FindTitle("Raw Results", cc);
      ExpectBlock(FindTitle("Canonical Loadings for Set 1", raw) + 2, 2, c["load_x"], false, true);
      ExpectBlock(FindTitle("Canonical Cross Loadings for Set 2", raw) + 2, 2, c["cross_y"], false, true);
      const std::int32_t s = FindTitle("Standardised Results", raw);
      ExpectBlock(FindTitle("Canonical Coefficients for Set 2", s) + 2, 2, c["stdcoef_y"], false, true);
    }
  }
}

}  // namespace
}  // namespace nml::testing
