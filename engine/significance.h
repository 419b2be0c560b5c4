// The t test of a correlation coefficient, shared by the simple, partial and
// canonical analyses, and the statistics object those loops create on demand.
#pragma once

#include <cstdint>
#include <memory>
#include <source_location>

#include "common/checked.h"
#include "common/perfect_correlation.h"
#include "support/numerics/distributions.h"

namespace nml::engine {

/// True when r gets a t statistic: it is not perfect by the read-back test,
/// and 1 - r^2 is positive. A coefficient at or beyond -1 (two columns that
/// are exact negatives of each other, or rounding just past -1) has no finite
/// t and is treated like a perfect positive one.
inline bool HasTStatistic(double r, ReadBack how) {
  return !IsPerfectCorrelation(r, how) && 1.0 - r * r > 0.0;
}

/// t = |(r * sqrt(df)) / sqrt(1 - r^2)|: the product is formed first, then
/// divided, then made absolute. df is converted to Double before its square
/// root; a negative df raises Invalid procedure call (5).
inline double TStatistic(double r, std::int32_t df, std::source_location where = std::source_location::current()) {
  const double numerator = r * CheckedSqrt(static_cast<double>(df), where);
  const double t = CheckedDiv(numerator, CheckedSqrt(1.0 - r * r, where), where);
  return t < 0.0 ? -t : t;
}

/// The statistics library object of one routine: made at its first use and
/// released with the holder, when the routine ends or fails.
class LazyDistributions {
 public:
  support::Distributions& Get() {
    if (!object_) object_ = std::make_unique<support::Distributions>();
    return *object_;
  }

 private:
  std::unique_ptr<support::Distributions> object_;
};

}  // namespace nml::engine
