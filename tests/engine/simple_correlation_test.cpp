// Simple correlation against independent reference values, and its markers
// and edge cases.
#include <cmath>

#include "engine_fixture.h"

namespace nml::test {
namespace {

struct SimpleCase {
  std::string data;
  std::size_t index;
};

class SimpleReference : public ::testing::TestWithParam<SimpleCase> {};

TEST_P(SimpleReference, MatchesEveryCell) {
  const json reference = LoadReference(GetParam().data);
  const auto cases = CasesOf(reference, "simple");
  ASSERT_LT(GetParam().index, cases.size());
  const json& c = cases[GetParam().index];
  const CsvData csv(reference.at("data"));

  clsCorrelationBO engine;
  engine.X(csv.Columns(c.at("x")));
  engine.CalculateDescriptives(kVTrue);
  engine.Analyse();

  ExpectDoubleMatrix(engine.R().Doubles(), c.at("R"), "R");
  ExpectVariantMatrix(engine.TestStat(), c.at("T"), false, "TestStat");
  ExpectVariantMatrix(engine.P(), c.at("P"), true, "P");
  ExpectVector(engine.Means(), c.at("mean"), "Means");
  ExpectVector(engine.SDs(), c.at("sd"), "SDs");
}

INSTANTIATE_TEST_SUITE_P(Data, SimpleReference,
                         ::testing::Values(SimpleCase{"iris", 0}, SimpleCase{"savings", 0}, SimpleCase{"longley", 0}),
                         [](const auto& info) { return info.param.data; });

TEST(SimpleCorrelation, OneVariableHasOnlyMarkers) {
  clsCorrelationBO engine;
  engine.X(Cols({{3, 1, 4, 1, 5}}));
  engine.Analyse();
  const Matrix r = engine.R().Doubles();
  ASSERT_EQ(r.UBound(1), 1);
  ASSERT_EQ(r.UBound(2), 1);
  EXPECT_EQ(r(1, 1), 1.0);
  EXPECT_TRUE(IsMarker(engine.TestStat().Variants()(1, 1)));
  EXPECT_TRUE(IsMarker(engine.P().Variants()(1, 1)));
}

TEST(SimpleCorrelation, PerfectPairsGetMarkersAndZero) {
  // Columns 1 and 2 are identical; column 3 is near-perfectly related to
  // column 1 (r about 0.99999999, which is 1 in single precision).
  std::vector<double> a, b;
  for (int i = 0; i < 20; ++i) {
    a.push_back(i);
    b.push_back(i + ((i % 2) ? 1e-4 : -1e-4));
  }
  clsCorrelationBO engine;
  engine.X(Cols({a, a, b}));
  engine.Analyse();
  const Matrix r = engine.R().Doubles();
  ASSERT_GT(r(1, 3), 0.9999999);
  ASSERT_LT(r(1, 3), 1.0);
  const Array<Variant> t = engine.TestStat().Variants();
  const Array<Variant> p = engine.P().Variants();
  for (int i = 1; i <= 3; ++i) {
    EXPECT_TRUE(IsMarker(t(i, i)));
    EXPECT_TRUE(IsMarker(p(i, i)));
    for (int j = 1; j <= 3; ++j) {
      if (i == j) continue;
      EXPECT_TRUE(IsMarker(t(i, j))) << i << "," << j;
      EXPECT_TRUE(IsZeroInteger(p(i, j))) << i << "," << j;
    }
  }
}

TEST(SimpleCorrelation, ExactlyNegativeColumnsAreTreatedAsPerfect) {
  std::vector<double> a{1, 2, 3, 4, 5, 6, 7, 8}, neg, other{2, 7, 1, 8, 2, 8, 1, 8};
  for (double v : a) neg.push_back(-v);
  clsCorrelationBO engine;
  engine.X(Cols({a, neg, other}));
  engine.Analyse();  // must not fail with division by zero
  ASSERT_EQ(engine.R().Doubles()(1, 2), -1.0);
  const Array<Variant> t = engine.TestStat().Variants();
  const Array<Variant> p = engine.P().Variants();
  EXPECT_TRUE(IsMarker(t(1, 2)));
  EXPECT_TRUE(IsMarker(t(2, 1)));
  EXPECT_TRUE(IsZeroInteger(p(1, 2)));
  EXPECT_TRUE(IsZeroInteger(p(2, 1)));
  // The other pairs are tested as usual.
  EXPECT_EQ(t(1, 3).Kind(), VarKind::kDouble);
  EXPECT_EQ(p(2, 3).Kind(), VarKind::kDouble);
}

TEST(SimpleCorrelation, NearlyNegativeColumnsGetAVeryLargeT) {
  std::vector<double> a, b;
  for (int i = 0; i < 20; ++i) {
    a.push_back(i);
    b.push_back(-i + ((i % 2) ? 1e-4 : -1e-4));
  }
  clsCorrelationBO engine;
  engine.X(Cols({a, b}));
  engine.Analyse();
  const double r = engine.R().Doubles()(1, 2);
  ASSERT_LT(r, -0.9999999);
  ASSERT_GT(r, -1.0);
  const Variant t = engine.TestStat().Variants()(1, 2);
  ASSERT_EQ(t.Kind(), VarKind::kDouble);
  EXPECT_GT(t.AsDouble(), 1e4);
  const Variant p = engine.P().Variants()(1, 2);
  ASSERT_EQ(p.Kind(), VarKind::kDouble);
  EXPECT_GE(p.AsDouble(), 0.0);
  EXPECT_LT(p.AsDouble(), 1e-30);
}

TEST(SimpleCorrelation, HandWorkedT) {
  // x = 1..5, y = (2, 1, 4, 3, 5): r = 0.8, t = 0.8 * sqrt(3) / 0.6.
  clsCorrelationBO engine;
  engine.X(Cols({{1, 2, 3, 4, 5}, {2, 1, 4, 3, 5}}));
  engine.Analyse();
  EXPECT_TRUE(CloseRel(engine.R().Doubles()(1, 2), 0.8));
  EXPECT_TRUE(CloseRel(engine.TestStat().Variants()(2, 1).AsDouble(), 0.8 * std::sqrt(3.0) / 0.6));
  // Two-sided t probability with 3 df at t = 2.3094...: 0.1040880386618279 (closed form for 3 df).
  EXPECT_NEAR(engine.P().Variants()(1, 2).AsDouble(), 0.10408803866182786, 1e-13);
}

TEST(SimpleCorrelation, TwoCasesGiveOnlyPerfectPairs) {
  clsCorrelationBO engine;
  engine.X(Rows({{1, 2, 3}, {2, 1, 5}}));
  engine.Analyse();
  const Array<Variant> t = engine.TestStat().Variants();
  const Array<Variant> p = engine.P().Variants();
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      EXPECT_TRUE(IsMarker(t(i, j)));
      EXPECT_TRUE(i == j ? IsMarker(p(i, j)) : IsZeroInteger(p(i, j)));
    }
}

TEST(SimpleCorrelation, ResultsAreSymmetric) {
  const CsvData csv("longley.csv");
  clsCorrelationBO engine;
  engine.X(csv.Columns({"GNP.deflator", "GNP", "Unemployed", "Armed.Forces", "Population", "Year", "Employed"}));
  engine.Analyse();
  const Array<Variant> t = engine.TestStat().Variants();
  const Array<Variant> p = engine.P().Variants();
  for (int i = 1; i <= 7; ++i)
    for (int j = 1; j <= 7; ++j) {
      EXPECT_EQ(t(i, j), t(j, i));
      EXPECT_EQ(p(i, j), p(j, i));
    }
}

}  // namespace
}  // namespace nml::test
