#include "cli/prep/area_reference.h"

#include <algorithm>
#include <cctype>
#include <tuple>

namespace nml::prep {

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads "$C" or "C" at pos; 0 when there are no letters or the column lies
// outside the grid.
std::int32_t ReadColumn(std::string_view s, std::size_t& pos) {
  if (pos < s.size() && s[pos] == '$') ++pos;
  std::int32_t col = 0;
  std::size_t n = 0;
  while (pos < s.size() && IsLetter(s[pos]) && n < 4) {
    col = col * 26 + (std::toupper(static_cast<unsigned char>(s[pos])) - 'A' + 1);
    ++pos;
    ++n;
  }
  return n > 0 && col <= kGridColumns ? col : 0;
}

std::int32_t ReadRow(std::string_view s, std::size_t& pos) {
  if (pos < s.size() && s[pos] == '$') ++pos;
  std::int64_t row = 0;
  std::size_t n = 0;
  while (pos < s.size() && IsDigit(s[pos]) && n < 8) {
    row = row * 10 + (s[pos] - '0');
    ++pos;
    ++n;
  }
  return n > 0 && row >= 1 && row <= kGridRows ? static_cast<std::int32_t>(row) : 0;
}

// One area without its sheet prefix.
std::optional<Area> ParseRect(std::string_view s) {
  Area a;
  std::size_t pos = 0;
  const std::int32_t c1 = ReadColumn(s, pos);
  if (c1 == 0) return std::nullopt;
  const std::int32_t r1 = ReadRow(s, pos);
  if (pos == s.size()) {
    if (r1 == 0) return std::nullopt;
    a.top = a.bottom = r1;
    a.left = a.right = c1;
    return a;
  }
  if (s[pos] != ':') return std::nullopt;
  ++pos;
  const std::int32_t c2 = ReadColumn(s, pos);
  if (c2 == 0) return std::nullopt;
  const std::int32_t r2 = ReadRow(s, pos);
  if (pos != s.size() || (r1 == 0) != (r2 == 0)) return std::nullopt;
  a.left = std::min(c1, c2);
  a.right = std::max(c1, c2);
  if (r1 == 0) {
    a.wholeColumns = true;
    a.top = 1;
    a.bottom = kGridRows;
  } else {
    a.top = std::min(r1, r2);
    a.bottom = std::max(r1, r2);
  }
  return a;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<std::vector<Area>> ParseAreas(std::string_view text) {
  std::vector<Area> areas;
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] == '\'') quoted = !quoted;  // '' inside a name toggles twice
    if (i < text.size() && (quoted || text[i] != ',')) continue;
    std::string_view part = Trim(text.substr(start, i - start));
    start = i + 1;
    std::string sheet;
    const std::size_t bang = part.rfind('!');
    if (bang != std::string_view::npos) {
      std::string_view name = part.substr(0, bang);
      if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') {
        name = name.substr(1, name.size() - 2);
        for (std::size_t k = 0; k < name.size(); ++k) {
          sheet += name[k];
          if (name[k] == '\'' && k + 1 < name.size() && name[k + 1] == '\'') ++k;
        }
      } else {
        sheet = std::string(name);
      }
      if (sheet.empty()) return std::nullopt;
      part = part.substr(bang + 1);
    }
    auto area = ParseRect(part);
    if (!area) return std::nullopt;
    area->sheet = std::move(sheet);
    areas.push_back(std::move(*area));
  }
  if (quoted || areas.empty()) return std::nullopt;
  return areas;
}

std::string ColumnName(std::int32_t column) {
  std::string s;
  while (column > 0) {
    const std::int32_t r = (column - 1) % 26;
    s.insert(s.begin(), static_cast<char>('A' + r));
    column = (column - 1) / 26;
  }
  return s;
}

// Whether a name would read as a cell, a column ("D", "A1") or an R1C1
// reference, which a sheet prefix must quote.
bool ReadsAsReference(std::string_view name) {
  std::size_t pos = 0;
  if (ReadColumn(name, pos) != 0 && (pos == name.size() || (ReadRow(name, pos) != 0 && pos == name.size())))
    return true;
  if (name.empty() || std::toupper(static_cast<unsigned char>(name[0])) != 'R') return false;
  std::size_t i = 1;
  while (i < name.size() && IsDigit(name[i])) ++i;
  if (i == name.size() || std::toupper(static_cast<unsigned char>(name[i])) != 'C') return false;
  for (++i; i < name.size(); ++i)
    if (!IsDigit(name[i])) return false;
  return true;
}

std::string SheetPrefix(std::string_view sheet, bool quoteAlways) {
  bool plain = !sheet.empty() && !IsDigit(sheet.front()) && !ReadsAsReference(sheet);
  for (char c : sheet)
    if (!(IsLetter(c) || IsDigit(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80)) plain = false;
  if (plain && !quoteAlways) return std::string(sheet) + "!";
  std::string s = "'";
  for (char c : sheet) {
    s += c;
    if (c == '\'') s += '\'';
  }
  return s + "'!";
}

std::string FormatArea(const Area& area, bool quoteAlways) {
  std::string s = area.sheet.empty() ? std::string() : SheetPrefix(area.sheet, quoteAlways);
  for (const auto& [column, row, lead] : {std::tuple{area.left, area.top, "$"}, {area.right, area.bottom, ":$"}}) {
    s += lead;
    s += ColumnName(column);
    s += '$';
    s += std::to_string(row);
  }
  return s;
}

std::string FormatAreas(const std::vector<Area>& areas, bool quoteAlways) {
  std::string s;
  for (const Area& a : areas) {
    if (!s.empty()) s += ',';
    s += FormatArea(a, quoteAlways);
  }
  return s;
}

}  // namespace nml::prep
