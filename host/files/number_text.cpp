#include "host/files/number_text.h"

#include <clocale>
#include <locale.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace nml::files {

std::optional<double> DecimalNumber(std::string_view text) {
  double value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (text.empty() || end != last) return std::nullopt;
  if (ec == std::errc()) return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
  if (ec != std::errc::result_out_of_range) return std::nullopt;
  // from_chars gives no value when the result underflows or overflows;
  // strtod (in the C locale) rounds an underflow to 0 or a subnormal.
  static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (!cLocale) return std::nullopt;
  const std::string copy(text);
  errno = 0;
  char* parsed = nullptr;
  const double rounded = ::strtod_l(copy.c_str(), &parsed, cLocale);
  if (parsed != copy.c_str() + copy.size() || !std::isfinite(rounded) || std::fabs(rounded) >= 2.2250738585072014e-308)
    return std::nullopt;
  return rounded;
}

}  // namespace nml::files
