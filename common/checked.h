// Checked arithmetic: the operations whose failure the component reports as
// the runtime's standard errors instead of letting an IEEE infinity or NaN
// through. Each raises at the caller's line.
#pragma once

#include <cstdint>
#include <source_location>

namespace nml {

/// a / b; b == 0 raises Division by zero (11), an infinite quotient Overflow (6).
double CheckedDiv(double a, double b, std::source_location where = std::source_location::current());
/// sqrt(x); x < 0 raises Invalid procedure call or argument (5).
double CheckedSqrt(double x, std::source_location where = std::source_location::current());
/// Natural logarithm; x <= 0 raises 5.
double CheckedLog(double x, std::source_location where = std::source_location::current());
/// x raised to y; 0 to a negative power raises 11, a negative base with a
/// fractional power raises 5, an infinite result raises 6.
double CheckedPow(double x, double y, std::source_location where = std::source_location::current());
/// Product, sum or difference whose result must stay finite (else 6).
double CheckedFinite(double x, std::source_location where = std::source_location::current());

/// Conversion to a 16-bit Integer, rounding halves to even; out of range raises 6.
std::int16_t ToInteger(double x, std::source_location where = std::source_location::current());
std::int16_t ToInteger(std::int64_t x, std::source_location where = std::source_location::current());
/// Conversion to a 32-bit Long, rounding halves to even; out of range raises 6.
std::int32_t ToLong(double x, std::source_location where = std::source_location::current());
std::int32_t ToLong(std::int64_t x, std::source_location where = std::source_location::current());

/// 16-bit counter arithmetic that raises 6 on overflow.
std::int16_t AddInteger(std::int16_t a, std::int16_t b, std::source_location where = std::source_location::current());
/// 32-bit arithmetic that raises 6 on overflow.
std::int32_t AddLong(std::int32_t a, std::int32_t b, std::source_location where = std::source_location::current());
std::int32_t MulLong(std::int32_t a, std::int32_t b, std::source_location where = std::source_location::current());

}  // namespace nml
