// Partial correlation against independent reference values, too few cases,
// perfect and exactly negative residual pairs.
#include <cmath>
#include <numbers>
#include <regex>

#include "engine_fixture.h"

namespace nml::test {
namespace {

class PartialReference : public ::testing::TestWithParam<std::string> {};

TEST_P(PartialReference, MatchesEveryCell) {
  const json reference = LoadReference(GetParam());
  const CsvData csv(reference.at("data"));
  const auto cases = CasesOf(reference, "partial");
  ASSERT_FALSE(cases.empty());
  for (const json& c : cases) {
    clsCorrelationBO engine;
    engine.X(csv.Columns(c.at("x")));
    engine.Y(csv.Columns(c.at("y")));
    engine.Method(2);
    engine.CalculateDescriptives(kVTrue);
    engine.Analyse();
    ExpectDoubleMatrix(engine.R().Doubles(), c.at("R"), "R");
    ExpectVariantMatrix(engine.TestStat(), c.at("T"), false, "TestStat");
    ExpectVariantMatrix(engine.P(), c.at("P"), true, "P");
    ExpectVector(engine.Means(), c.at("mean"), "Means");
    ExpectVector(engine.SDs(), c.at("sd"), "SDs");
  }
}

INSTANTIATE_TEST_SUITE_P(Data, PartialReference, ::testing::Values("savings", "longley"));

TEST(PartialCorrelation, TooFewCasesGiveMarkers) {
  // Two controls and four cases: n - k - 1 = 1.
  clsCorrelationBO engine;
  engine.X(Cols({{1, 2, 3, 4}, {2, 1, 4, 2}}));
  engine.Y(Cols({{3, 1, 4, 1}, {5, 9, 2, 6}, {5, 3, 5, 8}}));
  engine.Method(2);
  engine.Analyse();
  const Array<Variant> r = engine.R().Variants();
  const Array<Variant> t = engine.TestStat().Variants();
  const Array<Variant> p = engine.P().Variants();
  ASSERT_EQ(r.UBound(1), 3);
  ASSERT_EQ(r.UBound(2), 3);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      if (i == j) {
        ASSERT_TRUE(r(i, j).IsText());
        EXPECT_EQ(r(i, j).Text(), "1");
      } else {
        EXPECT_TRUE(IsMarker(r(i, j)));
      }
      EXPECT_TRUE(IsMarker(t(i, j)));
      EXPECT_TRUE(IsMarker(p(i, j)));
    }
}

TEST(PartialCorrelation, OneMoreCaseGivesTestsWithOneDegreeOfFreedom) {
  clsCorrelationBO engine;
  engine.X(Cols({{1, 2, 3, 4, 5}, {2, 1, 4, 2, 7}}));
  engine.Y(Cols({{3, 1, 4, 1, 5}, {5, 9, 2, 6, 5}}));
  engine.Method(2);
  engine.Analyse();
  ASSERT_EQ(engine.R().Kind(), VarKind::kDoubleArray);
  const Array<Variant> t = engine.TestStat().Variants();
  const Array<Variant> p = engine.P().Variants();
  ASSERT_EQ(t(1, 2).Kind(), VarKind::kDouble);
  // With one degree of freedom t follows the Cauchy law: P = 1 - 2 atan(t) / pi.
  const double expected = 1.0 - 2.0 * std::atan(t(1, 2).AsDouble()) / std::numbers::pi;
  EXPECT_TRUE(CloseProb(p(1, 2).AsDouble(), expected));
  EXPECT_EQ(p(1, 2), p(2, 1));
}

TEST(PartialCorrelation, OneVariableOfInterest) {
  clsCorrelationBO engine;
  engine.X(Cols({{1, 2, 3, 4, 5, 6}}));
  engine.Y(Cols({{2, 7, 1, 8, 2, 8}}));
  engine.Method(2);
  engine.Analyse();
  const Matrix r = engine.R().Doubles();
  ASSERT_EQ(r.UBound(1), 1);
  EXPECT_NEAR(r(1, 1), 1.0, 1e-15);
  EXPECT_TRUE(IsMarker(engine.TestStat().Variants()(1, 1)));
  EXPECT_TRUE(IsMarker(engine.P().Variants()(1, 1)));
}

TEST(PartialCorrelation, CoincidingResidualsAreAPerfectPair) {
  clsCorrelationBO engine;
  engine.X(Cols({{1, 2, 3, 4, 5, 6}}));
  engine.Y(Cols({{2, 7, 1, 8, 2, 8}, {2, 7, 1, 8, 2, 8}, {3, 1, 4, 1, 5, 9}}));
  engine.Method(2);
  engine.Analyse();
  const Array<Variant> t = engine.TestStat().Variants();
  const Array<Variant> p = engine.P().Variants();
  EXPECT_TRUE(IsMarker(t(1, 2)));
  EXPECT_TRUE(IsMarker(t(2, 1)));
  EXPECT_TRUE(IsZeroInteger(p(1, 2)));
  EXPECT_TRUE(IsZeroInteger(p(2, 1)));
  ASSERT_EQ(t(1, 3).Kind(), VarKind::kDouble);
  // (i, j) and (j, i) are computed separately: equal up to rounding.
  EXPECT_TRUE(CloseRel(t(1, 3).AsDouble(), t(3, 1).AsDouble(), 1e-14));
  EXPECT_TRUE(CloseProb(p(2, 3).AsDouble(), p(3, 2).AsDouble()));
}

TEST(PartialCorrelation, ExactlyNegativeResidualsAreTreatedAsPerfect) {
  // y1 is orthogonal to the centred control and has residual variance 1, so
  // the partial correlation of y1 with y2 = -y1 is exactly -1.
  clsCorrelationBO engine;
  engine.X(Cols({{1, 2, 3, 4, 5, 6}}));
  engine.Y(Cols({{1, -1, 0, 0, -1, 1}, {-1, 1, 0, 0, 1, -1}, {2, 0, 1, 3, 1, 5}}));
  engine.Method(2);
  engine.Analyse();  // must not fail with division by zero
  ASSERT_EQ(engine.R().Doubles()(1, 2), -1.0);
  const Array<Variant> t = engine.TestStat().Variants();
  const Array<Variant> p = engine.P().Variants();
  EXPECT_TRUE(IsMarker(t(1, 2)));
  EXPECT_TRUE(IsMarker(t(2, 1)));
  EXPECT_TRUE(IsZeroInteger(p(1, 2)));
  EXPECT_TRUE(IsZeroInteger(p(2, 1)));
  EXPECT_EQ(t(1, 3).Kind(), VarKind::kDouble);
}

TEST(PartialCorrelation, VariableDeterminedByTheControlsIsAnError) {
  // y1 equals the control: its residual variance is 0 and it has no partial
  // correlation with anything.
  clsCorrelationBO engine;
  engine.X(Cols({{0, 0, 4, 4}}));
  engine.Y(Cols({{0, 0, 4, 4}, {1, 3, 2, 5}}));
  engine.Method(2);
  const Error e = RunExpectingError(engine);
  EXPECT_EQ(e.Number(), rt::kDivisionByZero);
  EXPECT_TRUE(std::regex_match(e.Source(),
                               std::regex(R"(Line \d+ in NMLCorrelation\.clsCorrelationBO\.DoPartialCorr\.Analyse)")))
      << e.Source();
}

}  // namespace
}  // namespace nml::test
