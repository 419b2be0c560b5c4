// Numbers to text and text to numbers, the same whatever locale the host
// process has set: a point is the decimal mark, never a comma.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nml {

enum class NumberRead { kNumber, kNotANumber, kOutOfRange };

/// Reads text as a decimal number: spaces, tabs, carriage returns and line
/// feeds around it are ignored, one leading "+" is allowed (not "+-1"), then
/// digits with an optional point and an optional exponent ("12", "-.5",
/// "1.5E-3"). "inf", "nan", hexadecimal and a decimal comma are not numbers;
/// a number too large or too small for a double gives kOutOfRange. out is set
/// only for kNumber.
NumberRead ReadNumber(std::string_view text, double& out);

/// The number ReadNumber finds, or nothing (also when out of range).
std::optional<double> TextToNumber(std::string_view text);

/// d with at most significant significant digits (1 to 17), trailing zeros
/// dropped, in exponent form below 1E-05 and from 10^significant on, with an
/// upper-case E, a sign and two digits at least: NumberToText(0.1, 15) is
/// "0.1", NumberToText(1e-5, 15) "1E-05", NumberToText(123456789012345678.0,
/// 15) "1.23456789012346E+17". Zero (also -0) gives "0", and the non-finite
/// values "NaN", "Infinity" and "-Infinity".
std::string NumberToText(double d, int significant = 15);

}  // namespace nml
