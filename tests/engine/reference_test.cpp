// The four analyses against values worked out independently: every case of
// the reference files, the certified NIST results (Longley, Wampler1 to 5),
// exact polynomial fits, and a small data set worked by hand.
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine_fixture.h"

namespace nml::test {
namespace {

double Mean(const Matrix& m, std::int32_t col) {
  double s = 0;
  for (std::int32_t i = 1; i <= m.UBound(1); ++i) s += m(i, col);
  return s / m.UBound(1);
}

/// The centred cross-product of column a of u with column b of v, computed here.
double CentredProduct(const Matrix& u, std::int32_t a, const Matrix& v, std::int32_t b) {
  const double mu = Mean(u, a), mv = Mean(v, b);
  double s = 0;
  for (std::int32_t i = 1; i <= u.UBound(1); ++i) s += (u(i, a) - mu) * (v(i, b) - mv);
  return s;
}

double Corr(const Matrix& u, std::int32_t a, const Matrix& v, std::int32_t b) {
  return CentredProduct(u, a, v, b) / std::sqrt(CentredProduct(u, a, u, a) * CentredProduct(v, b, v, b));
}

/// Each column rescaled to mean 0 and standard deviation 1.
Matrix ZScores(Matrix m) {
  for (std::int32_t j = 1; j <= m.UBound(2); ++j) {
    const double mean = Mean(m, j), sd = std::sqrt(CentredProduct(m, j, m, j) / (m.UBound(1) - 1));
    for (std::int32_t i = 1; i <= m.UBound(1); ++i) m(i, j) = (m(i, j) - mean) / sd;
  }
  return m;
}

/// The canonical results the reference holds, and the properties of those it
/// cannot hold (raw coefficients and scores, whose scale is free).
void ExpectCanonical(const clsCorrelationBO& e, const json& c, const Matrix& x, const Matrix& y) {
  const std::int32_t p = x.UBound(2), q = y.UBound(2), m = std::min(p, q);
  const Array<double> cancor = e.CanCorrelations();
  ASSERT_GE(cancor.UBound(1), m);
  ASSERT_LE(cancor.UBound(1), q);
  for (std::int32_t j = 1; j <= m; ++j) EXPECT_TRUE(CloseRel(cancor(j), c.at("cancor").at(j - 1).get<double>())) << j;
  for (std::int32_t j = m + 1; j <= cancor.UBound(1); ++j) EXPECT_LT(cancor(j), 1e-6) << j;
  ExpectLike(e.CanCorrLambda(), c.at("lambda"), Compare::kStat, "lambda");
  ExpectLike(e.CanCorrChiSq(), c.at("chisq"), Compare::kStat, "chisq");
  ExpectLike(e.CanCorrDF(), c.at("df"), Compare::kStat, "df");
  ExpectLike(e.CanCorrP(), c.at("p"), Compare::kProb, "p");
  ExpectLike(e.CanCoeffsStdX(), c.at("stdcoef_x"), Compare::kUpToSign, "CanCoeffsStdX");
  ExpectLike(e.CanCoeffsStdY(), c.at("stdcoef_y"), Compare::kUpToSign, "CanCoeffsStdY");
  ExpectLike(e.CanLoadingsRawX(), c.at("load_x"), Compare::kUpToSign, "CanLoadingsRawX");
  ExpectLike(e.CanLoadingsRawY(), c.at("load_y"), Compare::kUpToSign, "CanLoadingsRawY");
  ExpectLike(e.CanLoadingsCrossRawX(), c.at("cross_x"), Compare::kUpToSign, "CanLoadingsCrossRawX");
  ExpectLike(e.CanLoadingsCrossRawY(), c.at("cross_y"), Compare::kUpToSign, "CanLoadingsCrossRawY");

  // Raw scores: m columns each, unit centred sums of squares, paired by the
  // canonical correlations and uncorrelated within a set.
  const Matrix u = e.CanVarRawX(), v = e.CanVarRawY(), a = e.CanCoeffsRawX(), b = e.CanCoeffsRawY();
  ASSERT_EQ(a.UBound(1), p);
  ASSERT_EQ(b.UBound(1), q);
  ASSERT_TRUE(u.UBound(1) == x.UBound(1) && v.UBound(1) == x.UBound(1));
  for (const Matrix* s : {&u, &v, &a, &b}) ASSERT_EQ(s->UBound(2), m);
  for (std::int32_t k = 1; k <= m; ++k) {
    for (const Matrix* s : {&u, &v}) EXPECT_NEAR(CentredProduct(*s, k, *s, k), 1.0, 1e-12) << k;
    EXPECT_NEAR(std::fabs(Corr(u, k, v, k)), cancor(k), 1e-12) << k;
    for (std::int32_t l = 1; l < k; ++l) EXPECT_NEAR(Corr(u, k, u, l), 0.0, 1e-12) << k << "," << l;
  }

  // Loadings do not depend on the spread of each variable, so on z-scores the
  // standardised scores give the reference loadings too.
  clsCorrelationBO onZ;
  ASSERT_EQ(Analyse(onZ, 3, ZScores(x), ZScores(y), {.standardised = true}).Number(), 0);
  ExpectLike(onZ.CanLoadingsStdX(), c.at("load_x"), Compare::kUpToSign, "CanLoadingsStdX");
  ExpectLike(onZ.CanLoadingsStdY(), c.at("load_y"), Compare::kUpToSign, "CanLoadingsStdY");
  ExpectLike(onZ.CanLoadingsCrossStdX(), c.at("cross_x"), Compare::kUpToSign, "CanLoadingsCrossStdX");
  ExpectLike(onZ.CanLoadingsCrossStdY(), c.at("cross_y"), Compare::kUpToSign, "CanLoadingsCrossStdY");
}

TEST(ReferenceValues, EveryCaseOfEveryFileAgrees) {
  const std::map<std::string, std::int32_t> methods{{"simple", 0}, {"multiple", 1}, {"partial", 2}, {"canonical", 3}};
  int cases = 0;
  for (const char* file : {"iris", "savings", "longley"}) {
    const json reference = LoadReference(file);
    const std::string csv = reference.at("data");
    for (const json& c : reference.at("cases")) {
      const std::string method = c.at("method");
      SCOPED_TRACE(std::string(file) + " " + method + " x " + c.at("x").dump() + " y " + c.at("y").dump());
      const Matrix x = CsvColumns(csv, c.at("x"));
      const Matrix y = c.at("y").empty() ? Matrix() : CsvColumns(csv, c.at("y"));
      clsCorrelationBO e;
      const Error error = Analyse(e, methods.at(method), x, y, {true, true, true});
      ASSERT_EQ(error.Number(), 0) << error.Description() << " at " << error.Source();
      ++cases;
      // Plain correlation matrices, means and standard deviations are held
      // to a few units of their last digits.
      const bool plainR = method == "simple" || method == "canonical";
      ExpectLike(e.R(), c.at("R"), Compare::kStat, "R", plainR ? 1e-12 : kStatTol);
      ExpectLike(e.P(), c.at("P"), Compare::kProb, "P");
      // Dependent variables (or set 1) first, then the others.
      ExpectLike(e.Means(), c.at("mean"), Compare::kStat, "Means", 1e-14);
      ExpectLike(e.SDs(), c.at("sd"), Compare::kStat, "SDs", 1e-13);
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
    clsCorrelationBO e;
    ASSERT_EQ(Analyse(e, 1, CsvColumns(c.file, c.x), CsvColumns(c.file, {c.y})).Number(), 0);
    const double r = e.R().Variants()(1).AsDouble();
    EXPECT_NEAR(r * r, c.r2, c.r2 * 5e-15);  // 15 digits, to a few units of the last
  }
}

struct Polynomial {
  std::string name;
  double origin;        // predictors are the powers of x = origin + 0..20
  std::int32_t degree;  // x, x^2, ..., x^degree
  std::function<double(double)> f;
};

// With x = 0..20 and powers up to x^5 the cross-product matrix has a condition
// number of about 1e13; far from 0 (x = 1000..1020) the raw powers share most
// of their digits and centring does the work. A dependent variable that is an
// exact polynomial of at most that degree lies in the predictors' span: R^2
// must read back as 1 at 15 significant digits at every scale, with the
// perfect fit's test statistic 0 and no probability.
TEST(CertifiedValues, ExactPolynomialsOfIllConditionedPowersAreAPerfectFit) {
  auto p5 = [](double x) { return 1 + 2 * x - 3 * x * x * x + 0.5 * std::pow(x, 5); };
  auto p6 = [](double x) {
    return 3.0 - 2.0 * x + 0.5 * x * x + 0.25 * x * x * x - 0.125 * std::pow(x, 4) + 0.0625 * std::pow(x, 5);
  };
  std::vector<Polynomial> cases = {
      {"1 + 2x - 3x^3 + 0.5x^5", 0, 5, p5},
      {"x^5", 0, 5, [](double x) { return std::pow(x, 5); }},
      {"x", 0, 5, [](double x) { return x; }},
      {"5 - 2x + 0.25x^3 at x = 1000..1020", 1000, 3, [](double x) { return 5.0 - 2.0 * x + 0.25 * x * x * x; }},
  };
  for (double scale : {1e-9, 1e-3, 1.0, 7.0, 1e3, 1e9})
    cases.push_back({"six terms times " + std::to_string(scale), 0, 5, [=](double x) { return scale * p6(x); }});
  for (const Polynomial& c : cases) {
    Matrix powers = Array<double>::Matrix(21, c.degree), y = Array<double>::Matrix(21, 1);
    for (std::int32_t i = 1; i <= 21; ++i) {
      const double x = c.origin + (i - 1);
      for (std::int32_t p = 1; p <= c.degree; ++p) powers(i, p) = std::pow(x, p);
      y(i, 1) = c.f(x);
    }
    clsCorrelationBO e;
    ASSERT_EQ(Analyse(e, 1, powers, y).Number(), 0) << c.name;
    const double r = e.R().Variants()(1).AsDouble();
    EXPECT_EQ(FormatNumber15(r * r), "1") << c.name << ": R squared " << r * r;
    EXPECT_TRUE(IsZeroInteger(e.TestStat().Variants()(1))) << c.name;
    EXPECT_TRUE(IsMarker(e.P().Variants()(1))) << c.name;
  }
}

TEST(HandWorked, FiveCasesWithACorrelationOfFourFifths) {
  // x = 1..5, y = (2, 1, 4, 3, 5): r = 0.8, F = t^2 = 16/3 with the two-sided
  // probability of t = 0.8 sqrt(3) / 0.6 on 3 df, 0.10408803866182786.
  const Matrix x = Cols({{1, 2, 3, 4, 5}}), y = Cols({{2, 1, 4, 3, 5}});
  clsCorrelationBO multiple, canonical;

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

  // y = (1, 3, 5, 2, 4): r = 0.5 and a chi-square of -2.5 ln 0.75 below 1,
  // which is tested all the same: P = erfc(sqrt(chi-square / 2)) on one df.
  clsCorrelationBO weak;
  ASSERT_EQ(Analyse(weak, 3, x, Cols({{1, 3, 5, 2, 4}})).Number(), 0);
  EXPECT_TRUE(CloseRel(weak.CanCorrChiSq()(1), 0.7192051811294522));
  ASSERT_EQ(weak.CanCorrP().Variants()(1).Kind(), VarKind::kDouble);
  EXPECT_TRUE(CloseProb(weak.CanCorrP().Variants()(1).AsDouble(), 0.3964047479478678));
}

}  // namespace
}  // namespace nml::test
