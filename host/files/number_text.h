// Decimal numbers as the files spell them ("1.5", "-2E-3", "1e-400").
#pragma once

#include <optional>
#include <string_view>

namespace nml::files {

/// The double nearest the number that text spells (C locale, no surrounding
/// blanks, no leading "+"). A number too small for a double is the value it
/// rounds to (0, or the nearest subnormal); one too large for a double, and
/// text that is not a whole number, give std::nullopt.
std::optional<double> DecimalNumber(std::string_view text);

}  // namespace nml::files
