#include "host/reference_parser.h"

#include <algorithm>

#include "host/reference_endpoint.h"
#include "host/sheet_name.h"

namespace nml::host {

namespace {

using detail::Endpoint;
using detail::IsAsciiLetter;
using detail::IsDigit;
using detail::IsHighByte;
using detail::ParseEndpoint;
using detail::TokenEndpoint;


bool IsSpace(char c) { return c == ' ' || c == '\t'; }
// Characters of an unquoted sheet name.
bool IsNameChar(char c) { return IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.' || IsHighByte(c); }



// Reads an optional sheet qualifier ("Data!" or "'My data'!") at i. Returns
// false for a malformed one; leaves i alone when there is none.
bool ParseSheet(std::string_view s, std::size_t& i, std::optional<std::string>& sheet) {
  if (i < s.size() && s[i] == '\'') {
    std::string name;
    std::size_t j = i + 1;
    for (;;) {
      if (j >= s.size()) return false;
      if (s[j] == '\'') {
        if (j + 1 < s.size() && s[j + 1] == '\'') {
          name += '\'';
          j += 2;
          continue;
        }
        ++j;
        break;
      }
      name += s[j++];
    }
    if (j >= s.size() || s[j] != '!' || !IsValidSheetName(name)) return false;
    sheet = std::move(name);
    i = j + 1;
    return true;
  }
  std::size_t j = i;
  while (j < s.size() && IsNameChar(s[j])) ++j;
  if (j > i && j < s.size() && s[j] == '!') {
    std::string_view name = s.substr(i, j - i);
    if (!IsValidSheetName(name)) return false;
    sheet = std::string(name);
    i = j + 1;
  }
  return true;
}

std::optional<ParsedArea> ParseArea(std::string_view s) {
  ParsedArea area;
  std::size_t i = 0;
  if (!ParseSheet(s, i, area.sheet)) return std::nullopt;
  Endpoint a;
  if (!ParseEndpoint(s, i, a)) return std::nullopt;
  Endpoint b = a;
  if (i < s.size() && s[i] == ':') {
    ++i;
    if (!ParseEndpoint(s, i, b)) return std::nullopt;
  } else if (!a.IsCell()) {
    return std::nullopt;  // a lone column or row is not a reference
  }
  if (i != s.size()) return std::nullopt;
  if (a.IsCell() && b.IsCell()) {
    area.rect = CellRect{std::min(a.row, b.row), std::min(a.col, b.col), std::max(a.row, b.row),
                         std::max(a.col, b.col)};
  } else if (a.IsColumn() && b.IsColumn()) {
    area.rect = CellRect{1, std::min(a.col, b.col), kMaxRows, std::max(a.col, b.col)};
  } else if (a.IsRow() && b.IsRow()) {
    area.rect = CellRect{std::min(a.row, b.row), 1, std::max(a.row, b.row), kMaxColumns};
  } else {
    return std::nullopt;
  }
  return area;
}



}  // namespace

std::optional<std::vector<ParsedArea>> ParseReference(std::string_view text) {
  if (text.empty() || text.size() > kMaxReferenceLength) return std::nullopt;
  std::vector<ParsedArea> areas;
  std::size_t start = 0;
  for (;;) {
    // An area runs to the next comma outside a quoted sheet name.
    std::size_t end = start;
    bool quoted = false;
    while (end < text.size() && (quoted || text[end] != ',')) {
      if (text[end] == '\'') quoted = !quoted;  // '' toggles twice
      ++end;
    }
    std::string_view piece = text.substr(start, end - start);
    while (!piece.empty() && IsSpace(piece.front())) piece.remove_prefix(1);
    while (!piece.empty() && IsSpace(piece.back())) piece.remove_suffix(1);
    if (piece.empty()) return std::nullopt;
    auto area = ParseArea(piece);
    if (!area) return std::nullopt;
    if (areas.size() == kMaxAreas) return std::nullopt;
    areas.push_back(std::move(*area));
    if (end == text.size()) break;
    start = end + 1;
  }
  return areas;
}

std::string ColumnLetters(std::int32_t column) {
  if (column < 1 || column > kMaxColumns) return {};
  std::string s;
  while (column > 0) {
    const int r = (column - 1) % 26;
    s.insert(s.begin(), static_cast<char>('A' + r));
    column = (column - 1) / 26;
  }
  return s;
}

std::string AbsoluteAddress(const CellRect& rect) {
  // Built by appending: GCC 12 warns falsely about "$" + std::string.
  std::string s;
  auto part = [&s](const std::string& text) {
    s.push_back('$');
    s.append(text);
  };
  if (SpansAllColumns(rect)) {
    part(std::to_string(rect.top));
    s.push_back(':');
    part(std::to_string(rect.bottom));
  } else if (SpansAllRows(rect)) {
    part(ColumnLetters(rect.left));
    s.push_back(':');
    part(ColumnLetters(rect.right));
  } else {
    part(ColumnLetters(rect.left));
    part(std::to_string(rect.top));
    if (rect.Rows() != 1 || rect.Columns() != 1) {
      s.push_back(':');
      part(ColumnLetters(rect.right));
      part(std::to_string(rect.bottom));
    }
  }
  return s;
}

std::string SheetPrefix(std::string_view sheetName) {
  bool quote = sheetName.empty() || IsDigit(sheetName.front());
  for (char c : sheetName)
    if (!(IsAsciiLetter(c) || IsDigit(c) || c == '_' || IsHighByte(c))) quote = true;
  // A name that reads as a cell reference ("A1", "r1c1") must be quoted too.
  if (!quote && TokenEndpoint(sheetName).has_value()) quote = true;
  if (!quote && (sheetName.front() == 'R' || sheetName.front() == 'r')) {
    std::size_t i = 1;
    while (i < sheetName.size() && IsDigit(sheetName[i])) ++i;
    if (i < sheetName.size() && (sheetName[i] == 'C' || sheetName[i] == 'c')) {
      ++i;
      while (i < sheetName.size() && IsDigit(sheetName[i])) ++i;
      if (i == sheetName.size()) quote = true;
    }
  }
  if (!quote) return std::string(sheetName) + "!";
  std::string s = "'";
  for (char c : sheetName) {
    s += c;
    if (c == '\'') s += '\'';
  }
  return s + "'!";
}


}  // namespace nml::host

