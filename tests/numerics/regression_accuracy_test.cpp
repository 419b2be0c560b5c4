// Squared multiple correlations formed the way the engine forms them, on
// data sets whose answer is known: the certified Longley result, the
// reference multiple correlations, and dependent variables that are exact
// polynomials of ill-conditioned predictors.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iomanip>
#include <string>
#include <vector>

#include "common/perfect_correlation.h"
#include "support/numerics/matrix_ops.h"
#include "numerics_test_support.h"

namespace nml::support {
namespace {

// R^2 of every dependent variable j: G(j, j) / Syy(j, j) with
// G = (Syx Sxx^-1) Sxy, exactly the engine's sequence of calls.
std::vector<double> SquaredMultipleCorrelations(const Matrix& x, const Matrix& y) {
  const MatrixOps ops;
  const Matrix sxx = ops.CrossProducts(x, x);
  const Matrix sxy = ops.CrossProducts(x, y);
  const Matrix syx = ops.Transpose(sxy);
  const Matrix syy = ops.CrossProducts(y, y);
  const Matrix inv = ops.Inverse(sxx, Variant::Missing());
  const Matrix g = ops.Multiply(ops.Multiply(syx, inv), sxy);
  std::vector<double> r2;
  for (std::int32_t j = 1; j <= y.Cols(); ++j) r2.push_back(g(j, j) / syy(j, j));
  return r2;
}

TEST(RegressionAccuracy, LongleyMatchesTheCertifiedRSquared) {
  const Matrix x =
      test::LoadColumns("longley.csv", {"GNP.deflator", "GNP", "Unemployed", "Armed.Forces", "Population", "Year"});
  const double r2 = SquaredMultipleCorrelations(x, test::LoadColumns("longley.csv", {"Employed"}))[0];
  // NIST StRD certified value, to 12 significant digits.
  EXPECT_LT(test::RelativeError(r2, 0.995479004577296), 5e-13) << r2;
}

TEST(RegressionAccuracy, MultipleCorrelationsMatchTheReferenceOfEveryDataSet) {
  for (const char* set : {"iris", "longley", "savings"}) {
    const nlohmann::json ref = test::FindCase(std::string(set) + ".json", "multiple");
    const std::string csv = std::string(set) + ".csv";
    const std::vector<double> r2 = SquaredMultipleCorrelations(test::LoadColumns(csv, test::Names(ref.at("x"))),
                                                               test::LoadColumns(csv, test::Names(ref.at("y"))));
    ASSERT_EQ(r2.size(), ref.at("R").size()) << set;
    for (std::size_t j = 0; j < r2.size(); ++j)
      EXPECT_LT(test::RelativeError(std::sqrt(r2[j]), ref.at("R")[j].get<double>()), 1e-12) << set << " " << j;
  }
}

struct PolynomialCase {
  const char* name;
  double origin;       // predictors are the powers of x = origin + 0..20
  std::int32_t degree;  // x, x^2, ..., x^degree
  std::function<double(double)> f;
};

// With x = 0..20 and powers up to x^5 the cross-product matrix has a
// condition number of about 1e13; far from 0 (x = 1000..1020) the raw powers
// share most of their digits and centring does the work. A dependent
// variable that is an exact polynomial of degree `degree` or less lies in the
// predictors' span, so R^2 is 1; it must read back as 1 at 15 significant
// digits and never exceed it by more than rounding.
TEST(RegressionAccuracy, ExactPolynomialsOfIllConditionedPredictorsGiveROfOne) {
  auto p5 = [](double x) { return 1 + 2 * x - 3 * x * x * x + 0.5 * std::pow(x, 5); };
  const std::vector<PolynomialCase> cases = {
      {"1 + 2x - 3x^3 + 0.5x^5", 0, 5, p5},
      {"x^5", 0, 5, [](double x) { return std::pow(x, 5); }},
      {"x", 0, 5, [](double x) { return x; }},
      {"x^2", 0, 5, [](double x) { return x * x; }},
      {"7 - x^4", 0, 5, [](double x) { return 7 - std::pow(x, 4); }},
      {"1e-8 (1 + 2x - 3x^3 + 0.5x^5)", 0, 5, [&](double x) { return 1e-8 * p5(x); }},
      {"1e8 (1 + 2x - 3x^3 + 0.5x^5)", 0, 5, [&](double x) { return 1e8 * p5(x); }},
      {"x^3 - 10x^2 + 30x", 0, 5, [](double x) { return x * x * x - 10 * x * x + 30 * x; }},
      {"5 - 2x + 0.25x^3 at x = 1000..1020", 1000, 3, [](double x) { return 5.0 - 2.0 * x + 0.25 * x * x * x; }},
  };
  const std::int32_t n = 21;
  for (const PolynomialCase& c : cases) {
    Matrix x = Array<double>::Matrix(n, c.degree);
    Matrix y = Array<double>::Matrix(n, 1);
    for (std::int32_t i = 1; i <= n; ++i) {
      const double v = c.origin + (i - 1);
      for (std::int32_t p = 1; p <= c.degree; ++p) x(i, p) = std::pow(v, p);
      y(i, 1) = c.f(v);
    }
    const double r2 = SquaredMultipleCorrelations(x, y)[0];
    EXPECT_TRUE(IsPerfectCorrelation(r2, ReadBack::kDouble)) << c.name << ": R^2 = " << std::setprecision(17) << r2;
    EXPECT_LT(r2, 1.0 + 1e-14) << c.name;
  }
}

}  // namespace
}  // namespace nml::support
