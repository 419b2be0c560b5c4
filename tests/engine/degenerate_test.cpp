// Degenerate inputs of the four analyses: perfect and exactly negative
// coefficients, too few cases, one variable, a canonical correlation of 0,
// and the errors that stop a run.
#include <cmath>
#include <numbers>
#include <random>
#include <tuple>

#include "engine_fixture.h"

namespace nml::test {
namespace {

/// 0..19, and the same with +-1e-4 added alternately (r about 0.99999999).
std::vector<double> Ramp(double slope, double jitter) {
  std::vector<double> v;
  for (int i = 0; i < 20; ++i) v.push_back(slope * i + ((i % 2) ? jitter : -jitter));
  return v;
}

/// Pair (i, j) of a t and a probability matrix is perfect: the t is the
/// marker and the probability the Integer 0 (or the marker when asked).
void ExpectPerfectPair(const Variant& t, const Variant& p, std::int32_t i, std::int32_t j, bool pMarker = false) {
  for (const auto& [a, b] : {std::pair{i, j}, std::pair{j, i}}) {
    EXPECT_TRUE(t.IsEmpty() || IsMarker(t.Variants()(a, b))) << a << "," << b;
    EXPECT_TRUE(pMarker ? IsMarker(p.Variants()(a, b)) : IsZeroInteger(p.Variants()(a, b))) << a << "," << b;
  }
}

TEST(SimpleCorrelation, SetsOfPerfectPairsGetOnlyMarkersAndZeros) {
  // One variable; two cases; two identical columns and a third whose r with
  // them is about 0.99999999, which is 1 in single precision.
  const std::vector<double> a = Ramp(1, 0), b = Ramp(1, 1e-4);
  const std::vector<Matrix> sets{Cols({{3, 1, 4, 1, 5}}), Cols({{1, 2}, {2, 1}, {3, 5}}), Cols({a, a, b})};
  for (const Matrix& x : sets) {
    clsCorrelationBO e;
    ASSERT_EQ(Analyse(e, 0, x).Number(), 0);
    const std::int32_t k = x.UBound(2);
    ASSERT_EQ(e.R().Doubles().UBound(1), k);
    EXPECT_EQ(e.R().Doubles()(1, 1), 1.0);
    for (std::int32_t i = 1; i <= k; ++i) {
      EXPECT_TRUE(IsMarker(e.TestStat().Variants()(i, i)));
      EXPECT_TRUE(IsMarker(e.P().Variants()(i, i)));
      for (std::int32_t j = 1; j < i; ++j) ExpectPerfectPair(e.TestStat(), e.P(), i, j);
    }
    if (&x == &sets[2]) {
      EXPECT_TRUE(e.R().Doubles()(1, 3) > 0.9999999 && e.R().Doubles()(1, 3) < 1.0);
    }
  }
}

TEST(MendedFaults, ExactlyMinusOneIsPerfectInEveryAnalysis) {
  // Simple: a column and its negative. Partial: y1 is orthogonal to the
  // centred control with residual variance 1, so its partial correlation
  // with y2 = -y1 is exactly -1.
  const std::vector<double> up{1, 2, 3, 4, 5, 6, 7, 8}, down{-1, -2, -3, -4, -5, -6, -7, -8};
  const std::vector<double> other{2, 7, 1, 8, 2, 8, 1, 8};
  const std::tuple<std::int32_t, Matrix, Matrix> runs[] = {
      {0, Cols({up, down, other}), Matrix()},
      {2, Cols({{1, 2, 3, 4, 5, 6}}), Cols({{1, -1, 0, 0, -1, 1}, {-1, 1, 0, 0, 1, -1}, {2, 0, 1, 3, 1, 5}})}};
  for (const auto& [method, x, y] : runs) {
    clsCorrelationBO e;
    ASSERT_EQ(Analyse(e, method, x, y).Number(), 0) << "no division by zero, method " << method;
    ASSERT_EQ(e.R().Doubles()(1, 2), -1.0) << method;
    ExpectPerfectPair(e.TestStat(), e.P(), 1, 2);
    EXPECT_EQ(e.TestStat().Variants()(1, 3).Kind(), VarKind::kDouble) << method;
  }

  // Canonical: x2 = -y1. The significance matrix marks the pair; the run
  // itself may then stop on the canonical correlation of 1 (no logarithm of
  // a lambda of 0).
  clsCorrelationBO canonical;
  const Error e = Analyse(canonical, 3, Cols({{1, 2, 3, 4, 5, 6, 7}, {-2, -7, -1, -8, -2, -8, -1}}),
                      Cols({{2, 7, 1, 8, 2, 8, 1}, {3, 1, 4, 1, 5, 9, 2}}));
  if (e.Number() != 0) {
    EXPECT_EQ(e.Number(), rt::kInvalidCall);
    EXPECT_TRUE(TrailsThrough(e, R"(TestCanCorr\.DoCanonicalCorr)"));
  }
  ASSERT_EQ(canonical.R().Doubles()(2, 3), -1.0);
  ExpectPerfectPair(Variant(), canonical.P(), 2, 3, true);
  EXPECT_EQ(canonical.P().Variants()(1, 3).Kind(), VarKind::kDouble);

  // Just short of -1 the t statistic is a number, very large.
  clsCorrelationBO nearly;
  ASSERT_EQ(Analyse(nearly, 0, Cols({Ramp(1, 0), Ramp(-1, 1e-4)})).Number(), 0);
  const double r = nearly.R().Doubles()(1, 2);
  ASSERT_TRUE(r < -0.9999999 && r > -1.0) << r;
  const Variant t = nearly.TestStat().Variants()(1, 2), p = nearly.P().Variants()(1, 2);
  ASSERT_EQ(t.Kind(), VarKind::kDouble);
  EXPECT_GT(t.AsDouble(), 1e4);
  ASSERT_EQ(p.Kind(), VarKind::kDouble);
  EXPECT_TRUE(p.AsDouble() >= 0.0 && p.AsDouble() < 1e-30) << p.AsDouble();
}

TEST(PartialCorrelation, KPlusTwoCasesGiveMarkersAndKPlusThreeOneDegreeOfFreedom) {
  // Two controls and four cases: n - k - 1 = 1, nothing can be tested; R
  // holds the text "1" on its diagonal.
  clsCorrelationBO few;
  const Matrix y4 = Cols({{3, 1, 4, 1}, {5, 9, 2, 6}, {5, 3, 5, 8}});
  ASSERT_EQ(Analyse(few, 2, Cols({{1, 2, 3, 4}, {2, 1, 4, 2}}), y4).Number(), 0);
  const Variant results[] = {few.R(), few.TestStat(), few.P()};
  for (int k = 0; k < 3; ++k) {
    const Array<Variant>& v = results[k].Variants();
    ASSERT_TRUE(v.UBound(1) == 3 && v.UBound(2) == 3) << k;
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 3; ++j)
        EXPECT_TRUE(k == 0 && i == j ? v(i, j) == Variant("1") : IsMarker(v(i, j))) << k << ": " << i << "," << j;
  }

  // Five cases: one degree of freedom, where t follows the Cauchy law and
  // P = 1 - 2 atan(t) / pi.
  clsCorrelationBO one;
  const Matrix y5 = Cols({{3, 1, 4, 1, 5}, {5, 9, 2, 6, 5}});
  ASSERT_EQ(Analyse(one, 2, Cols({{1, 2, 3, 4, 5}, {2, 1, 4, 2, 7}}), y5).Number(), 0);
  const Variant t = one.TestStat().Variants()(1, 2);
  ASSERT_EQ(t.Kind(), VarKind::kDouble);
  EXPECT_TRUE(CloseProb(one.P().Variants()(1, 2).AsDouble(), 1.0 - 2.0 * std::atan(t.AsDouble()) / std::numbers::pi));
  EXPECT_EQ(one.P().Variants()(1, 2), one.P().Variants()(2, 1));
}

TEST(PartialCorrelation, OneVariableAndTwoIdenticalVariables) {
  clsCorrelationBO single;
  ASSERT_EQ(Analyse(single, 2, Cols({{1, 2, 3, 4, 5, 6}}), Cols({{2, 7, 1, 8, 2, 8}})).Number(), 0);
  ASSERT_EQ(single.R().Doubles().UBound(1), 1);
  EXPECT_NEAR(single.R().Doubles()(1, 1), 1.0, 1e-15);
  EXPECT_TRUE(IsMarker(single.TestStat().Variants()(1, 1)));
  EXPECT_TRUE(IsMarker(single.P().Variants()(1, 1)));

  // Identical columns have identical residuals: a perfect pair. (i, j) and
  // (j, i) of the others are computed separately, equal up to rounding.
  clsCorrelationBO twins;
  const Matrix y = Cols({{2, 7, 1, 8, 2, 8}, {2, 7, 1, 8, 2, 8}, {3, 1, 4, 1, 5, 9}});
  ASSERT_EQ(Analyse(twins, 2, Cols({{1, 2, 3, 4, 5, 6}}), y).Number(), 0);
  ExpectPerfectPair(twins.TestStat(), twins.P(), 1, 2);
  const Array<Variant> t = twins.TestStat().Variants();
  ASSERT_EQ(t(1, 3).Kind(), VarKind::kDouble);
  EXPECT_TRUE(CloseRel(t(1, 3).AsDouble(), t(3, 1).AsDouble(), 1e-14));
  EXPECT_TRUE(CloseProb(twins.P().Variants()(2, 3).AsDouble(), twins.P().Variants()(3, 2).AsDouble()));
}

TEST(MultipleCorrelation, UnrelatedDependentGivesZero) {
  // y is orthogonal to a constant, x and x^2 (a third difference): R is
  // exactly 0, F is 0 and its probability 1.
  clsCorrelationBO e;
  ASSERT_EQ(Analyse(e, 1, Cols({{1, 2, 3, 4, 5, 6}, {1, 4, 9, 16, 25, 36}}), Cols({{-1, 3, -3, 1, 0, 0}})).Number(), 0);
  ASSERT_EQ(e.R().Variants()(1).Kind(), VarKind::kDouble);
  EXPECT_EQ(e.R().Variants()(1).AsDouble(), 0.0);
  EXPECT_EQ(e.TestStat().Variants()(1).AsDouble(), 0.0);
  EXPECT_FALSE(std::signbit(e.TestStat().Variants()(1).AsDouble())) << "F is +0, not -0";
  EXPECT_NEAR(e.P().Variants()(1).AsDouble(), 1.0, 1e-10);
}

TEST(CanonicalCorrelation, TooFewCasesGiveMarkersOnly) {
  // n <= (p + q + 3) / 2: no chi-square is positive. With so few cases the
  // sets' centred spans overlap, so a canonical correlation is exactly 1 and
  // stops the run (no logarithm of a lambda of 0); a run that completes all
  // the same (rounding just below 1) has the marker for every p-value, while
  // lambdas and degrees of freedom are filled.
  const std::vector<std::pair<Matrix, Matrix>> sets{
      {Cols({{1, 2, 4}, {3, 1, 4}}), Cols({{2, 7, 1}, {5, 9, 2}})},
      {Cols({{0.5, 1.5, 3}}), Cols({{1, 2, 2}, {3, 5, 4}})},
      {Cols({{1, 3, 2, 8}, {2, 2, 5, 1}}), Cols({{1, 4, 1, 4}, {2, 1, 3, 5}, {7, 1, 8, 2}})}};
  for (const auto& [x, y] : sets) {
    clsCorrelationBO e;
    const Error error = Analyse(e, 3, x, y);
    if (error.Number() != 0) {
      EXPECT_EQ(error.Number(), rt::kInvalidCall);
      EXPECT_TRUE(TrailsThrough(error, R"(TestCanCorr\.DoCanonicalCorr)"));
      continue;
    }
    const auto m = std::min(x.UBound(2), y.UBound(2));
    ASSERT_EQ(e.CanCorrP().Variants().UBound(1), m);
    for (std::int32_t k = 1; k <= m; ++k) {
      EXPECT_TRUE(IsMarker(e.CanCorrP().Variants()(k)));
      EXPECT_LE(e.CanCorrChiSq()(k), 0.0);
      EXPECT_TRUE(std::isfinite(e.CanCorrLambda()(k)));
      EXPECT_EQ(e.CanCorrDF()(k), static_cast<double>((x.UBound(2) - k + 1) * (y.UBound(2) - k + 1)));
    }
  }
}

TEST(MendedFaults, ZeroCanonicalCorrelationWithANegativeEigenvalueKeepsItsPlace) {
  // Set 2's second variable is made exactly uncorrelated with set 1 (its
  // projections on 1, x1 and x2 removed, twice): the second eigenvalue is a
  // rounding error of either sign, and must give a correlation of 0, not end
  // the list short of m.
  std::mt19937_64 rng(20240611);
  std::normal_distribution<double> normal;
  const std::int32_t n = 30;
  for (int trial = 0; trial < 20; ++trial) {
    Matrix x = Array<double>::Matrix(n, 2), y = Array<double>::Matrix(n, 2);
    std::vector<std::vector<double>> basis(3, std::vector<double>(n, 1.0));
    std::vector<double> free(n);
    for (std::int32_t i = 1; i <= n; ++i) {
      basis[1][i - 1] = x(i, 1) = normal(rng);
      basis[2][i - 1] = x(i, 2) = normal(rng);
      y(i, 1) = normal(rng) + 0.5 * x(i, 1);
      free[i - 1] = normal(rng);
    }
    auto removeProjection = [n](std::vector<double>& v, const std::vector<double>& on) {
      double dot = 0, nn = 0;
      for (std::int32_t i = 0; i < n; ++i) dot += v[i] * on[i], nn += on[i] * on[i];
      for (std::int32_t i = 0; i < n; ++i) v[i] -= dot / nn * on[i];
    };
    for (std::size_t a = 1; a < basis.size(); ++a)  // Gram-Schmidt
      for (std::size_t c = 0; c < a; ++c) removeProjection(basis[a], basis[c]);
    for (int pass = 0; pass < 2; ++pass)
      for (const auto& b : basis) removeProjection(free, b);
    for (std::int32_t i = 1; i <= n; ++i) y(i, 2) = free[i - 1];

    clsCorrelationBO e;
    const Error error = Analyse(e, 3, x, y, {.raw = true});
    ASSERT_EQ(error.Number(), 0) << "trial " << trial << ": " << error.Description() << " at " << error.Source();
    ASSERT_EQ(e.CanCorrelations().UBound(1), 2) << trial;
    EXPECT_LT(e.CanCorrelations()(2), 1e-6) << trial;
    ASSERT_EQ(e.CanCorrP().Variants().UBound(1), 2);
    for (std::int32_t k = 1; k <= 2; ++k) {
      EXPECT_TRUE(std::isfinite(e.CanCorrChiSq()(k)));
      const Variant p = e.CanCorrP().Variants()(k);
      EXPECT_TRUE(IsMarker(p) || std::isfinite(p.AsDouble())) << trial;
      EXPECT_TRUE(std::isfinite(e.CanLoadingsRawX()(k, 2)));
    }
  }
}

TEST(EngineErrors, EachStopsTheRunWithItsNumberAndTheAnalysisInItsSource) {
  struct Case {
    const char* what;
    std::int32_t method;
    Matrix x, y;
    std::int32_t number;
    const char* routine;
    const char* starts = "";  // how the description starts
  };
  const std::vector<Case> cases{
      {"constant dependent variable", 1, Cols({{1, 2, 3, 4, 5, 6}, {2, 1, 4, 3, 6, 5}}), Cols({{4, 4, 4, 4, 4, 4}}),
       ComponentError(6018), "DoMultipleCorr", "Variable 1 of the Y range"},
      {"constant variable (0.1 is inexact)", 0, Cols({{1, 2, 3, 4}, {0.1, 0.1, 0.1, 0.1}, {2, 1, 4, 3}}), Matrix(),
       ComponentError(6018), "DoSimpleCorr", "Variable 2 of the X range"},
      {"constant control", 2, Cols({{7, 7, 7, 7, 7}}), Cols({{1, 2, 3, 4, 5}, {2, 1, 4, 3, 5}}),
       ComponentError(6018), "DoPartialCorr", "Variable 1 of the X range"},
      {"constant variable in the second set", 3, Cols({{1, 2, 3, 4, 5}, {2, 1, 4, 3, 5}}),
       Cols({{2, 7, 1, 8, 2}, {-3, -3, -3, -3, -3}}), ComponentError(6018), "DoCanonicalCorr",
       "Variable 2 of the Y range"},
      {"two identical predictors (support library error)", 1, Cols({{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}}),
       Cols({{2, 1, 4, 3, 5}}), ComponentError(6011), "DoMultipleCorr"},
      {"no dependent variable", 1, Cols({{1, 2, 3, 4, 5}}), Matrix(), -1, "DoMultipleCorr"},
      {"variable determined by the control", 2, Cols({{0, 0, 4, 4}}), Cols({{0, 0, 4, 4}, {1, 3, 2, 5}}),
       rt::kDivisionByZero, "DoPartialCorr", "Division by zero"},
      {"collinear set", 3, Cols({{1, 2, 3, 4, 5}, {2, 4, 6, 8, 10}}), Cols({{2, 7, 1, 8, 2}}), ComponentError(6011),
       "DoCanonicalCorr"},
      {"more than 32767 variables", 3, Array<double>::Matrix(3, 32768), Cols({{1, 2, 3}}), rt::kOverflow,
       "DoCanonicalCorr"},
  };
  for (const Case& c : cases) {
    clsCorrelationBO e;
    const Error error = Analyse(e, c.method, c.x, c.y);
    if (c.number >= 0)
      EXPECT_EQ(error.Number(), c.number) << c.what;
    else
      EXPECT_NE(error.Number(), 0) << c.what;
    EXPECT_TRUE(TrailsThrough(error, c.routine)) << c.what;
    EXPECT_EQ(error.Description().rfind(c.starts, 0), 0u) << c.what << ": " << error.Description();
  }
}

}  // namespace
}  // namespace nml::test
