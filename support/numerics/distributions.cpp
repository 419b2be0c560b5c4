#include "support/numerics/distributions.h"

#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <string>

#include "common/number_text.h"
#include "support/support_errors.h"

namespace nml::support {

namespace {

using DoublePolicy = boost::math::policies::policy<boost::math::policies::promote_double<false>>;

}  // namespace

// Upper-tail probability of Student's t from Boost.Math. The complement form
// cdf(complement(dist, t)) evaluates the tail directly through the
// incomplete beta function, I_{df/(df+t^2)}(df/2, 1/2) / 2, instead of as
// 1 - cdf, so p-values far below machine epsilon (1e-20, 1e-80) keep full
// relative precision. The two-sided probability is twice the upper tail.
// The evaluation stays in double precision (no promotion to long double):
// about ten times faster, and within a few units of 1e-14 relative of the
// promoted result.
Variant Distributions::TProbability(double t, std::int32_t df, std::uint8_t tails) const {
  if (df < 1)
    RaiseSupport(kBadArgument,
                 "Distributions.TProbability: the degrees of freedom must be at least 1, not " + std::to_string(df));
  if (std::isnan(t) || t < 0.0)
    RaiseSupport(kBadArgument, "Distributions.TProbability: the t statistic must be 0 or more, not " +
                                   NumberToText(t));
  if (tails != 1 && tails != 2)
    RaiseSupport(kBadArgument, "Distributions.TProbability: tails must be 1 or 2, not " + std::to_string(tails));
  double upper = 0.0;
  if (!std::isinf(t)) {
    const boost::math::students_t_distribution<double, DoublePolicy> dist(static_cast<double>(df));
    upper = boost::math::cdf(boost::math::complement(dist, t));
  }
  return Variant(tails == 2 ? 2.0 * upper : upper);
}

}  // namespace nml::support
