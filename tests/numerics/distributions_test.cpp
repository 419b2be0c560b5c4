// Student's t probabilities against the reference t and p pairs of the
// example data sets and closed forms.
#include "host/numerics/distributions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "numerics_test_support.h"

namespace nml::support {
namespace {

using test::ErrorOf;
using test::Support;

double TwoSided(double t, std::int32_t df) { return Distributions().TProbability(t, df, 2).AsDouble(); }

// Every numeric (t, p) pair of a simple or partial case; p-values go down to
// 1e-86 and must keep their relative precision.
TEST(TProbability, MatchesReferencePValues) {
  int checked = 0;
  for (const char* file : {"iris.json", "longley.json", "savings.json"}) {
    const nlohmann::json ref = test::LoadReference(file);
    const std::int32_t n = ref.at("n").get<std::int32_t>();
    for (const auto& c : ref.at("cases")) {
      const std::string method = c.at("method");
      if (method != "simple" && method != "partial") continue;
      const std::int32_t controls = method == "partial" ? static_cast<std::int32_t>(c.at("x").size()) : 0;
      const std::int32_t df = n - controls - 2;
      const auto& t = c.at("T");
      const auto& p = c.at("P");
      for (std::size_t i = 0; i < t.size(); ++i)
        for (std::size_t j = 0; j < t[i].size(); ++j) {
          if (!t[i][j].is_number()) continue;
          const double expected = p[i][j].get<double>();
          EXPECT_LT(test::RelativeError(TwoSided(t[i][j].get<double>(), df), expected), 1e-9)
              << file << " " << method << " (" << i << ", " << j << ") p = " << expected;
          ++checked;
        }
    }
  }
  EXPECT_GT(checked, 80);
}

TEST(TProbability, AgreesWithClosedForms) {
  Distributions d;
  EXPECT_EQ(d.TProbability(0.0, 5, 2).AsDouble(), 1.0);
  EXPECT_EQ(d.TProbability(0.0, 5, 1).AsDouble(), 0.5);
  // df = 1 is the Cauchy distribution: P(T > t) = 1/2 - atan(t)/pi, about
  // 1/(pi t) for large t.
  EXPECT_NEAR(d.TProbability(1.0, 1, 1).AsDouble(), 0.25, 1e-16);
  const double t = 1e10;
  EXPECT_LT(test::RelativeError(d.TProbability(t, 1, 1).AsDouble(), std::atan(1.0 / t) / std::numbers::pi), 1e-12);
  // df = 2: P(|T| > t) = 1 - t / sqrt(t^2 + 2).
  for (double x : {0.3, 2.0, 40.0})
    EXPECT_LT(test::RelativeError(d.TProbability(x, 2, 2).AsDouble(), 2.0 / (std::sqrt(x * x + 2) * (std::sqrt(x * x + 2) + x))),
              1e-13)
        << x;
  EXPECT_EQ(d.TProbability(INFINITY, 10, 2).AsDouble(), 0.0);
  // Two-sided is twice one-sided.
  EXPECT_DOUBLE_EQ(d.TProbability(2.5, 30, 2).AsDouble(), 2.0 * d.TProbability(2.5, 30, 1).AsDouble());
}

TEST(TProbability, RejectsArgumentsOutsideTheirDomain) {
  Distributions d;
  EXPECT_EQ(ErrorOf([&] { d.TProbability(1.0, 0, 2); }).number, Support(kBadArgument));
  EXPECT_EQ(ErrorOf([&] { d.TProbability(-0.5, 10, 2); }).number, Support(kBadArgument));
  EXPECT_EQ(ErrorOf([&] { d.TProbability(std::nan(""), 10, 2); }).number, Support(kBadArgument));
  const test::Raised tails = ErrorOf([&] { d.TProbability(1.0, 10, 3); });
  EXPECT_EQ(tails.number, Support(kBadArgument));
  EXPECT_NE(tails.description.find("tails"), std::string::npos);
}

}  // namespace
}  // namespace nml::support
