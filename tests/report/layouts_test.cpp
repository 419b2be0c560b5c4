// The four result layouts, cell by cell: each report is compared in full
// (values and empty cells, with a margin around the returned range) with a
// grid written out row by row. Statistics come from the reference values of
// an independent statistics system where it has them; canonical raw
// coefficients and variate scores, whose scale is free, are checked for
// position against the engine's own arrays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/cls_correlation_bo.h"
#include "report/cls_correlation_output.h"
#include "report/layouts.h"
#include "report_fixture.h"

namespace nml::report {
namespace {

using nlohmann::json;
using testing::Cell;
using testing::DataSet;
using testing::ExpectGrid;
using testing::FormatAt;
using testing::Grid;
using testing::LoadCase;
using testing::LoadCsv;
using testing::Names;
using testing::RefCell;
using testing::ReportTest;
using testing::Row;
using testing::UpToSign;

struct Analysis {
  std::int32_t method = 0;
  Matrix x, y;
  bool descriptives = false, raw = false, standardised = false;
};

std::unique_ptr<clsCorrelationBO> Analysed(const Analysis& a) {
  auto engine = std::make_unique<clsCorrelationBO>();
  engine->X(a.x);
  engine->Y(a.y);
  engine->Method(a.method);
  engine->Raw(ToVBool(a.raw));
  engine->Standardised(ToVBool(a.standardised));
  engine->CalculateDescriptives(ToVBool(a.descriptives));
  engine->Analyse();
  return engine;
}

LayoutInput Input(const Analysis& a, const clsCorrelationBO& engine, host::RangeRef x, host::RangeRef y) {
  LayoutInput in;
  in.method = a.method;
  in.descriptives = ToVBool(a.descriptives);
  in.raw = ToVBool(a.raw);
  in.standardised = ToVBool(a.standardised);
  in.xRangeCells = std::move(x);
  in.yRangeCells = std::move(y);
  in.engine = &engine;
  return in;
}

/// The reference statistic of a variable, found by name.
double ByName(const json& c, const char* stat, const std::vector<std::string>& names, const std::string& name) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return c[stat][i].get<double>();
  ADD_FAILURE() << "no variable " << name;
  return 0;
}

std::vector<std::string> Strings(const json& j) { return j.get<std::vector<std::string>>(); }

using Layouts = ReportTest;

TEST_F(Layouts, MultipleCorrelationWithTwoYVariables) {
  const DataSet iris = LoadCsv("iris.csv");
  const json ref = LoadCase("iris.json", "multiple");
  Analysis a;
  a.method = 1;
  a.x = iris.Columns({"Sepal.Length", "Sepal.Width"});
  a.y = iris.Columns({"Petal.Length", "Petal.Width"});
  auto engine = Analysed(a);
  const auto in = Input(a, *engine, DataRange("A2:B151"), DataRange("C2:D151"));

  auto range = FormatMultipleResults(in, Names({"Petal.Length", "Petal.Width"}));

  const json& R = ref["R"];
  const json& F = ref["F"];
  const json& P = ref["P"];
  const Grid g = {
      {"Multiple Correlation Results for:"},
      {"Y Variable Range = Data!$C$2:$D$151"},
      {"X Variable Range = Data!$A$2:$B$151"},
      {},
      {"Correlation Matrix"},
      {"", "R"},
      {"Petal.Length", RefCell(R[0])},
      {"Petal.Width", RefCell(R[1])},
      {},
      {"F Statistic"},
      {"", "F"},
      {"Petal.Length", RefCell(F[0])},
      {"Petal.Width", RefCell(F[1])},
      {},
      {"Correlation Significance"},
      {"", "P"},
      {"Petal.Length", RefCell(P[0])},
      {"Petal.Width", RefCell(P[1])},
      {},
      {},
  };
  ExpectGrid(*ResultsSheet(), g, 2, 1e-8);
  EXPECT_EQ(range->Address(), "$A$1:$B$20");
  EXPECT_EQ(range->Worksheet(), ResultsSheet());
  for (std::int32_t row : {1, 2, 3, 5, 10, 15}) EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), row, 1).bold) << row;
  EXPECT_EQ(FormatAt(*app, *ResultsSheet(), 7, 2).numberFormat, "0.0000");
}

TEST_F(Layouts, SimpleCorrelationOfThreeVariablesWithDescriptives) {
  const DataSet iris = LoadCsv("iris.csv");
  const json ref = LoadCase("iris.json", "simple");
  Analysis a;
  a.method = 0;
  a.x = iris.Columns({"Sepal.Length", "Sepal.Width", "Petal.Length"});
  a.descriptives = true;
  auto engine = Analysed(a);
  const auto in = Input(a, *engine, DataRange("A2:C151"), nullptr);
  const std::vector<std::string> names = {"Sepal.Length", "Sepal.Width", "Petal.Length"};

  auto range = FormatSimpleResults(in, Names(names));

  // The three variables are the first three of the reference's four, so
  // their statistics are its leading entries.
  const json &R = ref["R"], &T = ref["T"], &P = ref["P"], &mean = ref["mean"], &sd = ref["sd"];
  auto desc = [&](int i) {
    const double s = sd[i].get<double>();
    return Row{names[i], mean[i].get<double>(), s, s / std::sqrt(150.0), 150};
  };
  auto row = [&](const json& m, int i) { return Row{names[i], RefCell(m[i][0]), RefCell(m[i][1]), RefCell(m[i][2])}; };
  const Row heads = {"", "Sepal.Length", "Sepal.Width", "Petal.Length"};
  const Grid g = {
      {"Pearson Correlation Results for:"},
      {"Variable Range = Data!$A$2:$C$151"},
      {},
      {"Descriptive Statistics"},
      {"Variable", "Mean", "Std Dev.", "Std Err", "N"},
      desc(0),
      desc(1),
      desc(2),
      {},
      {"Correlation Matrix (R)"},
      heads,
      row(R, 0),
      row(R, 1),
      row(R, 2),
      {},
      {"t Statistic"},
      heads,
      row(T, 0),
      row(T, 1),
      row(T, 2),
      {},
      {"Correlation Significance (P)"},
      heads,
      row(P, 0),
      row(P, 1),
      row(P, 2),
      {},
      {},
  };
  ExpectGrid(*ResultsSheet(), g, 5, 1e-8);
  EXPECT_EQ(range->Address(), "$A$1:$E$28");
  EXPECT_EQ(FormatAt(*app, *ResultsSheet(), 6, 5).numberFormat, "0");
  EXPECT_EQ(FormatAt(*app, *ResultsSheet(), 12, 3).numberFormat, "0.0000");
}

TEST_F(Layouts, SimpleCorrelationWithoutDescriptivesStartsOnRowFour) {
  const DataSet iris = LoadCsv("iris.csv");
  Analysis a;
  a.x = iris.Columns({"Sepal.Length", "Sepal.Width"});
  auto engine = Analysed(a);
  auto range = FormatSimpleResults(Input(a, *engine, DataRange("A2:B151"), nullptr), Names({"u", "v"}));
  auto sheet = ResultsSheet();
  EXPECT_EQ(sheet->Store().Get(4, 1).Text(), "Correlation Matrix (R)");
  EXPECT_EQ(sheet->Store().Get(9, 1).Text(), "t Statistic");
  EXPECT_EQ(sheet->Store().Get(14, 1).Text(), "Correlation Significance (P)");
  EXPECT_EQ(range->Address(), "$A$1:$C$19");
}

TEST_F(Layouts, SimpleCorrelationOfSixVariablesIsWiderThanItsDescriptives) {
  const DataSet longley = LoadCsv("longley.csv");
  const std::vector<std::string> six = {"GNP.deflator", "GNP", "Unemployed", "Armed.Forces", "Population", "Year"};
  Analysis a;
  a.x = longley.Columns(six);
  a.descriptives = true;
  auto engine = Analysed(a);
  auto range = FormatSimpleResults(Input(a, *engine, DataRange("A2:F17"), nullptr), Names(six));
  // Header 2, blank, descriptives 2 + 6, blank, three tables of 2 + 6 with a
  // blank after each, and the cursor row: 40 rows, 7 columns.
  EXPECT_EQ(range->Address(), "$A$1:$G$40");
}

TEST_F(Layouts, PartialCorrelationOfTwoVariablesControllingForThree) {
  const DataSet savings = LoadCsv("savings.csv");
  const json simple = LoadCase("savings.json", "simple");
  const std::vector<std::string> vars = Strings(simple["x"]);
  Analysis a;
  a.method = 2;
  a.x = savings.Columns({"pop15", "pop75", "ddpi"});
  a.y = savings.Columns({"sr", "dpi"});
  a.descriptives = true;
  auto engine = Analysed(a);
  const auto in = Input(a, *engine, DataRange("C2:D51,F2:F51"), DataRange("B2:B51,E2:E51"));

  auto range = FormatPartialResults(in, Names({"sr", "dpi"}));

  // Worked out from the reference correlation matrix of all five variables:
  // r = -Q12 / sqrt(Q11 Q22) with Q its inverse, t = |r| sqrt(45 / (1 - r^2)),
  // P the two-sided t probability on 50 - 3 - 2 = 45 degrees of freedom.
  const double r = -0.053860037099922084;
  const double t = 0.3618293098145176;
  const double p = 0.7191731554434337;
  auto desc = [&](const std::string& name) {
    const double s = ByName(simple, "sd", vars, name);
    return Row{name, ByName(simple, "mean", vars, name), s, s / std::sqrt(50.0), 50};
  };
  const Row heads = {"", "sr", "dpi"};
  const Grid g = {
      {"Partial Correlation Results for:"},
      {"Variable Range = Data!$B$2:$B$51,$E$2:$E$51"},
      {"Controlling For = Data!$C$2:$D$51,$F$2:$F$51"},
      {},
      {"Descriptive Statistics"},
      {"Variable", "Mean", "Std Dev.", "Std Err", "N"},
      desc("sr"),
      desc("dpi"),
      {},
      {"Partial Correlation Matrix (R)"},
      heads,
      {"sr", 1, r},
      {"dpi", r, 1},
      {},
      {"t Statistic"},
      heads,
      {"sr", "-", t},
      {"dpi", t, "-"},
      {},
      {"Correlation Significance (P)"},
      heads,
      {"sr", "-", p},
      {"dpi", p, "-"},
      {},
      {},
  };
  ExpectGrid(*ResultsSheet(), g, 5, 1e-8);
  EXPECT_EQ(range->Address(), "$A$1:$E$25");
}

// --- canonical layout -----------------------------------------------------------

struct CanonicalRun {
  Analysis a;
  std::unique_ptr<clsCorrelationBO> engine;
};

CanonicalRun IrisCanonical(bool descriptives, bool raw, bool standardised) {
  const DataSet iris = LoadCsv("iris.csv");
  CanonicalRun run;
  run.a.method = 3;
  run.a.x = iris.Columns({"Sepal.Length", "Sepal.Width"});
  run.a.y = iris.Columns({"Petal.Length", "Petal.Width"});
  run.a.descriptives = descriptives;
  run.a.raw = raw;
  run.a.standardised = standardised;
  run.engine = Analysed(run.a);
  return run;
}

const std::vector<std::string> kIrisX = {"Sepal.Length", "Sepal.Width"};
const std::vector<std::string> kIrisY = {"Petal.Length", "Petal.Width"};

/// The rows of one section ("Raw Results" or "Standardised Results") of the
/// iris canonical report, from its two leading blank lines to the last score
/// row. Raw coefficients and all scores are the engine's (their scale is
/// free). The standardised coefficients and the raw loadings are the
/// reference's, up to the sign of each variate. The standardised loadings are
/// correlations with the unstandardised data times the standardised
/// coefficients, which the reference does not hold: they are the engine's,
/// checked for position. The explained proportions are the squares of the
/// loadings shown above them and their averages.
void AppendSection(Grid& g, const char* title, const json& ref, const clsCorrelationBO& e, bool raw) {
  const Row heads = {"", "CV 1", "CV 2"};
  using Loadings = std::vector<std::vector<double>>;
  auto fromEngine = [](const Matrix& m) {
    return Loadings{{m(1, 1), m(1, 2)}, {m(2, 1), m(2, 2)}};
  };
  auto fromRef = [&](const char* key) { return ref[key].get<Loadings>(); };
  auto engineRows = [&](const Matrix& m, const std::vector<std::string>& names) {
    for (int i = 0; i < 2; ++i) g.push_back({names[i], m(i + 1, 1), m(i + 1, 2)});
  };
  auto rows = [&](const Loadings& l, const std::vector<std::string>& names, bool upToSign) {
    for (int i = 0; i < 2; ++i)
      g.push_back({names[i], upToSign ? UpToSign(l[i][0]) : Cell(l[i][0]), upToSign ? UpToSign(l[i][1]) : Cell(l[i][1])});
  };
  auto explained = [&](const char* caption, const Loadings& l, const std::vector<std::string>& names) {
    g.push_back({caption});
    g.push_back({"Variable", "CV 1", "CV 2"});
    for (int i = 0; i < 2; ++i) g.push_back({names[i], l[i][0] * l[i][0], l[i][1] * l[i][1]});
    g.push_back({"Average", (l[0][0] * l[0][0] + l[1][0] * l[1][0]) / 2, (l[0][1] * l[0][1] + l[1][1] * l[1][1]) / 2});
  };
  const Loadings loadX = raw ? fromRef("load_x") : fromEngine(e.CanLoadingsStdX());
  const Loadings crossX = raw ? fromRef("cross_x") : fromEngine(e.CanLoadingsCrossStdX());
  const Loadings loadY = raw ? fromRef("load_y") : fromEngine(e.CanLoadingsStdY());
  const Loadings crossY = raw ? fromRef("cross_y") : fromEngine(e.CanLoadingsCrossStdY());

  g.push_back({});
  g.push_back({});
  g.push_back({title});
  g.push_back({});
  g.push_back({"Canonical Coefficients for Set 1"});
  g.push_back(heads);
  if (raw)
    engineRows(e.CanCoeffsRawX(), kIrisX);
  else
    rows(fromRef("stdcoef_x"), kIrisX, true);
  g.push_back({});
  g.push_back({"Canonical Coefficients for Set 2"});
  g.push_back(heads);
  if (raw)
    engineRows(e.CanCoeffsRawY(), kIrisY);
  else
    rows(fromRef("stdcoef_y"), kIrisY, true);
  g.push_back({});
  g.push_back({});
  g.push_back({"Canonical Loadings for Set 1"});
  g.push_back(heads);
  rows(loadX, kIrisX, raw);
  g.push_back({});
  g.push_back({"Canonical Cross Loadings for Set 1"});
  g.push_back(heads);
  rows(crossX, kIrisX, raw);
  g.push_back({});
  g.push_back({"Canonical Loadings for Set 2"});
  g.push_back(heads);
  rows(loadY, kIrisY, raw);
  g.push_back({});
  g.push_back({"Canonical Cross Loadings for Set 2"});
  g.push_back(heads);
  rows(crossY, kIrisY, raw);
  g.push_back({});
  g.push_back({});
  g.push_back({"EXPLAINED VARIANCE"});
  explained("Proportion in Set 1 explained by it's Variates", loadX, kIrisX);
  g.push_back({});
  explained("Proportion in Set 1 explained by Set 2's Variates", crossX, kIrisX);
  g.push_back({});
  explained("Proportion in Set 2 explained by it's Variates", loadY, kIrisY);
  g.push_back({});
  explained("Proportion in Set 2 explained by Set 1's Variates", crossY, kIrisY);
  g.push_back({});
  g.push_back({});
  g.push_back({"Canonical Variates"});
  g.push_back({"Case", "CVS1 1", "CVS1 2", "CVS2 1", "CVS2 2"});
  const Matrix sx = raw ? e.CanVarRawX() : e.CanVarStdX();
  const Matrix sy = raw ? e.CanVarRawY() : e.CanVarStdY();
  for (std::int32_t i = 1; i <= 150; ++i) g.push_back({i, sx(i, 1), sx(i, 2), sy(i, 1), sy(i, 2)});
}

/// Header, descriptives, correlation and significance matrices and the
/// canonical correlation table of the iris report: rows 1 to 31.
Grid CommonPart(const json& ref) {
  const json &R = ref["R"], &P = ref["P"], &mean = ref["mean"], &sd = ref["sd"];
  const std::vector<std::string> all = {"Sepal.Length", "Sepal.Width", "Petal.Length", "Petal.Width"};
  Grid g = {
      {"Canonical Correlation Results for:"},
      {"Set 1 Range = Data!$A$2:$B$151"},
      {"Set 2 Range = Data!$C$2:$D$151"},
      {},
      {"Descriptive Statistics"},
      {"Variable", "Mean", "Std Dev.", "Std Err", "N"},
  };
  for (int i = 0; i < 4; ++i) {
    const double s = sd[i].get<double>();
    g.push_back({all[i], mean[i].get<double>(), s, s / std::sqrt(150.0), 150});
  }
  const Row heads = {"", all[0], all[1], all[2], all[3]};
  g.push_back({});
  g.push_back({});
  g.push_back({"Correlation Matrix (r)"});
  g.push_back(heads);
  for (int i = 0; i < 4; ++i) g.push_back({all[i], RefCell(R[i][0]), RefCell(R[i][1]), RefCell(R[i][2]), RefCell(R[i][3])});
  g.push_back({});
  g.push_back({"Correlation Significance (P)"});
  g.push_back(heads);
  for (int i = 0; i < 4; ++i) g.push_back({all[i], RefCell(P[i][0]), RefCell(P[i][1]), RefCell(P[i][2]), RefCell(P[i][3])});
  g.push_back({});
  g.push_back({});
  g.push_back({"Canonical Correlations"});
  g.push_back({"Variate", "R", "Wilks Lambda", "Chi-Sq", "DF", "P"});
  for (int j = 0; j < 2; ++j)
    g.push_back({"CV " + std::to_string(j + 1), RefCell(ref["cancor"][j]), RefCell(ref["lambda"][j]),
                 RefCell(ref["chisq"][j]), RefCell(ref["df"][j]), RefCell(ref["p"][j])});
  return g;
}

TEST_F(Layouts, CanonicalWithRawAndStandardisedSections) {
  const json ref = LoadCase("iris.json", "canonical");
  auto run = IrisCanonical(true, true, true);
  const auto in = Input(run.a, *run.engine, DataRange("A2:B151"), DataRange("C2:D151"));
  Variant rawCoords, stdCoords;

  auto range = FormatCanonicalResults(in, Names(kIrisX), Names(kIrisY), rawCoords, stdCoords);

  Grid g = CommonPart(ref);
  ASSERT_EQ(g.size(), 31u);
  AppendSection(g, "Raw Results", ref, *run.engine, true);
  ASSERT_EQ(g.size(), 245u);
  EXPECT_EQ(g[93][0].text, "Canonical Variates");
  AppendSection(g, "Standardised Results", ref, *run.engine, false);
  g.push_back({});
  g.push_back({});
  ASSERT_EQ(g.size(), 461u);
  ExpectGrid(*ResultsSheet(), g, 6, 1e-7);
  EXPECT_EQ(range->Address(), "$A$1:$F$461");

  // The score blocks: first row, first column, last row, last column.
  EXPECT_EQ(ScoreCoord(rawCoords, 1, 1), 96);
  EXPECT_EQ(ScoreCoord(rawCoords, 1, 2), 2);
  EXPECT_EQ(ScoreCoord(rawCoords, 2, 1), 245);
  EXPECT_EQ(ScoreCoord(rawCoords, 2, 2), 5);
  EXPECT_EQ(ScoreCoord(stdCoords, 1, 1), 310);
  EXPECT_EQ(ScoreCoord(stdCoords, 1, 2), 2);
  EXPECT_EQ(ScoreCoord(stdCoords, 2, 1), 459);
  EXPECT_EQ(ScoreCoord(stdCoords, 2, 2), 5);

  // Section titles are major titles; numbers in the tables keep four decimals.
  EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 34, 1).bold);
  EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 248, 1).bold);
  EXPECT_EQ(FormatAt(*app, *ResultsSheet(), 30, 6).numberFormat, "0.0000");
  EXPECT_EQ(FormatAt(*app, *ResultsSheet(), 459, 5).numberFormat, "0.0000");
}

TEST_F(Layouts, CanonicalScoreBlockHalvesHoldEachSetsVariates) {
  auto run = IrisCanonical(false, false, true);
  const auto in = Input(run.a, *run.engine, DataRange("A2:B151"), DataRange("C2:D151"));
  Variant rawCoords = Variant("untouched"), stdCoords;
  FormatCanonicalResults(in, Names(kIrisX), Names(kIrisY), rawCoords, stdCoords);

  EXPECT_EQ(rawCoords, Variant("untouched")) << "no raw section, no raw coordinates";
  const std::int32_t top = ScoreCoord(stdCoords, 1, 1), left = ScoreCoord(stdCoords, 1, 2);
  const std::int32_t bottom = ScoreCoord(stdCoords, 2, 1), right = ScoreCoord(stdCoords, 2, 2);
  ASSERT_EQ(bottom - top + 1, 150);
  ASSERT_EQ(right - left + 1, 4);
  // Each half is the set's score matrix, case by case.
  const Matrix sx = run.engine->CanVarStdX(), sy = run.engine->CanVarStdY();
  const auto& store = ResultsSheet()->Store();
  for (std::int32_t i = 1; i <= 150; ++i) {
    for (std::int32_t j = 1; j <= 2; ++j) {
      ASSERT_EQ(store.Get(top + i - 1, left + j - 1).AsDouble(), sx(i, j)) << i << "," << j;
      ASSERT_EQ(store.Get(top + i - 1, left + 1 + j).AsDouble(), sy(i, j)) << i << "," << j;
    }
    ASSERT_EQ(store.Get(top + i - 1, left - 1).ToDouble(), i);
  }
}

TEST_F(Layouts, CanonicalSectionsFollowTheFlags) {
  struct Case {
    bool raw, standardised;
    std::vector<const char*> sections;
  };
  const std::vector<Case> cases = {
      {true, false, {"Raw Results"}},
      {false, true, {"Standardised Results"}},
      {false, false, {"Standardised Results"}},
      {true, true, {"Raw Results", "Standardised Results"}},
  };
  for (const auto& c : cases) {
    auto run = IrisCanonical(false, c.raw, c.standardised || !c.raw);
    run.a.standardised = c.standardised;  // the layout's own flag, as the caller set it
    const auto in = Input(run.a, *run.engine, DataRange("A2:B151"), DataRange("C2:D151"));
    Variant rawCoords, stdCoords;
    auto range = FormatCanonicalResults(in, Names(kIrisX), Names(kIrisY), rawCoords, stdCoords);

    std::vector<std::string> found;
    const auto& store = ResultsSheet()->Store();
    for (std::int32_t r = 1; r <= range->RowCount(); ++r) {
      const Variant v = store.Get(r, 1);
      if (v.IsText() && (v.Text() == "Raw Results" || v.Text() == "Standardised Results")) found.push_back(v.Text());
    }
    ASSERT_EQ(found.size(), c.sections.size()) << c.raw << c.standardised;
    for (std::size_t i = 0; i < found.size(); ++i) EXPECT_EQ(found[i], c.sections[i]);
    EXPECT_EQ(rawCoords.IsEmpty(), !c.raw);
    EXPECT_EQ(stdCoords.IsEmpty(), c.raw && !c.standardised);
    // Descriptives off: the correlation matrix follows the header after one blank line.
    EXPECT_EQ(store.Get(5, 1).Text(), "Correlation Matrix (r)");
    const std::int32_t sections = static_cast<std::int32_t>(c.sections.size());
    EXPECT_EQ(range->RowCount(), 23 + 214 * sections + 2);
  }
}

TEST_F(Layouts, CanonicalNamesWithThreeXAndTwoY) {
  const DataSet savings = LoadCsv("savings.csv");
  Analysis a;
  a.method = 3;
  a.x = savings.Columns({"sr", "dpi", "ddpi"});
  a.y = savings.Columns({"pop15", "pop75"});
  a.standardised = true;
  auto engine = Analysed(a);
  Variant rawCoords, stdCoords;
  FormatCanonicalResults(Input(a, *engine, DataRange("B2:B51,E2:F51"), DataRange("C2:D51")),
                         Names({"sr", "dpi", "ddpi"}), Names({"pop15", "pop75"}), rawCoords, stdCoords);
  const auto& store = ResultsSheet()->Store();
  EXPECT_EQ(store.Get(2, 1).Text(), "Set 1 Range = Data!$B$2:$B$51,$E$2:$F$51");
  EXPECT_EQ(store.Get(3, 1).Text(), "Set 2 Range = Data!$C$2:$D$51");
  // AllNames: X names first, in both the heading row and the label column.
  const std::vector<std::string> all = {"sr", "dpi", "ddpi", "pop15", "pop75"};
  for (std::int32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(store.Get(6, 2 + i).Text(), all[i]);
    EXPECT_EQ(store.Get(7 + i, 1).Text(), all[i]);
  }
  const std::int32_t head = ScoreCoord(stdCoords, 1, 1) - 1;
  const std::vector<std::string> variates = {"Case", "CVS1 1", "CVS1 2", "CVS2 1", "CVS2 2"};
  for (std::int32_t j = 0; j < 5; ++j) EXPECT_EQ(store.Get(head, 1 + j).Text(), variates[j]);
  EXPECT_TRUE(store.Get(head, 6).IsEmpty());
  EXPECT_EQ(ScoreCoord(stdCoords, 2, 1) - ScoreCoord(stdCoords, 1, 1) + 1, 50);
}

// --- failures ----------------------------------------------------------------------

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(LayoutFailures, NoScratchSheetTrailsThroughTheLayout) {
  auto app = host::Application::CreateBare();
  support::TheHostLink().Attach(app);
  auto data = app->Workbooks()->Add("Book1")->Worksheets()->Item(1);
  Analysis a;
  a.x = Matrix::Matrix(3, 2);
  const double values[] = {1, 2, 4, 2, 1, 3};
  std::copy(values, values + 6, a.x.Data());
  auto engine = Analysed(a);
  try {
    FormatSimpleResults(Input(a, *engine, data->GetRange("A1:B3"), nullptr), Names({"a", "b"}));
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), rt::kObjectNotSet);
    EXPECT_EQ(e.Source().rfind("Line ", 0), 0u);
    EXPECT_TRUE(EndsWith(e.Source(), " in NMLCorrelation.clsCorrelationOutput.Initialise.FormatSimpleResults"))
        << e.Source();
  }
  support::TheHostLink().Detach();
}

TEST_F(Layouts, AFailingLayoutReleasesItsWriter) {
  // The engine ran the raw results only; the layout also asks for the
  // standardised section, whose loadings do not exist.
  auto run = IrisCanonical(false, true, false);
  Analysis a = run.a;
  a.standardised = true;
  auto sheet = ResultsSheet();
  const long holders = sheet.use_count();
  Variant rawCoords, stdCoords;
  try {
    FormatCanonicalResults(Input(a, *run.engine, DataRange("A2:B151"), DataRange("C2:D151")), Names(kIrisX),
                           Names(kIrisY), rawCoords, stdCoords);
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), rt::kSubscriptOutOfRange);
    EXPECT_EQ(e.Source().rfind("Line ", 0), 0u);
    EXPECT_TRUE(EndsWith(e.Source(), " in NMLCorrelation.clsCorrelationOutput.OutputMatrix.FormatCanonicalResults"))
        << e.Source();
  }
  EXPECT_EQ(sheet.use_count(), holders);
  EXPECT_FALSE(rawCoords.IsEmpty()) << "the raw section was complete";
  // The cells written so far stay.
  EXPECT_EQ(sheet->Store().Get(248 - 8, 1).Text(), "Standardised Results");

  // The same with an error inside the frame: the partial layout's header needs
  // a Y range.
  a.method = 2;
  try {
    FormatPartialResults(Input(a, *run.engine, DataRange("A2:B151"), nullptr), Names({"p", "q"}));
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), rt::kObjectNotSet);
    EXPECT_TRUE(EndsWith(e.Source(), " in NMLCorrelation.clsCorrelation.FormatPartialResults")) << e.Source();
  }
  EXPECT_EQ(sheet.use_count(), holders);
}

}  // namespace
}  // namespace nml::report
