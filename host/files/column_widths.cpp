#include "host/files/column_widths.h"

#include <algorithm>
#include <cmath>

namespace nml::host::files {
namespace {

/// Digits left of the decimal point of |v| (at least 1).
int IntegerDigits(double v) {
  v = std::fabs(v);
  int digits = 1;
  double limit = 10.0;
  while (v >= limit && digits < 309) {
    ++digits;
    limit *= 10.0;
  }
  return digits;
}

}  // namespace

NumberLook LookOf(const std::string& code) {
  NumberLook look;
  if (code.empty() || code == "General") return look;
  look.general = false;
  const std::string section = code.substr(0, code.find(';'));
  look.percent = section.find('%') != std::string::npos;
  look.thousands = section.find(',') != std::string::npos;
  const std::size_t point = section.find('.');
  if (point != std::string::npos)
    for (std::size_t i = point + 1; i < section.size() && (section[i] == '0' || section[i] == '#'); ++i) ++look.decimals;
  return look;
}

double NumberChars(double v, const NumberLook& look) {
  const int sign = v < 0 ? 1 : 0;
  if (look.general) {
    // General shrinks fractions to fit and switches to exponents past 11 characters.
    return std::min(11, sign + IntegerDigits(v));
  }
  const double shown = look.percent ? v * 100.0 : v;
  const int digits = IntegerDigits(shown);
  return sign + digits + (look.thousands ? (digits - 1) / 3 : 0) + (look.decimals > 0 ? look.decimals + 1 : 0) +
         (look.percent ? 1 : 0);
}

double TextChars(const std::string& text) {
  std::size_t longest = 0, current = 0;
  for (const char c : text) {
    if (c == '\n') {
      longest = std::max(longest, current);
      current = 0;
    } else if ((static_cast<unsigned char>(c) & 0xC0u) != 0x80u) {
      ++current;
    }
  }
  return static_cast<double>(std::max(longest, current));
}

void ColumnWidths::Visit(std::int32_t row, std::int32_t col, bool filled) {
  if (filled && pendingRow_ == row && pendingCol_ == col - 1) Widen(pendingCol_, pendingChars_);
  pendingRow_ = pendingCol_ = 0;
  pendingChars_ = 0;
}

void ColumnWidths::Widen(std::int32_t col, double chars) {
  const auto at = static_cast<std::size_t>(col);
  if (at >= chars_.size()) chars_.resize(at + 1, 0.0);
  chars_[at] = std::max(chars_[at], chars);
}

void ColumnWidths::Text(std::int32_t row, std::int32_t col, double chars, bool spills) {
  if (!spills) {
    Widen(col, chars);
    return;
  }
  pendingRow_ = row;
  pendingCol_ = col;
  pendingChars_ = chars;
}

std::int32_t ColumnWidths::LastColumn() const { return std::max(static_cast<std::int32_t>(chars_.size()) - 1, 0); }

double ColumnWidths::Width(std::int32_t col, double own) const {
  if (own > 0) return std::min(own, 255.0);
  const auto at = static_cast<std::size_t>(col);
  const double n = at < chars_.size() ? chars_[at] : 0.0;
  const double estimate = std::min(n + 1.5, kMaxEstimatedWidth);
  return estimate > kDefaultColumnWidth ? estimate : kDefaultColumnWidth;
}

}  // namespace nml::host::files
