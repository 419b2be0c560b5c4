#include "common/number_text.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace nml {

NumberRead ReadNumber(std::string_view text, double& out) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.size() >= 2 && text.front() == '+' && text[1] != '+' && text[1] != '-') text.remove_prefix(1);
  if (text.empty()) return NumberRead::kNotANumber;
  // std::from_chars would also take "inf", "nan" and "infinity".
  for (const char c : text)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
      return NumberRead::kNotANumber;
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (end != text.data() + text.size()) return NumberRead::kNotANumber;
  if (ec == std::errc::result_out_of_range) return NumberRead::kOutOfRange;
  if (ec != std::errc() || !std::isfinite(value)) return NumberRead::kNotANumber;
  out = value;
  return NumberRead::kNumber;
}

std::optional<double> TextToNumber(std::string_view text) {
  double value = 0;
  if (ReadNumber(text, value) != NumberRead::kNumber) return std::nullopt;
  return value;
}

std::string NumberToText(double d, int significant) {
  if (d == 0) return "0";
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
  if (significant < 1) significant = 1;
  if (significant > 17) significant = 17;
  // General notation drops trailing zeros and switches to exponent form below
  // 1e-05 and from 10^significant on, as "%G" would, but without the locale.
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::general, significant);
  std::string text(buffer, ec == std::errc() ? end : buffer);
  for (char& c : text)
    if (c == 'e') c = 'E';
  return text;
}

}  // namespace nml
