#include "cli/report_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "host/error_values.h"

namespace nml::cli {

namespace {

// Decimal places of a fixed format such as "0", "0.00" or "0.0000"; -1 when
// the format is not of that kind.
int FixedDecimals(const std::string& format) {
  if (format.empty() || format[0] != '0') return -1;
  if (format == "0") return 0;
  if (format.size() < 3 || format[1] != '.') return -1;
  for (std::size_t i = 2; i < format.size(); ++i)
    if (format[i] != '0') return -1;
  return static_cast<int>(format.size()) - 2;
}

std::string General(double d) {
  if (d == 0) return "0";
  char buf[40];
  const double a = std::fabs(d);
  if (a >= 1e11 || a < 1e-9)
    std::snprintf(buf, sizeof buf, "%.5E", d);
  else
    std::snprintf(buf, sizeof buf, "%.10G", d);
  std::string s(buf);
  const auto e = s.find('E');
  std::string mant = e == std::string::npos ? s : s.substr(0, e);
  const std::string exp = e == std::string::npos ? "" : s.substr(e);
  if (mant.find('.') != std::string::npos) {
    while (mant.back() == '0') mant.pop_back();
    if (mant.back() == '.') mant.pop_back();
  }
  return mant + exp;
}

// Display width in terminal columns: one per UTF-8 code point.
std::size_t Width(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

std::string DisplayText(const Variant& value, const std::string& numberFormat) {
  if (!value.IsNumber()) {
    if (value.Kind() == VarKind::kErrorValue) return std::string(host::ErrorValueText(value.AsErrorValue()));
    if (value.Kind() == VarKind::kBoolean) return value.AsBoolean() ? "TRUE" : "FALSE";
    return value.IsText() ? value.Text() : std::string();
  }
  const double d = value.ToDouble();
  const int decimals = FixedDecimals(numberFormat);
  if (decimals >= 0) {
    char buf[64];
    if (std::fabs(d) < 1e15) {
      // Halves round away from zero, as a spreadsheet shows them.
      const double scale = std::pow(10.0, decimals);
      std::snprintf(buf, sizeof buf, "%.*f", decimals, std::round(d * scale) / scale);
      std::string s(buf);
      // A negative number that rounds to zero shows as zero.
      if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
      return s;
    }
    return General(d);
  }
  return General(d);
}

std::string RenderTable(const CellBlock& block, const std::vector<CellStyle>& styles) {
  const std::int32_t rows = block.rows;
  const std::int32_t cols = block.columns;
  struct Cell {
    std::string text;
    bool number = false;
  };
  std::vector<Cell> cells(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
  auto at = [&](std::int32_t r, std::int32_t c) -> Cell& {
    return cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c)];
  };
  for (std::int32_t r = 0; r < rows; ++r)
    for (std::int32_t c = 0; c < cols; ++c) {
      const Variant& v = block.At(r, c);
      if (v.IsEmpty()) continue;
      const std::size_t i = static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c);
      at(r, c) = {DisplayText(v, i < styles.size() ? styles[i].numberFormat : "General"), v.IsNumber()};
    }

  std::vector<std::size_t> width(static_cast<std::size_t>(cols), 0);
  for (std::int32_t r = 0; r < rows; ++r)
    for (std::int32_t c = 0; c < cols; ++c) {
      const Cell& cell = at(r, c);
      if (cell.text.empty()) continue;
      const bool overflows = !cell.number && (c + 1 == cols || at(r, c + 1).text.empty());
      if (!overflows) width[c] = std::max(width[c], Width(cell.text));
    }

  std::string out;
  for (std::int32_t r = 0; r < rows; ++r) {
    std::string line;
    for (std::int32_t c = 0; c < cols; ++c) {
      const Cell& cell = at(r, c);
      const std::size_t w = Width(cell.text);
      // Text that ran over earlier columns pushes this cell right.
      std::size_t start = 0;
      for (std::int32_t k = 0; k < c; ++k) start += width[k] + 2;
      if (cell.text.empty()) continue;
      if (Width(line) > start) start = Width(line) + 1;
      line.append(start - Width(line), ' ');
      if (cell.number && w < width[c]) line.append(width[c] - w, ' ');
      line += cell.text;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line;
    out += '\n';
  }
  return out;
}

}  // namespace nml::cli
