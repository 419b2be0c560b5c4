#include "common/checked.h"

#include <cmath>
#include <limits>

#include "nmlcorrelation/error.h"

namespace nml {

double CheckedDiv(double a, double b, std::source_location where) {
  if (b == 0.0) Raise(rt::kDivisionByZero, {}, {}, where);
  return CheckedFinite(a / b, where);
}

double CheckedSqrt(double x, std::source_location where) {
  if (!(x >= 0.0)) Raise(rt::kInvalidCall, {}, {}, where);
  return std::sqrt(x);
}

double CheckedLog(double x, std::source_location where) {
  if (!(x > 0.0)) Raise(rt::kInvalidCall, {}, {}, where);
  return std::log(x);
}

double CheckedPow(double x, double y, std::source_location where) {
  if (x == 0.0 && y < 0.0) Raise(rt::kDivisionByZero, {}, {}, where);
  if (x < 0.0 && y != std::floor(y)) Raise(rt::kInvalidCall, {}, {}, where);
  return CheckedFinite(std::pow(x, y), where);
}

double CheckedFinite(double x, std::source_location where) {
  if (std::isnan(x)) Raise(rt::kInvalidCall, {}, {}, where);
  if (std::isinf(x)) Raise(rt::kOverflow, {}, {}, where);
  return x;
}

std::int16_t ToInteger(double x, std::source_location where) {
  if (std::isnan(x)) Raise(rt::kOverflow, {}, {}, where);
  const double r = std::nearbyint(x);  // default rounding mode: halves to even
  if (r < std::numeric_limits<std::int16_t>::min() || r > std::numeric_limits<std::int16_t>::max())
    Raise(rt::kOverflow, {}, {}, where);
  return static_cast<std::int16_t>(r);
}

std::int16_t ToInteger(std::int64_t x, std::source_location where) {
  if (x < std::numeric_limits<std::int16_t>::min() || x > std::numeric_limits<std::int16_t>::max())
    Raise(rt::kOverflow, {}, {}, where);
  return static_cast<std::int16_t>(x);
}

std::int32_t ToLong(double x, std::source_location where) {
  if (std::isnan(x)) Raise(rt::kOverflow, {}, {}, where);
  const double r = std::nearbyint(x);
  if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max())
    Raise(rt::kOverflow, {}, {}, where);
  return static_cast<std::int32_t>(r);
}

std::int32_t ToLong(std::int64_t x, std::source_location where) {
  if (x < std::numeric_limits<std::int32_t>::min() || x > std::numeric_limits<std::int32_t>::max())
    Raise(rt::kOverflow, {}, {}, where);
  return static_cast<std::int32_t>(x);
}

std::int16_t AddInteger(std::int16_t a, std::int16_t b, std::source_location where) {
  return ToInteger(static_cast<std::int64_t>(a) + b, where);
}

std::int32_t AddLong(std::int32_t a, std::int32_t b, std::source_location where) {
  return ToLong(static_cast<std::int64_t>(a) + b, where);
}

std::int32_t MulLong(std::int32_t a, std::int32_t b, std::source_location where) {
  return ToLong(static_cast<std::int64_t>(a) * b, where);
}

}  // namespace nml
