// Distributions: the support library's probability functions.
#pragma once

#include <cstdint>

#include "nmlcorrelation/variant.h"

namespace nml::support {

class Distributions {
 public:
  /// Two-sided (tails = 2) or one-sided (tails = 1) upper-tail probability of
  /// a t statistic with df degrees of freedom, as a Double variant, with full
  /// relative precision also for very small probabilities. t < 0 or NaN,
  /// df < 1 or other tails raise kBadArgument; t = +infinity gives 0.
  Variant TProbability(double t, std::int32_t df, std::uint8_t tails) const;
};

}  // namespace nml::support
