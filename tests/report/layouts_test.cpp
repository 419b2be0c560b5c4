// The four result layouts, cell by cell: each report is compared in full
// (values and empty cells, with a margin around the returned range) with a
// grid written out row by row. Statistics come from the reference values of
// an independent statistics system where it has them; canonical raw
// coefficients and variate scores, whose scale is free, are checked for
// position against the engine's own arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/cls_correlation_bo.h"
#include "report/cls_correlation_output.h"
#include "report/layouts.h"
#include "report_fixture.h"

namespace nml::report {
namespace {

using nlohmann::json;
using namespace testing;

const std::vector<std::string> kIrisX = {"Sepal.Length", "Sepal.Width"};
const std::vector<std::string> kIrisY = {"Petal.Length", "Petal.Width"};

class Layouts : public testing::ReportTest {
 protected:
  /// Runs the engine on the named columns and describes the run to a layout
  /// (xRange and yRange are ranges of the Data sheet).
  LayoutInput Analysed(std::int32_t method, const char* csv, const std::vector<std::string>& x,
                       const std::vector<std::string>& y, const char* xRange, const char* yRange,
                       bool descriptives, bool raw = false, bool standardised = false) {
    engine = std::make_unique<clsCorrelationBO>();
    engine->X(CsvColumns(csv, x));
    if (!y.empty()) engine->Y(CsvColumns(csv, y));
    engine->Method(method);
    engine->Raw(ToVBool(raw));
    engine->Standardised(ToVBool(standardised));
    engine->CalculateDescriptives(ToVBool(descriptives));
    engine->Analyse();
    return LayoutInput{.method = method, .descriptives = ToVBool(descriptives), .raw = ToVBool(raw),
                       .standardised = ToVBool(standardised), .xRangeCells = DataRange(xRange),
                       .yRangeCells = yRange ? DataRange(yRange) : nullptr, .engine = engine.get()};
  }

  std::unique_ptr<clsCorrelationBO> engine;
};

/// The descriptive table of the leading statistics, one row per name: name,
/// mean, SD, SE = SD / sqrt(n), n.
void AppendDescriptives(Grid& g, const std::vector<std::string>& names, const std::vector<double>& means,
                        const std::vector<double>& sds, double n) {
  g.insert(g.end(), {{"Descriptive Statistics"}, {"Variable", "Mean", "Std Dev.", "Std Err", "N"}});
  for (std::size_t i = 0; i < names.size(); ++i) g.push_back({names[i], means[i], sds[i], sds[i] / std::sqrt(n), n});
}

/// A titled square table, labelled by names across and down, of the leading
/// rows and columns of a reference matrix.
void AppendSquare(Grid& g, const char* title, const std::vector<std::string>& names, const json& m) {
  Row heads{""};
  for (const auto& n : names) heads.push_back(n);
  g.insert(g.end(), {{title}, heads});
  for (std::size_t i = 0; i < names.size(); ++i) {
    Row row{names[i]};
    for (std::size_t j = 0; j < names.size(); ++j) row.push_back(Cell::Ref(m[i][j]));
    g.push_back(row);
  }
}

/// The simple and partial layouts after their header: the descriptives of
/// the named variables, then R, t and P, all from one reference case.
Grid SquaresReport(Grid g, const json& ref, const std::vector<std::string>& names, const char* rTitle, double n) {
  AppendDescriptives(g, names, ref["mean"].get<std::vector<double>>(), ref["sd"].get<std::vector<double>>(), n);
  for (const auto& [title, key] : {std::pair{rTitle, "R"}, {"t Statistic", "T"}, {"Correlation Significance (P)", "P"}}) {
    g.push_back({});
    AppendSquare(g, title, names, ref[key]);
  }
  g.insert(g.end(), {{}, {}});
  return g;
}

TEST_F(Layouts, MultipleCorrelationWithTwoYVariables) {
  const json ref = FindCase("iris.json", "multiple");
  auto range = FormatMultipleResults(Analysed(1, "iris.csv", kIrisX, kIrisY, "A2:B151", "C2:D151", false),
                                     Names(kIrisY));
  Grid g = {{"Multiple Correlation Results for:"},
            {"Y Variable Range = Data!$C$2:$D$151"},
            {"X Variable Range = Data!$A$2:$B$151"},
            {}};
  for (const auto& [title, letter] : std::vector<std::pair<const char*, const char*>>{
           {"Correlation Matrix", "R"}, {"F Statistic", "F"}, {"Correlation Significance", "P"}}) {
    g.insert(g.end(), {{title}, {"", letter}});
    for (int i = 0; i < 2; ++i) g.push_back({kIrisY[i], Cell::Ref(ref[letter][i])});
    g.push_back({});
  }
  g.push_back({});
  ExpectGrid(*ResultsSheet(), g, 2, 1e-8);
  EXPECT_EQ(range->Address(), "$A$1:$B$20");
}

TEST_F(Layouts, SimpleCorrelationOfThreeVariablesWithDescriptives) {
  // The first three of the reference's four variables: their statistics are
  // its leading entries.
  const std::vector<std::string> names = {"Sepal.Length", "Sepal.Width", "Petal.Length"};
  auto range = FormatSimpleResults(Analysed(0, "iris.csv", names, {}, "A2:C151", nullptr, true), Names(names));
  const Grid header = {{"Pearson Correlation Results for:"}, {"Variable Range = Data!$A$2:$C$151"}, {}};
  ExpectGrid(*ResultsSheet(), SquaresReport(header, FindCase("iris.json", "simple"), names, "Correlation Matrix (R)", 150),
             5, 1e-8);
  EXPECT_EQ(range->Address(), "$A$1:$E$28");
}

TEST_F(Layouts, PartialCorrelationOfThreeVariablesControllingForTwo) {
  // The descriptives are those of the variables (listed first), not of the controls.
  const std::vector<std::string> names = {"sr", "dpi", "ddpi"};
  auto range = FormatPartialResults(
      Analysed(2, "savings.csv", {"pop15", "pop75"}, names, "C2:D51", "B2:B51,E2:F51", true), Names(names));
  const Grid header = {{"Partial Correlation Results for:"},
                       {"Variable Range = Data!$B$2:$B$51,$E$2:$F$51"},
                       {"Controlling For = Data!$C$2:$D$51"},
                       {}};
  ExpectGrid(*ResultsSheet(),
             SquaresReport(header, FindCase("savings.json", "partial"), names, "Partial Correlation Matrix (R)", 50),
             5, 1e-8);
  EXPECT_EQ(range->Address(), "$A$1:$E$29");
}

// --- canonical layout -----------------------------------------------------------

/// One section ("Raw Results" or "Standardised Results") of the iris
/// canonical report, from its two leading blank lines to the last score row.
/// Raw coefficients and all scores are the engine's (their scale is free).
/// The standardised coefficients and the raw loadings are the reference's,
/// up to the sign of each variate. The standardised loadings (correlations
/// with the data as given) are the engine's, checked for position. The
/// explained proportions are the squares of the loadings and their averages.
void AppendSection(Grid& g, const char* title, const json& ref, const clsCorrelationBO& e, bool raw) {
  using Loadings = std::vector<std::vector<double>>;
  auto ofRef = [&](const char* key) { return ref[key].get<Loadings>(); };
  auto of = [](const Matrix& m) { return Loadings{{m(1, 1), m(1, 2)}, {m(2, 1), m(2, 2)}}; };
  auto table = [&](const char* caption, const Loadings& l, const std::vector<std::string>& names, bool upToSign) {
    g.insert(g.end(), {{caption}, {"", "CV 1", "CV 2"}});
    auto cell = [&](double v) { return Cell(v, upToSign ? Cell::kUpToSign : Cell::kNumber); };
    for (int i = 0; i < 2; ++i) g.push_back({names[i], cell(l[i][0]), cell(l[i][1])});
  };
  g.insert(g.end(), {{}, {}, {title}, {}});
  table("Canonical Coefficients for Set 1", raw ? of(e.CanCoeffsRawX()) : ofRef("stdcoef_x"), kIrisX, !raw);
  g.push_back({});
  table("Canonical Coefficients for Set 2", raw ? of(e.CanCoeffsRawY()) : ofRef("stdcoef_y"), kIrisY, !raw);
  g.insert(g.end(), {{}, {}});
  const Loadings loadings[] = {raw ? ofRef("load_x") : of(e.CanLoadingsStdX()),
                               raw ? ofRef("cross_x") : of(e.CanLoadingsCrossStdX()),
                               raw ? ofRef("load_y") : of(e.CanLoadingsStdY()),
                               raw ? ofRef("cross_y") : of(e.CanLoadingsCrossStdY())};
  const char* captions[] = {"Canonical Loadings for Set 1", "Canonical Cross Loadings for Set 1",
                            "Canonical Loadings for Set 2", "Canonical Cross Loadings for Set 2"};
  for (std::size_t k = 0; k < 4; ++k) {
    table(captions[k], loadings[k], k < 2 ? kIrisX : kIrisY, raw);
    g.push_back({});
  }
  g.insert(g.end(), {{}, {"EXPLAINED VARIANCE"}});
  const char* explained[] = {"Proportion in Set 1 explained by it's Variates",
                             "Proportion in Set 1 explained by Set 2's Variates",
                             "Proportion in Set 2 explained by it's Variates",
                             "Proportion in Set 2 explained by Set 1's Variates"};
  for (std::size_t k = 0; k < 4; ++k) {
    const Loadings& l = loadings[k];
    g.insert(g.end(), {{explained[k]}, {"Variable", "CV 1", "CV 2"}});
    for (int i = 0; i < 2; ++i) g.push_back({(k < 2 ? kIrisX : kIrisY)[i], l[i][0] * l[i][0], l[i][1] * l[i][1]});
    g.push_back({"Average", (l[0][0] * l[0][0] + l[1][0] * l[1][0]) / 2, (l[0][1] * l[0][1] + l[1][1] * l[1][1]) / 2});
    g.push_back({});
  }
  g.insert(g.end(), {{}, {"Canonical Variates"}, {"Case", "CVS1 1", "CVS1 2", "CVS2 1", "CVS2 2"}});
  const Matrix sx = raw ? e.CanVarRawX() : e.CanVarStdX(), sy = raw ? e.CanVarRawY() : e.CanVarStdY();
  for (std::int32_t i = 1; i <= 150; ++i) g.push_back({i, sx(i, 1), sx(i, 2), sy(i, 1), sy(i, 2)});
}

TEST_F(Layouts, CanonicalWithRawAndStandardisedSections) {
  const json ref = FindCase("iris.json", "canonical");
  Variant rawCoords, stdCoords;
  auto range = FormatCanonicalResults(
      Analysed(3, "iris.csv", kIrisX, kIrisY, "A2:B151", "C2:D151", true, true, true), Names(kIrisX), Names(kIrisY),
      rawCoords, stdCoords);

  const std::vector<std::string> all = {"Sepal.Length", "Sepal.Width", "Petal.Length", "Petal.Width"};
  Grid g = {{"Canonical Correlation Results for:"},
            {"Set 1 Range = Data!$A$2:$B$151"},
            {"Set 2 Range = Data!$C$2:$D$151"},
            {}};
  AppendDescriptives(g, all, ref["mean"].get<std::vector<double>>(), ref["sd"].get<std::vector<double>>(), 150);
  g.insert(g.end(), {{}, {}});
  AppendSquare(g, "Correlation Matrix (r)", all, ref["R"]);
  g.push_back({});
  AppendSquare(g, "Correlation Significance (P)", all, ref["P"]);
  g.insert(g.end(), {{}, {}, {"Canonical Correlations"}, {"Variate", "R", "Wilks Lambda", "Chi-Sq", "DF", "P"}});
  for (int j = 0; j < 2; ++j) {
    Row row{"CV " + std::to_string(j + 1)};
    for (const char* key : {"cancor", "lambda", "chisq", "df", "p"}) row.push_back(Cell::Ref(ref[key][j]));
    g.push_back(row);
  }
  AppendSection(g, "Raw Results", ref, *engine, true);
  AppendSection(g, "Standardised Results", ref, *engine, false);
  g.insert(g.end(), {{}, {}});
  ExpectGrid(*ResultsSheet(), g, 6, 1e-7);
  EXPECT_EQ(range->Address(), "$A$1:$F$461");

  // Each score block: (first row, first column), (last row, last column).
  auto corners = [](const Variant& c) {
    return std::vector<std::int32_t>{ScoreCoord(c, 1, 1), ScoreCoord(c, 1, 2), ScoreCoord(c, 2, 1),
                                     ScoreCoord(c, 2, 2)};
  };
  EXPECT_EQ(corners(rawCoords), (std::vector<std::int32_t>{96, 2, 245, 5}));
  EXPECT_EQ(corners(stdCoords), (std::vector<std::int32_t>{310, 2, 459, 5}));
  // Section titles are major titles.
  EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 34, 1).bold);
  EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 248, 1).bold);
}

TEST_F(Layouts, CanonicalSectionsFollowTheFlags) {
  struct Case {
    bool raw, standardised;
    std::vector<std::string> sections;
  };
  // Both flags: see the test above.
  const std::vector<Case> cases = {{true, false, {"Raw Results"}},
                                   {false, true, {"Standardised Results"}},
                                   {false, false, {"Standardised Results"}}};
  for (const auto& c : cases) {
    // The engine computes the standardised results whenever the layout shows them.
    LayoutInput in = Analysed(3, "iris.csv", kIrisX, kIrisY, "A2:B151", "C2:D151", false, c.raw,
                              c.standardised || !c.raw);
    in.standardised = ToVBool(c.standardised);
    Variant rawCoords = Variant("untouched"), stdCoords = Variant("untouched");
    auto range = FormatCanonicalResults(in, Names(kIrisX), Names(kIrisY), rawCoords, stdCoords);
    // Without descriptives the common part has 23 rows and a section 214.
    const auto& store = ResultsSheet()->Store();
    EXPECT_EQ(range->RowCount(), 23 + 214 * static_cast<std::int32_t>(c.sections.size()) + 2);
    for (std::size_t k = 0; k < c.sections.size(); ++k)
      EXPECT_EQ(store.Get(26 + 214 * static_cast<std::int32_t>(k), 1).Text(), c.sections[k]) << c.raw << c.standardised;
    EXPECT_EQ(rawCoords == Variant("untouched"), !c.raw);
    EXPECT_EQ(stdCoords == Variant("untouched"), c.raw && !c.standardised);
    EXPECT_EQ(store.Get(5, 1).Text(), "Correlation Matrix (r)") << "one blank line after the header";
  }
}

TEST_F(Layouts, AFailingLayoutReleasesItsWriter) {
  // The engine ran the raw results only; the layout also asks for the
  // standardised section, whose loadings do not exist.
  LayoutInput in = Analysed(3, "iris.csv", kIrisX, kIrisY, "A2:B151", "C2:D151", false, true, false);
  in.standardised = kVTrue;
  auto sheet = ResultsSheet();
  const long holders = sheet.use_count();
  Variant rawCoords, stdCoords;
  const Error e = ErrorOf([&] { FormatCanonicalResults(in, Names(kIrisX), Names(kIrisY), rawCoords, stdCoords); });
  EXPECT_EQ(e.Number(), rt::kSubscriptOutOfRange);
  EXPECT_EQ(e.Source().rfind("Line ", 0), 0u);
  EXPECT_TRUE(e.Source().ends_with(" in NMLCorrelation.clsCorrelationOutput.OutputMatrix.FormatCanonicalResults"))
      << e.Source();
  EXPECT_EQ(sheet.use_count(), holders);
  EXPECT_FALSE(rawCoords.IsEmpty()) << "the raw section was complete";
  EXPECT_EQ(sheet->Store().Get(240, 1).Text(), "Standardised Results") << "the cells written so far stay";
}

}  // namespace
}  // namespace nml::report
