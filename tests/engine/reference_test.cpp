// The four analyses against values worked out independently: every case of
// the reference files, the certified NIST results (Longley, Wampler1 to 5),
// an exact polynomial fit, and a small data set worked by hand.
#include <cmath>
#include <map>

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

Variant V(const Matrix& m) { return Variant(m); }

/// The canonical results the reference holds, and the properties of those it
/// cannot hold (raw coefficients and scores, whose scale is free).
void ExpectCanonical(const clsCorrelationBO& e, const json& c, const Matrix& x, const Matrix& y) {
  const std::int32_t p = x.UBound(2), q = y.UBound(2), m = std::min(p, q);
  const Array<double> cancor = e.CanCorrelations();
  ASSERT_GE(cancor.UBound(1), m);
  ASSERT_LE(cancor.UBound(1), q);
  for (std::int32_t j = 1; j <= m; ++j) EXPECT_TRUE(CloseRel(cancor(j), c.at("cancor").at(j - 1).get<double>())) << j;
  for (std::int32_t j = m + 1; j <= cancor.UBound(1); ++j) EXPECT_LT(cancor(j), 1e-6) << j;
  ExpectLike(Variant(e.CanCorrLambda()), c.at("lambda"), Compare::kStat, "lambda");
  ExpectLike(Variant(e.CanCorrChiSq()), c.at("chisq"), Compare::kStat, "chisq");
  ExpectLike(Variant(e.CanCorrDF()), c.at("df"), Compare::kStat, "df");
  ExpectLike(e.CanCorrP(), c.at("p"), Compare::kProb, "p");
  ExpectLike(V(e.CanCoeffsStdX()), c.at("stdcoef_x"), Compare::kUpToSign, "CanCoeffsStdX");
  ExpectLike(V(e.CanCoeffsStdY()), c.at("stdcoef_y"), Compare::kUpToSign, "CanCoeffsStdY");
  ExpectLike(V(e.CanLoadingsRawX()), c.at("load_x"), Compare::kUpToSign, "CanLoadingsRawX");
  ExpectLike(V(e.CanLoadingsRawY()), c.at("load_y"), Compare::kUpToSign, "CanLoadingsRawY");
  ExpectLike(V(e.CanLoadingsCrossRawX()), c.at("cross_x"), Compare::kUpToSign, "CanLoadingsCrossRawX");
  ExpectLike(V(e.CanLoadingsCrossRawY()), c.at("cross_y"), Compare::kUpToSign, "CanLoadingsCrossRawY");

  // Raw scores: m columns each, unit centred sums of squares, paired by the
  // canonical correlations and uncorrelated within a set.
  const Matrix u = e.CanVarRawX(), v = e.CanVarRawY(), a = e.CanCoeffsRawX(), b = e.CanCoeffsRawY();
  ASSERT_EQ(a.UBound(1), p);
  ASSERT_EQ(b.UBound(1), q);
  ASSERT_TRUE(u.UBound(1) == x.UBound(1) && v.UBound(1) == x.UBound(1));
  for (const Matrix* s : {&u, &v, &a, &b}) ASSERT_EQ(s->UBound(2), m);
  for (std::int32_t k = 1; k <= m; ++k) {
    for (const Matrix* s : {&u, &v}) {
      const double mean = Mean(*s, k);
      double ss = 0;
      for (std::int32_t i = 1; i <= s->UBound(1); ++i) ss += ((*s)(i, k) - mean) * ((*s)(i, k) - mean);
      EXPECT_NEAR(ss, 1.0, 1e-12) << k;
    }
    EXPECT_NEAR(std::fabs(Corr(u, k, v, k)), cancor(k), 1e-12) << k;
    for (std::int32_t l = 1; l < k; ++l) EXPECT_NEAR(Corr(u, k, u, l), 0.0, 1e-12) << k << "," << l;
  }

  // Loadings do not depend on the spread of each variable, so on z-scores the
  // standardised scores give the reference loadings too.
  clsCorrelationBO onZ;
  ASSERT_EQ(Analyse(onZ, 3, ZScores(x), ZScores(y), {.standardised = true}).Number(), 0);
  ExpectLike(V(onZ.CanLoadingsStdX()), c.at("load_x"), Compare::kUpToSign, "CanLoadingsStdX");
  ExpectLike(V(onZ.CanLoadingsStdY()), c.at("load_y"), Compare::kUpToSign, "CanLoadingsStdY");
  ExpectLike(V(onZ.CanLoadingsCrossStdX()), c.at("cross_x"), Compare::kUpToSign, "CanLoadingsCrossStdX");
  ExpectLike(V(onZ.CanLoadingsCrossStdY()), c.at("cross_y"), Compare::kUpToSign, "CanLoadingsCrossStdY");
}

TEST(ReferenceValues, EveryCaseOfEveryFileAgrees) {
  const std::map<std::string, std::int32_t> methods{{"simple", 0}, {"multiple", 1}, {"partial", 2}, {"canonical", 3}};
  int cases = 0;
  for (const char* file : {"iris", "savings", "longley"}) {
    const json reference = LoadReference(file);
    const CsvData csv(reference.at("data"));
    for (const json& c : reference.at("cases")) {
      const std::string method = c.at("method");
      SCOPED_TRACE(std::string(file) + " " + method + " x " + c.at("x").dump() + " y " + c.at("y").dump());
      const Matrix x = csv.Columns(c.at("x"));
      const Matrix y = c.at("y").empty() ? Matrix() : csv.Columns(c.at("y"));
      clsCorrelationBO e;
      const Error error = Analyse(e, methods.at(method), x, y, {true, true, true});
      ASSERT_EQ(error.Number(), 0) << error.Description() << " at " << error.Source();
      ++cases;
      ExpectLike(e.R(), c.at("R"), Compare::kStat, "R");
      ExpectLike(e.P(), c.at("P"), Compare::kProb, "P");
      // Dependent variables (or set 1) first, then the others.
      ExpectLike(Variant(e.Means()), c.at("mean"), Compare::kStat, "Means");
      ExpectLike(Variant(e.SDs()), c.at("sd"), Compare::kStat, "SDs");
      if (method == "canonical")
        ExpectCanonical(e, c, x, y);
      else
        ExpectLike(e.TestStat(), c.at(method == "multiple" ? "F" : "T"), Compare::kStat, "TestStat");
    }
  }
  EXPECT_EQ(cases, 11);
}

TEST(CertifiedValues, RSquaredOfTheNistLinearRegressionSets) {
  struct Case {
    std::string label, file;
    std::vector<std::string> x;
    std::string y;
    double r2;
  };
  std::vector<Case> cases{{"Longley", "longley.csv",
                           {"GNP.deflator", "GNP", "Unemployed", "Armed.Forces", "Population", "Year"}, "Employed",
                           0.995479004577296}};
  const json wampler = LoadReference("wampler");
  for (const auto& [y, r2] : wampler.at("certified_r_squared").items())
    cases.push_back({"Wampler" + y.substr(1), wampler.at("data"), wampler.at("x"), y, r2.get<double>()});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const CsvData csv(c.file);
    clsCorrelationBO e;
    ASSERT_EQ(Analyse(e, 1, csv.Columns(c.x), csv.Columns({c.y})).Number(), 0);
    const double r = e.R().Variants()(1).AsDouble();
    EXPECT_NEAR(r * r, c.r2, c.r2 * 5e-15);  // 15 digits, to a few units of the last
  }
}

TEST(CertifiedValues, ExactPolynomialOnPowersIsAPerfectFitAtEveryScale) {
  // x, x^2, ..., x^5 for x = 0..20: a badly conditioned set of predictors.
  Matrix powers = Array<double>::Matrix(21, 5), y = Array<double>::Matrix(21, 1);
  for (int i = 1; i <= 21; ++i)
    for (int j = 1; j <= 5; ++j) powers(i, j) = std::pow(static_cast<double>(i - 1), j);
  for (double scale : {1e-9, 1e-3, 1.0, 7.0, 1e3, 1e9}) {
    for (int i = 1; i <= 21; ++i) {
      const double x = i - 1;
      y(i, 1) = scale * (3.0 - 2.0 * x + 0.5 * x * x + 0.25 * x * x * x - 0.125 * x * x * x * x +
                         0.0625 * x * x * x * x * x);
    }
    clsCorrelationBO e;
    ASSERT_EQ(Analyse(e, 1, powers, y).Number(), 0) << scale;
    const double r = e.R().Variants()(1).AsDouble();
    EXPECT_EQ(FormatNumber15(r * r), "1") << "scale " << scale << ": R squared " << r * r;
    EXPECT_TRUE(IsZeroInteger(e.TestStat().Variants()(1))) << scale;
    EXPECT_TRUE(IsMarker(e.P().Variants()(1))) << scale;
  }
}

TEST(HandWorked, FiveCasesWithACorrelationOfFourFifths) {
  // x = 1..5, y = (2, 1, 4, 3, 5): r = 0.8 and t = 0.8 sqrt(3) / 0.6, whose
  // two-sided probability on 3 df is 0.10408803866182786; F = t^2 = 16/3 has
  // the same probability.
  const Matrix x = Cols({{1, 2, 3, 4, 5}}), y = Cols({{2, 1, 4, 3, 5}});
  const Matrix both = Cols({{1, 2, 3, 4, 5}, {2, 1, 4, 3, 5}});
  clsCorrelationBO simple, multiple, canonical;
  ASSERT_EQ(Analyse(simple, 0, both).Number(), 0);
  EXPECT_TRUE(CloseRel(simple.R().Doubles()(1, 2), 0.8));
  EXPECT_TRUE(CloseRel(simple.TestStat().Variants()(2, 1).AsDouble(), 0.8 * std::sqrt(3.0) / 0.6));
  EXPECT_NEAR(simple.P().Variants()(1, 2).AsDouble(), 0.10408803866182786, 1e-13);

  // A negative correlation gives the same multiple correlation.
  ASSERT_EQ(Analyse(multiple, 1, x, Cols({{4, 5, 2, 3, 1}})).Number(), 0);
  EXPECT_TRUE(CloseRel(multiple.R().Variants()(1).AsDouble(), 0.8));
  EXPECT_TRUE(CloseRel(multiple.TestStat().Variants()(1).AsDouble(), 16.0 / 3.0));
  EXPECT_NEAR(multiple.P().Variants()(1).AsDouble(), 0.10408803866182786, 1e-13);

  // One variable in each set: lambda = 0.36, chi-square = -(5 - 5/2) ln 0.36
  // on one degree of freedom.
  ASSERT_EQ(Analyse(canonical, 3, x, y, {.raw = true, .standardised = true}).Number(), 0);
  ASSERT_EQ(canonical.CanCorrelations().UBound(1), 1);
  EXPECT_TRUE(CloseRel(canonical.CanCorrelations()(1), 0.8));
  EXPECT_TRUE(CloseRel(canonical.CanCorrLambda()(1), 0.36));
  EXPECT_TRUE(CloseRel(canonical.CanCorrChiSq()(1), 2.5541281188299534));
  EXPECT_EQ(canonical.CanCorrDF()(1), 1.0);
  EXPECT_TRUE(CloseProb(canonical.CanCorrP().Variants()(1).AsDouble(), 0.11000648692939131));
  EXPECT_NEAR(std::fabs(canonical.CanCoeffsStdX()(1, 1)), 1.0, 1e-14);
  EXPECT_NEAR(std::fabs(canonical.CanLoadingsRawX()(1, 1)), 1.0, 1e-14);
  EXPECT_NEAR(std::fabs(canonical.CanLoadingsCrossRawX()(1, 1)), 0.8, 1e-14);
}

}  // namespace
}  // namespace nml::test
