// Student's t probabilities against closed forms (the engine's tests hold
// them to the reference p-values of the example data sets, down to 1e-86).
#include "support/numerics/distributions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "numerics_test_support.h"

namespace nml::support {
namespace {

TEST(TProbability, AgreesWithClosedForms) {
  // df = 1 is the Cauchy distribution: P(T > t) = 1/2 - atan(t)/pi =
  // atan(1/t)/pi. df = 2: P(|T| > t) = 1 - t / sqrt(t^2 + 2), written here
  // without cancellation.
  auto df2 = [](double t) { return 2.0 / (std::sqrt(t * t + 2) * (std::sqrt(t * t + 2) + t)); };
  struct Case {
    double t;
    std::int32_t df, tails;
    double expected, relativeTolerance;
  };
  const Case cases[] = {{0.0, 5, 2, 1.0, 0.0},           {0.0, 5, 1, 0.5, 0.0},
                        {1.0, 1, 1, 0.25, 4e-16},        {1e10, 1, 1, std::atan(1e-10) / std::numbers::pi, 1e-12},
                        {0.3, 2, 2, df2(0.3), 1e-13},    {2.0, 2, 2, df2(2.0), 1e-13},
                        {40.0, 2, 2, df2(40.0), 1e-13},  {INFINITY, 10, 2, 0.0, 0.0}};
  const Distributions d;
  for (const Case& c : cases)
    EXPECT_LE(test::RelativeError(d.TProbability(c.t, c.df, static_cast<std::uint8_t>(c.tails)).AsDouble(), c.expected),
              c.relativeTolerance)
        << "t = " << c.t << ", df = " << c.df << ", tails = " << c.tails;
  EXPECT_DOUBLE_EQ(d.TProbability(2.5, 30, 2).AsDouble(), 2.0 * d.TProbability(2.5, 30, 1).AsDouble());
}

}  // namespace
}  // namespace nml::support
