// Student's t probabilities against the reference t and p pairs of the
// example data sets and closed forms.
#include "support/numerics/distributions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "numerics_test_support.h"

namespace nml::support {
namespace {

// Every numeric (t, p) pair of a simple or partial case; p-values go down to
// 1e-86 and must keep their relative precision.
TEST(TProbability, MatchesReferencePValues) {
  int checked = 0;
  for (const char* file : {"iris.json", "longley.json", "savings.json"}) {
    const nlohmann::json ref = test::LoadReference(file);
    for (const auto& c : ref.at("cases")) {
      const std::string method = c.at("method");
      if (method != "simple" && method != "partial") continue;
      const auto controls = method == "partial" ? static_cast<std::int32_t>(c.at("x").size()) : 0;
      const std::int32_t df = ref.at("n").get<std::int32_t>() - controls - 2;
      const auto &t = c.at("T"), &p = c.at("P");
      for (std::size_t i = 0; i < t.size(); ++i)
        for (std::size_t j = 0; j < t[i].size(); ++j) {
          if (!t[i][j].is_number()) continue;
          const double expected = p[i][j].get<double>();
          EXPECT_LT(test::RelativeError(Distributions().TProbability(t[i][j], df, 2).AsDouble(), expected), 1e-9)
              << file << " " << method << " (" << i << ", " << j << ") p = " << expected;
          ++checked;
        }
    }
  }
  EXPECT_GT(checked, 80);
}

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
