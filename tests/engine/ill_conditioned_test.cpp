// Ill-conditioned data against results computed once in 60-digit arithmetic
// from the very doubles of the data (tests/data/make_ill_conditioned.py), and
// the partial correlation of two variables whose residuals coincide.
#include <cstdlib>
#include <random>

#include "engine_fixture.h"

namespace nml::test {
namespace {

Matrix HexColumns(const json& cols) {
  Matrix m = Array<double>::Matrix(static_cast<std::int32_t>(cols.at(0).size()), static_cast<std::int32_t>(cols.size()));
  for (std::int32_t j = 1; j <= m.UBound(2); ++j)
    for (std::int32_t i = 1; i <= m.UBound(1); ++i)
      m(i, j) = std::strtod(cols.at(j - 1).at(i - 1).get<std::string>().c_str(), nullptr);
  return m;
}

double Decimal(const json& v) { return std::strtod(v.get<std::string>().c_str(), nullptr); }

// Multiple R with cond(Sxx) about 1e12 within 1e-10; canonical correlations
// of two nearly collinear sets within 1e-9; the R^2 of a tenth-degree
// polynomial fit within 1e-12.
TEST(IllConditioned, ResultsMatchTheSixtyDigitReferences) {
  const json ref = LoadReference("ill_conditioned");
  int index = 0;
  for (const json& c : ref.at("cases")) {
    const std::string kind = c.at("kind");
    const std::string what = kind + " case " + std::to_string(index++);
    clsCorrelationBO e;
    const Error error = Analyse(e, kind == "canonical" ? 3 : 1, HexColumns(c.at("x")), HexColumns(c.at("y")));
    ASSERT_EQ(error.Number(), 0) << what << ": " << error.Description();
    if (kind == "canonical") {
      const Array<double> r = e.CanCorrelations();
      ASSERT_EQ(r.UBound(1), static_cast<std::int32_t>(c.at("R").size())) << what;
      for (std::int32_t j = 1; j <= r.UBound(1); ++j)
        EXPECT_TRUE(CloseRel(r(j), Decimal(c.at("R").at(j - 1)), 1e-9)) << what << " variate " << j;
    } else {
      const double r = e.R().Variants()(1).AsDouble();
      if (kind == "multiple")
        EXPECT_TRUE(CloseRel(r, Decimal(c.at("R").at(0)), 1e-10)) << what;
      else
        EXPECT_NEAR(r * r, Decimal(c.at("R2").at(0)), 1e-12) << what;
    }
  }
}

// y2 = c + 100 a + 1 with control a: the residuals of c and y2 on a coincide
// up to the rounding of y2, so their partial correlation is perfect ("-" and
// P 0), and the diagonal holds exactly 1.
TEST(IllConditioned, CoincidingPartialResidualsArePerfect) {
  for (std::uint32_t seed = 1; seed <= 10; ++seed) {
    std::mt19937_64 gen(seed);
    std::normal_distribution<double> normal;
    const std::int32_t n = 40;
    Matrix x = Array<double>::Matrix(n, 1);
    Matrix y = Array<double>::Matrix(n, 2);
    for (std::int32_t i = 1; i <= n; ++i) {
      x(i, 1) = normal(gen);
      y(i, 1) = normal(gen) + 0.3 * x(i, 1);
      y(i, 2) = y(i, 1) + 100 * x(i, 1) + 1;
    }
    clsCorrelationBO e;
    const Error error = Analyse(e, 2, x, y);
    ASSERT_EQ(error.Number(), 0) << seed << ": " << error.Description();
    EXPECT_EQ(At(e.R(), 1, 1).ToDouble(), 1.0) << seed;
    EXPECT_EQ(At(e.R(), 2, 2).ToDouble(), 1.0) << seed;
    EXPECT_TRUE(IsMarker(At(e.TestStat(), 1, 2))) << seed << ": t = " << At(e.TestStat(), 1, 2).ToDouble();
    EXPECT_TRUE(IsZeroInteger(At(e.P(), 2, 1))) << seed;
  }
}

}  // namespace
}  // namespace nml::test
