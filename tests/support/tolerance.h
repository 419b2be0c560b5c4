// Comparisons of computed numbers with independent reference values.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

namespace nml::test {

/// Statistics agree with the references to 1e-10 relative; probabilities,
/// which go down to 1e-86, to 1e-9 relative.
inline constexpr double kStatTol = 1e-10;

inline double RelativeError(double actual, double expected) {
  return expected == 0.0 ? std::fabs(actual) : std::fabs(actual - expected) / std::fabs(expected);
}

inline ::testing::AssertionResult CloseRel(double got, double want, double rel = kStatTol) {
  if (std::isfinite(got) && std::fabs(got - want) <= rel * std::fabs(want) + 1e-15)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << got << ", want " << want;
}

inline ::testing::AssertionResult CloseProb(double got, double want) {
  if (std::isfinite(got) && std::fabs(got - want) <= 1e-9 * std::fabs(want)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "probability got " << got << ", want " << want;
}

}  // namespace nml::test
