// Canonical correlation against independent reference values, its shapes and
// invariants, the flags, and degenerate sets.
#include <cmath>
#include <random>
#include <regex>

#include "engine_fixture.h"

namespace nml::test {
namespace {

double Mean(const Matrix& m, std::int32_t col) {
  double s = 0;
  for (std::int32_t i = 1; i <= m.UBound(1); ++i) s += m(i, col);
  return s / m.UBound(1);
}

/// Pearson correlation of column a of u with column b of v, computed here.
double Corr(const Matrix& u, std::int32_t a, const Matrix& v, std::int32_t b) {
  const double mu = Mean(u, a), mv = Mean(v, b);
  double suv = 0, suu = 0, svv = 0;
  for (std::int32_t i = 1; i <= u.UBound(1); ++i) {
    suv += (u(i, a) - mu) * (v(i, b) - mv);
    suu += (u(i, a) - mu) * (u(i, a) - mu);
    svv += (v(i, b) - mv) * (v(i, b) - mv);
  }
  return suv / std::sqrt(suu * svv);
}

/// Each column rescaled to mean 0 and standard deviation 1.
Matrix ZScores(Matrix m) {
  for (std::int32_t j = 1; j <= m.UBound(2); ++j) {
    const double mean = Mean(m, j);
    double ss = 0;
    for (std::int32_t i = 1; i <= m.UBound(1); ++i) ss += (m(i, j) - mean) * (m(i, j) - mean);
    const double sd = std::sqrt(ss / (m.UBound(1) - 1));
    for (std::int32_t i = 1; i <= m.UBound(1); ++i) m(i, j) = (m(i, j) - mean) / sd;
  }
  return m;
}

void RunCanonical(clsCorrelationBO& engine, const Matrix& x, const Matrix& y, bool raw, bool standardised) {
  engine.X(x);
  engine.Y(y);
  engine.Method(3);
  engine.Raw(ToVBool(raw));
  engine.Standardised(ToVBool(standardised));
  engine.Analyse();
}

struct CanonicalCase {
  std::string data;
  std::size_t index;
};

class CanonicalReference : public ::testing::TestWithParam<CanonicalCase> {};

TEST_P(CanonicalReference, MatchesEveryValue) {
  const json reference = LoadReference(GetParam().data);
  const auto cases = CasesOf(reference, "canonical");
  ASSERT_LT(GetParam().index, cases.size());
  const json& c = cases[GetParam().index];
  const CsvData csv(reference.at("data"));
  const Matrix x = csv.Columns(c.at("x"));
  const Matrix y = csv.Columns(c.at("y"));
  const auto p = x.UBound(2), q = y.UBound(2), m = std::min(p, q);

  clsCorrelationBO engine;
  engine.CalculateDescriptives(kVTrue);
  RunCanonical(engine, x, y, true, true);

  ExpectDoubleMatrix(engine.R().Doubles(), c.at("R"), "R");
  ExpectVariantMatrix(engine.P(), c.at("P"), true, "P");
  ExpectVector(engine.Means(), c.at("mean"), "Means");
  ExpectVector(engine.SDs(), c.at("sd"), "SDs");

  const Array<double> cancor = engine.CanCorrelations();
  ASSERT_GE(cancor.UBound(1), m);
  ASSERT_LE(cancor.UBound(1), q);
  for (std::int32_t j = 1; j <= m; ++j) EXPECT_TRUE(CloseRel(cancor(j), c.at("cancor").at(j - 1).get<double>())) << j;
  for (std::int32_t j = m + 1; j <= cancor.UBound(1); ++j) EXPECT_LT(cancor(j), 1e-6) << j;

  ExpectVector(engine.CanCorrLambda(), c.at("lambda"), "lambda");
  ExpectVector(engine.CanCorrChiSq(), c.at("chisq"), "chisq");
  ExpectVector(engine.CanCorrDF(), c.at("df"), "df");
  const Array<Variant> prob = engine.CanCorrP().Variants();
  ASSERT_EQ(prob.UBound(1), m);
  for (std::int32_t j = 1; j <= m; ++j) EXPECT_TRUE(CellMatches(prob(j), c.at("p").at(j - 1), true)) << j;

  ExpectColumnsUpToSign(engine.CanCoeffsStdX(), c.at("stdcoef_x"), "CanCoeffsStdX");
  ExpectColumnsUpToSign(engine.CanCoeffsStdY(), c.at("stdcoef_y"), "CanCoeffsStdY");
  ExpectColumnsUpToSign(engine.CanLoadingsRawX(), c.at("load_x"), "CanLoadingsRawX");
  ExpectColumnsUpToSign(engine.CanLoadingsRawY(), c.at("load_y"), "CanLoadingsRawY");
  ExpectColumnsUpToSign(engine.CanLoadingsCrossRawX(), c.at("cross_x"), "CanLoadingsCrossRawX");
  ExpectColumnsUpToSign(engine.CanLoadingsCrossRawY(), c.at("cross_y"), "CanLoadingsCrossRawY");

  // Shapes: m variates everywhere.
  EXPECT_EQ(engine.CanCoeffsRawX().UBound(1), p);
  EXPECT_EQ(engine.CanCoeffsRawX().UBound(2), m);
  EXPECT_EQ(engine.CanCoeffsRawY().UBound(1), q);
  EXPECT_EQ(engine.CanCoeffsRawY().UBound(2), m);
  for (const Matrix& scores : {engine.CanVarRawX(), engine.CanVarRawY(), engine.CanVarStdX(), engine.CanVarStdY()}) {
    EXPECT_EQ(scores.UBound(1), x.UBound(1));
    EXPECT_EQ(scores.UBound(2), m);
  }

  // Loadings do not depend on the spread of each variable, so on z-scores the
  // standardised scores give the reference loadings too.
  clsCorrelationBO onZ;
  RunCanonical(onZ, ZScores(x), ZScores(y), false, true);
  ExpectColumnsUpToSign(onZ.CanLoadingsStdX(), c.at("load_x"), "CanLoadingsStdX");
  ExpectColumnsUpToSign(onZ.CanLoadingsStdY(), c.at("load_y"), "CanLoadingsStdY");
  ExpectColumnsUpToSign(onZ.CanLoadingsCrossStdX(), c.at("cross_x"), "CanLoadingsCrossStdX");
  ExpectColumnsUpToSign(onZ.CanLoadingsCrossStdY(), c.at("cross_y"), "CanLoadingsCrossStdY");
  ExpectColumnsUpToSign(onZ.CanCoeffsStdX(), c.at("stdcoef_x"), "CanCoeffsStdX on z-scores");
}

INSTANTIATE_TEST_SUITE_P(Data, CanonicalReference,
                         ::testing::Values(CanonicalCase{"savings", 0}, CanonicalCase{"savings", 1},
                                           CanonicalCase{"iris", 0}),
                         [](const auto& info) { return info.param.data + std::to_string(info.param.index); });

TEST(CanonicalCorrelation, ScoresAreUnitScaledAndPairedByTheCanonicalCorrelations) {
  const CsvData csv("savings.csv");
  clsCorrelationBO engine;
  RunCanonical(engine, csv.Columns({"pop15", "pop75"}), csv.Columns({"sr", "dpi", "ddpi"}), true, false);
  const Matrix u = engine.CanVarRawX(), v = engine.CanVarRawY();
  const Array<double> cancor = engine.CanCorrelations();
  for (std::int32_t k = 1; k <= 2; ++k) {
    // a' S a = 1 with S the centred sums of cross-products.
    for (const Matrix* s : {&u, &v}) {
      const double mean = Mean(*s, k);
      double ss = 0;
      for (std::int32_t i = 1; i <= s->UBound(1); ++i) ss += ((*s)(i, k) - mean) * ((*s)(i, k) - mean);
      EXPECT_NEAR(ss, 1.0, 1e-12);
    }
    EXPECT_NEAR(std::fabs(Corr(u, k, v, k)), cancor(k), 1e-12);
  }
  EXPECT_NEAR(Corr(u, 1, u, 2), 0.0, 1e-12);
  EXPECT_NEAR(Corr(v, 1, v, 2), 0.0, 1e-12);
}

TEST(CanonicalCorrelation, OneVariableInEachSet) {
  // x = 1..5, y = (2, 1, 4, 3, 5): r = 0.8, lambda = 0.36,
  // chi-square = -(5 - 5/2) ln 0.36, one degree of freedom.
  clsCorrelationBO engine;
  RunCanonical(engine, Cols({{1, 2, 3, 4, 5}}), Cols({{2, 1, 4, 3, 5}}), true, true);
  ASSERT_EQ(engine.CanCorrelations().UBound(1), 1);
  EXPECT_TRUE(CloseRel(engine.CanCorrelations()(1), 0.8));
  EXPECT_TRUE(CloseRel(engine.CanCorrLambda()(1), 0.36));
  EXPECT_TRUE(CloseRel(engine.CanCorrChiSq()(1), 2.5541281188299534));
  EXPECT_EQ(engine.CanCorrDF()(1), 1.0);
  EXPECT_TRUE(CloseProb(engine.CanCorrP().Variants()(1).AsDouble(), 0.11000648692939131));
  EXPECT_NEAR(std::fabs(engine.CanCoeffsStdX()(1, 1)), 1.0, 1e-14);
  EXPECT_NEAR(std::fabs(engine.CanLoadingsRawX()(1, 1)), 1.0, 1e-14);
  EXPECT_NEAR(std::fabs(engine.CanLoadingsCrossRawX()(1, 1)), 0.8, 1e-14);
}

TEST(CanonicalCorrelation, MoreVariablesInTheFirstSet) {
  const CsvData csv("savings.csv");
  clsCorrelationBO engine;
  RunCanonical(engine, csv.Columns({"sr", "dpi", "ddpi"}), csv.Columns({"pop15", "pop75"}), true, true);
  EXPECT_EQ(engine.CanCorrelations().UBound(1), 2);
  EXPECT_EQ(engine.CanCoeffsRawX().UBound(1), 3);
  EXPECT_EQ(engine.CanCoeffsRawX().UBound(2), 2);
  EXPECT_EQ(engine.CanCoeffsStdX().UBound(2), 2);
  EXPECT_EQ(engine.CanCoeffsRawY().UBound(1), 2);
  EXPECT_EQ(engine.CanCoeffsRawY().UBound(2), 2);
  EXPECT_EQ(engine.CanLoadingsCrossRawX().UBound(1), 3);
  EXPECT_EQ(engine.CanLoadingsCrossRawY().UBound(1), 2);
  EXPECT_EQ(engine.CanCorrDF()(1), 6.0);
  EXPECT_EQ(engine.CanCorrDF()(2), 2.0);
}

TEST(CanonicalCorrelation, StandardisedCoefficientsIgnoreTheScaleOfASet) {
  const CsvData csv("iris.csv");
  const Matrix x = csv.Columns({"Sepal.Length", "Sepal.Width"});
  Matrix scaled = x;
  for (std::size_t i = 0; i < scaled.Size(); ++i) scaled.Data()[i] *= 1000;
  const Matrix y = csv.Columns({"Petal.Length", "Petal.Width"});
  clsCorrelationBO a, b;
  RunCanonical(a, x, y, false, false);
  RunCanonical(b, scaled, y, false, false);
  for (std::int32_t i = 1; i <= 2; ++i)
    for (std::int32_t k = 1; k <= 2; ++k) {
      EXPECT_NEAR(std::fabs(b.CanCoeffsStdX()(i, k)), std::fabs(a.CanCoeffsStdX()(i, k)), 1e-12);
      EXPECT_NEAR(std::fabs(b.CanCoeffsRawX()(i, k)) * 1000, std::fabs(a.CanCoeffsRawX()(i, k)), 1e-12);
    }
}

TEST(CanonicalCorrelation, UnrequestedKindsKeepTheirValues) {
  const CsvData csv("iris.csv");
  const Matrix x = csv.Columns({"Sepal.Length", "Sepal.Width"});
  const Matrix y = csv.Columns({"Petal.Length", "Petal.Width"});
  const Matrix y2 = csv.Columns({"Petal.Width", "Petal.Length"});
  clsCorrelationBO engine;
  RunCanonical(engine, x, y, true, true);
  const Matrix stdScores = engine.CanVarStdX(), stdLoadings = engine.CanLoadingsCrossStdY();
  const Matrix rawScores = engine.CanVarRawY();

  RunCanonical(engine, x, y2, true, false);
  EXPECT_EQ(engine.CanVarStdX(), stdScores);
  EXPECT_EQ(engine.CanLoadingsCrossStdY(), stdLoadings);
  EXPECT_FALSE(engine.CanVarRawY() == rawScores);  // raw results were renewed

  const Matrix rawNow = engine.CanVarRawY();
  RunCanonical(engine, y, x, false, false);
  EXPECT_EQ(engine.CanVarRawY(), rawNow);
  EXPECT_EQ(engine.CanVarStdX(), stdScores);
}

/// Two sets of two where the second Y variable is exactly uncorrelated with
/// both X variables: the second canonical correlation is 0 and its
/// eigenvalue comes out as a rounding error of either sign.
Matrix Orthogonalised(const Matrix& x, std::vector<double> v) {
  // Remove from v its projection on 1, x1 and x2 by two Gram-Schmidt passes.
  const auto n = static_cast<std::int32_t>(v.size());
  std::vector<std::vector<double>> basis{std::vector<double>(n, 1.0)};
  for (std::int32_t j = 1; j <= 2; ++j) {
    std::vector<double> b(n);
    for (std::int32_t i = 1; i <= n; ++i) b[i - 1] = x(i, j);
    basis.push_back(b);
  }
  for (std::size_t a = 0; a < basis.size(); ++a)
    for (std::size_t c = 0; c < a; ++c) {
      double dot = 0, nn = 0;
      for (std::int32_t i = 0; i < n; ++i) dot += basis[a][i] * basis[c][i], nn += basis[c][i] * basis[c][i];
      for (std::int32_t i = 0; i < n; ++i) basis[a][i] -= dot / nn * basis[c][i];
    }
  for (int pass = 0; pass < 2; ++pass)
    for (const auto& b : basis) {
      double dot = 0, nn = 0;
      for (std::int32_t i = 0; i < n; ++i) dot += v[i] * b[i], nn += b[i] * b[i];
      for (std::int32_t i = 0; i < n; ++i) v[i] -= dot / nn * b[i];
    }
  Matrix out = Array<double>::Matrix(n, 1);
  for (std::int32_t i = 1; i <= n; ++i) out(i, 1) = v[i - 1];
  return out;
}

TEST(CanonicalCorrelation, ZeroCanonicalCorrelationDoesNotShortenTheList) {
  std::mt19937_64 rng(20240611);
  std::normal_distribution<double> normal;
  for (int trial = 0; trial < 40; ++trial) {
    const std::int32_t n = 30;
    Matrix x = Array<double>::Matrix(n, 2), y = Array<double>::Matrix(n, 2);
    std::vector<double> free(n);
    for (std::int32_t i = 1; i <= n; ++i) {
      x(i, 1) = normal(rng);
      x(i, 2) = normal(rng);
      y(i, 1) = normal(rng) + 0.5 * x(i, 1);
      free[i - 1] = normal(rng);
    }
    const Matrix orth = Orthogonalised(x, free);
    for (std::int32_t i = 1; i <= n; ++i) y(i, 2) = orth(i, 1);

    clsCorrelationBO engine;
    engine.X(x);
    engine.Y(y);
    engine.Method(3);
    engine.Raw(kVTrue);
    const Error e = RunExpectingError(engine);
    ASSERT_EQ(e.Number(), 0) << "trial " << trial << ": " << e.Description() << " at " << e.Source();
    const Array<double> cancor = engine.CanCorrelations();
    ASSERT_EQ(cancor.UBound(1), 2) << trial;
    EXPECT_LT(cancor(2), 1e-6) << trial;
    EXPECT_EQ(engine.CanCorrP().Variants().UBound(1), 2);
    EXPECT_TRUE(AllFinite(engine.CanCorrChiSq()));
    EXPECT_TRUE(AllFinite(engine.CanCorrP()));
    EXPECT_TRUE(AllFinite(engine.CanLoadingsRawX()));
  }
}

TEST(CanonicalCorrelation, MoreVariablesInTheSecondSetKeepTheirTrailingCorrelations) {
  const CsvData csv("longley.csv");
  clsCorrelationBO engine;
  RunCanonical(engine, csv.Columns({"GNP", "Unemployed"}),
               csv.Columns({"Armed.Forces", "Population", "Employed", "GNP.deflator"}), true, true);
  const Array<double> cancor = engine.CanCorrelations();
  ASSERT_GE(cancor.UBound(1), 2);
  ASSERT_LE(cancor.UBound(1), 4);
  for (std::int32_t j = 3; j <= cancor.UBound(1); ++j) EXPECT_LT(cancor(j), 1e-6);
  EXPECT_EQ(engine.CanCoeffsRawY().UBound(1), 4);
  EXPECT_EQ(engine.CanCoeffsRawY().UBound(2), 2);
  EXPECT_EQ(engine.CanCorrLambda().UBound(1), 2);
  EXPECT_EQ(engine.CanCorrDF()(2), 3.0);  // (p - m + 1)(q - m + 1) = 1 * 3
}

TEST(CanonicalCorrelation, TooFewCasesGiveMarkersOnly) {
  // n <= (p + q + 3) / 2: no chi-square is positive. With so few cases the
  // sets overlap, and a canonical correlation that comes out as exactly 1
  // stops the run (lambda 0 has no logarithm); otherwise every p-value is the
  // marker while lambdas and degrees of freedom are filled.
  const std::vector<std::pair<Matrix, Matrix>> sets{
      {Cols({{1, 2, 4}, {3, 1, 4}}), Cols({{2, 7, 1}, {5, 9, 2}})},
      {Cols({{0.5, 1.5, 3}}), Cols({{1, 2, 2}, {3, 5, 4}})},
      {Cols({{1, 3, 2, 8}, {2, 2, 5, 1}}), Cols({{1, 4, 1, 4}, {2, 1, 3, 5}, {7, 1, 8, 2}})}};
  int completed = 0;
  for (const auto& [x, y] : sets) {
    clsCorrelationBO engine;
    engine.X(x);
    engine.Y(y);
    engine.Method(3);
    const Error e = RunExpectingError(engine);
    if (e.Number() != 0) {
      EXPECT_EQ(e.Number(), rt::kInvalidCall);
      EXPECT_NE(e.Source().find("TestCanCorr.DoCanonicalCorr.Analyse"), std::string::npos) << e.Source();
      continue;
    }
    ++completed;
    const auto m = std::min(x.UBound(2), y.UBound(2));
    const Array<Variant> prob = engine.CanCorrP().Variants();
    ASSERT_EQ(prob.UBound(1), m);
    for (std::int32_t k = 1; k <= m; ++k) {
      EXPECT_TRUE(IsMarker(prob(k)));
      EXPECT_LE(engine.CanCorrChiSq()(k), 0.0);
      EXPECT_TRUE(std::isfinite(engine.CanCorrLambda()(k)));
      EXPECT_EQ(engine.CanCorrDF()(k), static_cast<double>((x.UBound(2) - k + 1) * (y.UBound(2) - k + 1)));
    }
  }
  EXPECT_GT(completed, 0);
}

TEST(CanonicalCorrelation, ExactlyNegativeCorrelationGetsTheMarker) {
  // x2 = -y1: their correlation is exactly -1. The significance matrix marks
  // it instead of dividing by zero; the run itself may still stop later on
  // the canonical correlation of 1 that such sets have.
  clsCorrelationBO engine;
  engine.X(Cols({{1, 2, 3, 4, 5, 6, 7}, {-2, -7, -1, -8, -2, -8, -1}}));
  engine.Y(Cols({{2, 7, 1, 8, 2, 8, 1}, {3, 1, 4, 1, 5, 9, 2}}));
  engine.Method(3);
  const Error e = RunExpectingError(engine);
  if (e.Number() != 0) {
    EXPECT_EQ(e.Number(), rt::kInvalidCall);
    EXPECT_NE(e.Source().find("TestCanCorr"), std::string::npos) << e.Source();
  }
  ASSERT_EQ(engine.R().Doubles()(2, 3), -1.0);
  const Array<Variant> p = engine.P().Variants();
  EXPECT_TRUE(IsMarker(p(2, 3)));
  EXPECT_TRUE(IsMarker(p(3, 2)));
  EXPECT_EQ(p(1, 3).Kind(), VarKind::kDouble);
  for (int i = 1; i <= 4; ++i) EXPECT_TRUE(IsMarker(p(i, i)));
}

TEST(CanonicalCorrelation, SingularSetIsAnError) {
  clsCorrelationBO engine;
  engine.X(Cols({{1, 2, 3, 4, 5}, {2, 4, 6, 8, 10}}));
  engine.Y(Cols({{2, 7, 1, 8, 2}}));
  engine.Method(3);
  const Error e = RunExpectingError(engine);
  EXPECT_NE(e.Number(), 0);
  EXPECT_TRUE(std::regex_match(
      e.Source(), std::regex(R"(Line \d+ in NMLCorrelation\.clsCorrelationBO\.DoCanonicalCorr\.Analyse)")))
      << e.Source();
}

}  // namespace
}  // namespace nml::test
