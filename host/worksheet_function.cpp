#include "host/worksheet_function.h"

#include <cmath>
#include <optional>
#include <string>

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>

namespace nml::host {

namespace {

constexpr double kMaxDegreesOfFreedom = 1e10;

[[noreturn]] void Unable(const char* function) {
  Raise(rt::kApplicationDefined,
        std::string("Unable to get the ") + function + " property of the WorksheetFunction class");
}

// An argument as the spreadsheet reads it: numbers as they are, numeric text
// parsed, TRUE as 1, FALSE and empty as 0; anything else has no value.
std::optional<double> Argument(const Variant& v) {
  switch (v.Kind()) {
    case VarKind::kInteger:
    case VarKind::kLong:
    case VarKind::kDouble:
    case VarKind::kEmpty: {
      const double d = v.ToDouble();
      return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    }
    case VarKind::kBoolean: return v.AsBoolean() ? 1.0 : 0.0;
    case VarKind::kText: {
      try {
        const double d = v.ToDouble();
        return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
      } catch (const Error&) {
        return std::nullopt;
      }
    }
    default: return std::nullopt;
  }
}

// Degrees of freedom truncated to a whole number, inside [1, 1e10).
std::optional<double> DegreesOfFreedom(const Variant& v) {
  auto d = Argument(v);
  if (!d) return std::nullopt;
  const double df = std::trunc(*d);
  if (df < 1 || df >= kMaxDegreesOfFreedom) return std::nullopt;
  return df;
}

}  // namespace

Variant WorksheetFunction::FDist(const Variant& x, const Variant& df1, const Variant& df2) const {
  const auto f = Argument(x);
  const auto d1 = DegreesOfFreedom(df1);
  const auto d2 = DegreesOfFreedom(df2);
  if (!f || *f < 0 || !d1 || !d2) Unable("FDist");
  try {
    // The complement is evaluated directly (incomplete beta), so tiny upper
    // tails keep their relative precision instead of cancelling in 1 - cdf.
    const double p = boost::math::cdf(boost::math::complement(boost::math::fisher_f_distribution<double>(*d1, *d2), *f));
    if (!std::isfinite(p)) Unable("FDist");
    return Variant(p);
  } catch (const std::exception&) {
    Unable("FDist");
  }
}

Variant WorksheetFunction::ChiDist(const Variant& x, const Variant& df) const {
  const auto c = Argument(x);
  const auto d = DegreesOfFreedom(df);
  if (!c || *c < 0 || !d) Unable("ChiDist");
  try {
    const double p = boost::math::cdf(boost::math::complement(boost::math::chi_squared_distribution<double>(*d), *c));
    if (!std::isfinite(p)) Unable("ChiDist");
    return Variant(p);
  } catch (const std::exception&) {
    Unable("ChiDist");
  }
}

}  // namespace nml::host
