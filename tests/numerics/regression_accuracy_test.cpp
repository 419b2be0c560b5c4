// Squared multiple correlations formed the way the engine forms them, on
// data sets whose answer is known exactly: the certified Longley result and
// dependent variables that are exact polynomials of the predictors.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "common/perfect_correlation.h"
#include "host/numerics/matrix_ops.h"
#include "numerics_test_support.h"

namespace nml::support {
namespace {

// R^2 = G(1, 1) / Syy(1, 1) with G = (Syx Sxx^-1) Sxy, exactly the engine's
// sequence of calls.
double SquaredMultipleCorrelation(const MatrixOps& ops, const Matrix& x, const Matrix& y) {
  const Matrix sxx = ops.CrossProducts(x, x);
  const Matrix sxy = ops.CrossProducts(x, y);
  const Matrix syx = ops.Transpose(sxy);
  const Matrix syy = ops.CrossProducts(y, y);
  const Matrix inv = ops.Inverse(sxx, Variant::Missing());
  const Matrix g = ops.Multiply(ops.Multiply(syx, inv), sxy);
  return g(1, 1) / syy(1, 1);
}

TEST(RegressionAccuracy, LongleyMatchesTheCertifiedRSquared) {
  const test::DataSet longley = test::LoadCsv("longley.csv");
  const Matrix x =
      longley.Columns({"GNP.deflator", "GNP", "Unemployed", "Armed.Forces", "Population", "Year"});
  const Matrix y = longley.Columns({"Employed"});
  MatrixOps ops;
  const double r2 = SquaredMultipleCorrelation(ops, x, y);
  // NIST StRD certified value.
  EXPECT_LT(test::RelativeError(r2, 0.995479004577296), 5e-13) << r2;
}

TEST(RegressionAccuracy, LongleyMultipleCorrelationMatchesReference) {
  const test::DataSet longley = test::LoadCsv("longley.csv");
  const nlohmann::json ref = test::FindCase(test::LoadReference("longley.json"), "multiple");
  MatrixOps ops;
  const double r2 = SquaredMultipleCorrelation(
      ops, longley.Columns(ref.at("x").get<std::vector<std::string>>()),
      longley.Columns(ref.at("y").get<std::vector<std::string>>()));
  EXPECT_LT(test::RelativeError(std::sqrt(r2), ref.at("R")[0].get<double>()), 1e-12);
}

struct PolynomialCase {
  const char* name;
  std::function<double(double)> f;
};

// Predictors x, x^2, ..., x^5 of x = 0..20: the cross-product matrix has a
// condition number of about 1e13. A dependent variable that is an exact
// polynomial of degree 5 or less lies in their span, so R^2 is 1; it must
// read back as 1 at 15 significant digits.
TEST(RegressionAccuracy, ExactPolynomialsOfIllConditionedPredictorsGiveROfOne) {
  const std::vector<PolynomialCase> cases = {
      {"1 + 2x - 3x^3 + 0.5x^5", [](double x) { return 1 + 2 * x - 3 * x * x * x + 0.5 * std::pow(x, 5); }},
      {"x^5", [](double x) { return std::pow(x, 5); }},
      {"x", [](double x) { return x; }},
      {"x^2", [](double x) { return x * x; }},
      {"7 - x^4", [](double x) { return 7 - std::pow(x, 4); }},
      {"1e-8 (1 + 2x - 3x^3 + 0.5x^5)",
       [](double x) { return 1e-8 * (1 + 2 * x - 3 * x * x * x + 0.5 * std::pow(x, 5)); }},
      {"1e8 (1 + 2x - 3x^3 + 0.5x^5)",
       [](double x) { return 1e8 * (1 + 2 * x - 3 * x * x * x + 0.5 * std::pow(x, 5)); }},
      {"x^3 - 10x^2 + 30x", [](double x) { return x * x * x - 10 * x * x + 30 * x; }},
  };
  const std::int32_t n = 21;
  Matrix x = Array<double>::Matrix(n, 5);
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t p = 1; p <= 5; ++p) x(i, p) = std::pow(static_cast<double>(i - 1), p);
  for (const PolynomialCase& c : cases) {
    Matrix y = Array<double>::Matrix(n, 1);
    for (std::int32_t i = 1; i <= n; ++i) y(i, 1) = c.f(static_cast<double>(i - 1));
    MatrixOps ops;
    const double r2 = SquaredMultipleCorrelation(ops, x, y);
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", r2);
    EXPECT_TRUE(IsPerfectCorrelation(r2, ReadBack::kDouble)) << c.name << ": R^2 = " << text;
    EXPECT_LT(r2, 1.0 + 1e-14) << c.name;
  }
}

// The same with the predictors shifted far from 0 (x = 1000..1020), where
// centring does the work: the raw powers share most of their digits.
TEST(RegressionAccuracy, ShiftedPolynomialPredictorsStillGiveROfOne) {
  const std::int32_t n = 21;
  Matrix x = Array<double>::Matrix(n, 3);
  Matrix y = Array<double>::Matrix(n, 1);
  for (std::int32_t i = 1; i <= n; ++i) {
    const double v = 1000.0 + (i - 1);
    x(i, 1) = v;
    x(i, 2) = v * v;
    x(i, 3) = v * v * v;
    y(i, 1) = 5.0 - 2.0 * v + 0.25 * v * v * v;
  }
  MatrixOps ops;
  const double r2 = SquaredMultipleCorrelation(ops, x, y);
  EXPECT_TRUE(IsPerfectCorrelation(r2, ReadBack::kDouble)) << r2;
}

// An unrelated dependent variable: R^2 agrees with the value worked out from
// the normal equations in long double on the same centred data.
TEST(RegressionAccuracy, RandomRegressionAgreesWithLongDoubleNormalEquations) {
  const Matrix x = test::RandomMatrix(40, 3, 11, 5.0, 2.0);
  const Matrix y = test::RandomMatrix(40, 1, 12, -3.0, 1.5);
  MatrixOps ops;
  const double r2 = SquaredMultipleCorrelation(ops, x, y);

  // Independent check: centre in long double, solve the 3 x 3 normal
  // equations by Cramer's rule, R^2 = b' Sxy / Syy.
  using LD = long double;
  LD mean[4] = {};
  for (int i = 1; i <= 40; ++i) {
    for (int j = 1; j <= 3; ++j) mean[j - 1] += x(i, j);
    mean[3] += y(i, 1);
  }
  for (LD& m : mean) m /= 40;
  LD s[3][3] = {}, sy[3] = {}, syy = 0;
  for (int i = 1; i <= 40; ++i) {
    LD d[4];
    for (int j = 0; j < 3; ++j) d[j] = x(i, j + 1) - mean[j];
    d[3] = y(i, 1) - mean[3];
    for (int a = 0; a < 3; ++a) {
      for (int b = 0; b < 3; ++b) s[a][b] += d[a] * d[b];
      sy[a] += d[a] * d[3];
    }
    syy += d[3] * d[3];
  }
  auto det = [](LD m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  };
  const LD d0 = det(s);
  LD fit = 0;
  for (int c = 0; c < 3; ++c) {
    LD m[3][3];
    for (int a = 0; a < 3; ++a)
      for (int b = 0; b < 3; ++b) m[a][b] = b == c ? sy[a] : s[a][b];
    fit += det(m) / d0 * sy[c];
  }
  EXPECT_LT(test::RelativeError(r2, static_cast<double>(fit / syy)), 1e-13);
}

}  // namespace
}  // namespace nml::support
