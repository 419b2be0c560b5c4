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

}  // namespace
}  // namespace nml::support
