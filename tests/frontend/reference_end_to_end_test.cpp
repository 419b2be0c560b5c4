// Every case of the reference files, run end to end through Results on the
// worksheet host and read back from the pasted report. The reference values
// come from an independent statistics system.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "fixture.h"
#include "frontend/correlation_state.h"
#include "host/reference_parser.h"

namespace nml::testing {
namespace {

using nlohmann::json;

// Loads a CSV whose first row holds quoted names into the Data sheet.
std::vector<std::string> LoadCsv(host::Worksheet& sheet, const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::vector<std::string> names;
  std::int32_t row = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ++row;
    std::stringstream fields(line);
    std::string field;
    std::int32_t col = 0;
    while (std::getline(fields, field, ',')) {
      ++col;
      const bool quoted = field.size() >= 2 && field.front() == '"';
      if (quoted) field = field.substr(1, field.size() - 2);
      if (row == 1) names.push_back(field);
      Variant v = quoted || row == 1 ? Variant(field) : Variant(std::stod(field));
      sheet.Cells(row, col)->SetValue(v);
    }
  }
  return names;
}

// "Data!B1:B51,Data!E1:F51" for the named columns, consecutive columns joined.
std::string RangeOf(const std::vector<std::string>& names, const json& wanted, std::int32_t rows) {
  std::vector<std::int32_t> cols;
  for (const auto& w : wanted) {
    auto it = std::find(names.begin(), names.end(), w.get<std::string>());
    EXPECT_NE(it, names.end()) << w;
    cols.push_back(static_cast<std::int32_t>(it - names.begin()) + 1);
  }
  std::string text;
  for (std::size_t i = 0; i < cols.size();) {
    std::size_t j = i;
    while (j + 1 < cols.size() && cols[j + 1] == cols[j] + 1) ++j;
    if (!text.empty()) text += ',';
    text += "Data!" + host::ColumnLetters(cols[i]) + "1:" + host::ColumnLetters(cols[j]) + std::to_string(rows);
    i = j + 1;
  }
  return text;
}

class ReferenceEndToEnd : public HostFixture, public ::testing::WithParamInterface<std::string> {
 protected:
  // The row of the first cell in column A at or after `from` holding `title`.
  std::int32_t FindTitle(const std::string& title, std::int32_t from = 1) {
    for (std::int32_t r = from; r <= from + 5000; ++r)
      if (out->Cells(r, 1)->Value() == Variant(title)) return r;
    ADD_FAILURE() << "title not found: " << title;
    return 1;
  }
  Variant At(std::int32_t r, std::int32_t c) { return out->Cells(r, c)->Value(); }

  // A statistic: relative error at most 1e-10.
  void ExpectStat(const Variant& got, const json& want, const std::string& what) {
    if (want.is_string()) {
      EXPECT_EQ(got, Variant(want.get<std::string>())) << what;
      return;
    }
    ASSERT_TRUE(got.IsNumber()) << what << ": " << got.ToText();
    const double w = want.get<double>(), g = got.ToDouble();
    EXPECT_LE(std::fabs(g - w), 1e-10 * std::max(std::fabs(w), 1e-300) + (w == 0 ? 1e-14 : 0)) << what;
  }
  // A probability: 1e-9 relative, or 1e-15 absolute below 1e-6.
  void ExpectP(const Variant& got, const json& want, const std::string& what) {
    if (want.is_string()) {
      EXPECT_EQ(got, Variant(want.get<std::string>())) << what;
      return;
    }
    ASSERT_TRUE(got.IsNumber()) << what << ": " << got.ToText();
    const double w = want.get<double>(), g = got.ToDouble();
    if (w < 1e-6)
      EXPECT_LE(std::fabs(g - w), std::max(1e-15, 1e-9 * w)) << what;
    else
      EXPECT_LE(std::fabs(g - w), 1e-9 * w) << what;
  }
  // A matrix of coefficients or loadings, equal up to the sign of each column.
  void ExpectUpToSign(std::int32_t bodyRow, const json& want, const std::string& what) {
    const std::size_t rows = want.size(), cols = want[0].size();
    for (std::size_t j = 0; j < cols; ++j) {
      double sign = 0;
      for (std::size_t i = 0; i < rows && sign == 0; ++i) {
        const double w = want[i][j].get<double>();
        const double g = At(bodyRow + static_cast<std::int32_t>(i), 2 + static_cast<std::int32_t>(j)).ToDouble();
        if (std::fabs(w) > 1e-6) sign = (w > 0) == (g > 0) ? 1 : -1;
      }
      for (std::size_t i = 0; i < rows; ++i) {
        const double w = want[i][j].get<double>();
        const double g = At(bodyRow + static_cast<std::int32_t>(i), 2 + static_cast<std::int32_t>(j)).ToDouble();
        EXPECT_NEAR(sign * g, w, 1e-9 * std::max(1.0, std::fabs(w))) << what << " (" << i + 1 << "," << j + 1 << ")";
      }
    }
  }
  void ExpectSquare(std::int32_t title, const json& want, bool probability, const std::string& what) {
    for (std::size_t i = 0; i < want.size(); ++i)
      for (std::size_t j = 0; j < want.size(); ++j) {
        const Variant got = At(title + 2 + static_cast<std::int32_t>(i), 2 + static_cast<std::int32_t>(j));
        const std::string where = what + " (" + std::to_string(i + 1) + "," + std::to_string(j + 1) + ")";
        if (probability)
          ExpectP(got, want[i][j], where);
        else
          ExpectStat(got, want[i][j], where);
      }
  }
  void ExpectDescriptives(const json& c) {
    const std::int32_t t = FindTitle("Descriptive Statistics");
    for (std::size_t i = 0; i < c["mean"].size(); ++i) {
      ExpectStat(At(t + 2 + static_cast<std::int32_t>(i), 2), c["mean"][i], "mean");
      ExpectStat(At(t + 2 + static_cast<std::int32_t>(i), 3), c["sd"][i], "sd");
    }
  }

  host::WorksheetRef out;
};

TEST_P(ReferenceEndToEnd, EveryCaseMatches) {
  std::ifstream f(std::string(NML_TEST_DATA) + "/" + GetParam() + ".json");
  const json ref = json::parse(f);
  const auto names = LoadCsv(*data, std::string(NML_TEST_DATA) + "/" + ref["data"].get<std::string>());
  const std::int32_t rows = ref["n"].get<std::int32_t>() + 1;

  for (const auto& c : ref["cases"]) {
    const std::string method = c["method"];
    SCOPED_TRACE(GetParam() + " " + method);
    clsCorrelation corr;
    corr.Method(method == "simple" ? 0 : method == "multiple" ? 1 : method == "partial" ? 2 : 3);
    corr.Headers(true);
    corr.Descriptives(true);
    corr.Raw(true);
    corr.Standardised(true);
    corr.XRange(RangeOf(names, c["x"], rows));
    if (!c["y"].empty()) corr.YRange(RangeOf(names, c["y"], rows));
    corr.Results();
    out = detail::StateOf(corr).OutputCells->Worksheet();

    // Descriptive rows: the names of the layout (X for simple, Y for partial
    // and multiple, X then Y for canonical).
    if (method != "multiple" && method != "partial") ExpectDescriptives(c);

    if (method == "simple" || method == "partial") {
      const std::int32_t r = FindTitle(method == "simple" ? "Correlation Matrix (R)" : "Partial Correlation Matrix (R)");
      ExpectSquare(r, c["R"], false, "R");
      ExpectSquare(FindTitle("t Statistic", r), c["T"], false, "t");
      ExpectSquare(FindTitle("Correlation Significance (P)", r), c["P"], true, "P");
    } else if (method == "multiple") {
      const std::int32_t r = FindTitle("Correlation Matrix");
      const std::int32_t f = FindTitle("F Statistic", r);
      const std::int32_t p = FindTitle("Correlation Significance", f);
      for (std::size_t i = 0; i < c["R"].size(); ++i) {
        const auto row = static_cast<std::int32_t>(i) + 2;
        ExpectStat(At(r + row, 2), c["R"][i], "R");
        ExpectStat(At(f + row, 2), c["F"][i], "F");
        ExpectP(At(p + row, 2), c["P"][i], "P");
      }
    } else {
      const std::int32_t r = FindTitle("Correlation Matrix (r)");
      ExpectSquare(r, c["R"], false, "R");
      ExpectSquare(FindTitle("Correlation Significance (P)", r), c["P"], true, "P");
      const std::int32_t cc = FindTitle("Canonical Correlations", r);
      for (std::size_t j = 0; j < c["cancor"].size(); ++j) {
        const auto row = cc + 2 + static_cast<std::int32_t>(j);
        ExpectStat(At(row, 2), c["cancor"][j], "canonical correlation");
        ExpectStat(At(row, 3), c["lambda"][j], "Wilks lambda");
        ExpectStat(At(row, 4), c["chisq"][j], "chi-square");
        ExpectStat(At(row, 5), c["df"][j], "df");
        ExpectP(At(row, 6), c["p"][j], "p");
      }
      // Loadings are correlations of the variables with the variate scores,
      // which the raw scores are; the standardised scores are the data as held
      // times the standardised coefficients, so only their coefficients match.
      const std::int32_t raw = FindTitle("Raw Results", cc);
      ExpectUpToSign(FindTitle("Canonical Loadings for Set 1", raw) + 2, c["load_x"], "loadings X");
      ExpectUpToSign(FindTitle("Canonical Loadings for Set 2", raw) + 2, c["load_y"], "loadings Y");
      ExpectUpToSign(FindTitle("Canonical Cross Loadings for Set 1", raw) + 2, c["cross_x"], "cross loadings X");
      ExpectUpToSign(FindTitle("Canonical Cross Loadings for Set 2", raw) + 2, c["cross_y"], "cross loadings Y");
      const std::int32_t s = FindTitle("Standardised Results", raw);
      ExpectUpToSign(FindTitle("Canonical Coefficients for Set 1", s) + 2, c["stdcoef_x"], "std coefficients X");
      ExpectUpToSign(FindTitle("Canonical Coefficients for Set 2", s) + 2, c["stdcoef_y"], "std coefficients Y");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(DataSets, ReferenceEndToEnd, ::testing::Values("savings", "iris", "longley"));

}  // namespace
}  // namespace nml::testing
