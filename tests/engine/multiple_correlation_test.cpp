// Multiple correlation against independent reference values, the certified
// Longley result, ill-conditioned predictors and hand-worked cases.
#include <cmath>

#include "engine_fixture.h"

namespace nml::test {
namespace {

class MultipleReference : public ::testing::TestWithParam<std::string> {};

TEST_P(MultipleReference, MatchesEveryValue) {
  const json reference = LoadReference(GetParam());
  const CsvData csv(reference.at("data"));
  for (const json& c : CasesOf(reference, "multiple")) {
    clsCorrelationBO engine;
    engine.X(csv.Columns(c.at("x")));
    engine.Y(csv.Columns(c.at("y")));
    engine.Method(1);
    engine.CalculateDescriptives(kVTrue);
    engine.Analyse();

    const Array<Variant> r = engine.R().Variants();
    const Array<Variant> f = engine.TestStat().Variants();
    const Array<Variant> p = engine.P().Variants();
    ASSERT_EQ(r.UBound(1), static_cast<std::int32_t>(c.at("R").size()));
    for (std::int32_t i = 1; i <= r.UBound(1); ++i) {
      EXPECT_TRUE(CellMatches(r(i), c.at("R").at(i - 1), false)) << "R " << i;
      EXPECT_TRUE(CellMatches(f(i), c.at("F").at(i - 1), false)) << "F " << i;
      EXPECT_TRUE(CellMatches(p(i), c.at("P").at(i - 1), true)) << "P " << i;
    }
    // Dependent variables first, then the predictors.
    ExpectVector(engine.Means(), c.at("mean"), "Means");
    ExpectVector(engine.SDs(), c.at("sd"), "SDs");
  }
}

INSTANTIATE_TEST_SUITE_P(Data, MultipleReference, ::testing::Values("savings", "iris", "longley"));

TEST(MultipleCorrelation, LongleyMatchesTheCertifiedRSquared) {
  const CsvData csv("longley.csv");
  clsCorrelationBO engine;
  engine.X(csv.Columns({"GNP.deflator", "GNP", "Unemployed", "Armed.Forces", "Population", "Year"}));
  engine.Y(csv.Columns({"Employed"}));
  engine.Method(1);
  engine.Analyse();
  const double r = engine.R().Variants()(1).AsDouble();
  EXPECT_NEAR(r * r, 0.995479004577296, 0.995479004577296 * 1e-12);
}

TEST(MultipleCorrelation, ExactPolynomialOnPowersIsPerfect) {
  // x, x^2, ..., x^5 for x = 0..20: a badly conditioned set of predictors.
  Matrix powers = Array<double>::Matrix(21, 5);
  for (int i = 1; i <= 21; ++i)
    for (int j = 1; j <= 5; ++j) powers(i, j) = std::pow(static_cast<double>(i - 1), j);
  for (double scale : {1e-9, 1e-3, 1.0, 7.0, 1e3, 1e9}) {
    Matrix y = Array<double>::Matrix(21, 1);
    for (int i = 1; i <= 21; ++i) {
      const double x = i - 1;
      y(i, 1) = scale * (3.0 - 2.0 * x + 0.5 * x * x + 0.25 * x * x * x - 0.125 * x * x * x * x +
                         0.0625 * x * x * x * x * x);
    }
    clsCorrelationBO engine;
    engine.X(powers);
    engine.Y(y);
    engine.Method(1);
    engine.Analyse();
    const double r = engine.R().Variants()(1).AsDouble();
    EXPECT_EQ(FormatNumber15(r * r), "1") << "scale " << scale << ": R squared " << r * r;
    EXPECT_TRUE(IsZeroInteger(engine.TestStat().Variants()(1))) << "scale " << scale;
    EXPECT_TRUE(IsMarker(engine.P().Variants()(1))) << "scale " << scale;
  }
}

TEST(MultipleCorrelation, OnePredictorGivesTheAbsoluteCorrelation) {
  // x = 1..5, y = (4, 5, 2, 3, 1): r = -0.8, so R = 0.8 and F = 0.64 * 3 / 0.36.
  clsCorrelationBO engine;
  engine.X(Cols({{1, 2, 3, 4, 5}}));
  engine.Y(Cols({{4, 5, 2, 3, 1}}));
  engine.Method(1);
  engine.Analyse();
  EXPECT_TRUE(CloseRel(engine.R().Variants()(1).AsDouble(), 0.8));
  EXPECT_TRUE(CloseRel(engine.TestStat().Variants()(1).AsDouble(), 0.64 * 3 / 0.36));
  // FDist(16/3, 1, 3) = the two-sided t probability of t = sqrt(16/3), 3 df.
  EXPECT_NEAR(engine.P().Variants()(1).AsDouble(), 0.10408803866182786, 1e-13);
}

TEST(MultipleCorrelation, ExactLinearCombinationIsPerfect) {
  clsCorrelationBO engine;
  engine.X(Cols({{1, 2, 3, 4, 5, 6}, {2, 1, 4, 3, 6, 5}}));
  engine.Y(Cols({{3, 4, 9, 10, 15, 16}, {6, 3, 0, 3, 9, 1}}));  // first = 2 x1 + x2 - 1
  engine.Method(1);
  engine.Analyse();
  EXPECT_EQ(FormatNumber15(engine.R().Variants()(1).AsDouble()), "1");
  EXPECT_TRUE(IsZeroInteger(engine.TestStat().Variants()(1)));
  EXPECT_TRUE(IsMarker(engine.P().Variants()(1)));
  EXPECT_EQ(engine.TestStat().Variants()(2).Kind(), VarKind::kDouble);
  EXPECT_EQ(engine.P().Variants()(2).Kind(), VarKind::kDouble);
}

TEST(MultipleCorrelation, SeveralDependentsEqualSeparateRuns) {
  const CsvData csv("savings.csv");
  const Matrix x = csv.Columns({"pop15", "pop75"});
  clsCorrelationBO together;
  together.X(x);
  together.Y(csv.Columns({"sr", "dpi", "ddpi"}));
  together.Method(1);
  together.Analyse();
  const std::vector<std::string> names{"sr", "dpi", "ddpi"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    clsCorrelationBO alone;
    alone.X(x);
    alone.Y(csv.Columns({names[i]}));
    alone.Method(1);
    alone.Analyse();
    const auto k = static_cast<std::int32_t>(i + 1);
    EXPECT_TRUE(CloseRel(together.R().Variants()(k).AsDouble(), alone.R().Variants()(1).AsDouble(), 1e-14));
    EXPECT_TRUE(
        CloseRel(together.TestStat().Variants()(k).AsDouble(), alone.TestStat().Variants()(1).AsDouble(), 1e-13));
    EXPECT_TRUE(CloseProb(together.P().Variants()(k).AsDouble(), alone.P().Variants()(1).AsDouble()));
  }
}

TEST(MultipleCorrelation, UnrelatedDependentGivesZero) {
  // y is orthogonal to a constant, x and x^2 (a third difference): R squared
  // is 0, F is 0 and its probability 1.
  clsCorrelationBO engine;
  engine.X(Cols({{1, 2, 3, 4, 5, 6}, {1, 4, 9, 16, 25, 36}}));
  engine.Y(Cols({{-1, 3, -3, 1, 0, 0}}));
  engine.Method(1);
  engine.Analyse();
  const Variant r = engine.R().Variants()(1);
  ASSERT_EQ(r.Kind(), VarKind::kDouble);
  EXPECT_EQ(r.AsDouble(), 0.0);
  EXPECT_TRUE(AllFinite(engine.TestStat()));
  EXPECT_NEAR(engine.P().Variants()(1).AsDouble(), 1.0, 1e-10);
}

}  // namespace
}  // namespace nml::test
