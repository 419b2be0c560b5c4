#include "host/reference_parser.h"

#include <algorithm>

namespace nml::host {

namespace {

// One end of a reference: a cell (column and row), a column alone or a row
// alone, each part possibly marked absolute with $.
struct Endpoint {
  std::int32_t col = 0;  // 0 when absent
  std::int32_t row = 0;  // 0 when absent
  bool colAbsolute = false;
  bool rowAbsolute = false;

  bool IsCell() const { return col != 0 && row != 0; }
  bool IsColumn() const { return col != 0 && row == 0; }
  bool IsRow() const { return col == 0 && row != 0; }
};

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t'; }
bool IsHighByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }
// Characters of an unquoted sheet name.
bool IsNameChar(char c) { return IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.' || IsHighByte(c); }

int LetterValue(char c) { return (c >= 'a' ? c - 'a' : c - 'A') + 1; }

// Reads [$]letters[$]digits from s at i. At most three letters and a bounded
// number of digits are accepted, so no arithmetic can overflow.
bool ParseEndpoint(std::string_view s, std::size_t& i, Endpoint& e) {
  constexpr std::size_t kMaxDigits = 10;
  e = Endpoint{};
  bool firstDollar = false;
  if (i < s.size() && s[i] == '$') {
    firstDollar = true;
    ++i;
  }
  std::size_t letters = 0;
  std::int32_t col = 0;
  while (i < s.size() && IsAsciiLetter(s[i])) {
    if (++letters > 3) return false;
    col = col * 26 + LetterValue(s[i]);
    ++i;
  }
  bool rowDollar = false;
  if (letters > 0) {
    if (col > kMaxColumns) return false;
    e.col = col;
    e.colAbsolute = firstDollar;
    if (i < s.size() && s[i] == '$') {
      rowDollar = true;
      ++i;
    }
  } else {
    rowDollar = firstDollar;
  }
  std::size_t digits = 0;
  std::int32_t row = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (++digits > kMaxDigits) return false;
    row = row * 10 + (s[i] - '0');
    if (row > kMaxRows) return false;
    ++i;
  }
  if (digits == 0) {
    if (rowDollar || letters == 0) return false;  // "$A$" or "$" alone
    return true;
  }
  if (row == 0) return false;
  e.row = row;
  e.rowAbsolute = rowDollar;
  return true;
}

// Number of characters of UTF-8 text (continuation bytes not counted).
std::size_t CharCount(std::string_view s) {
  return static_cast<std::size_t>(
      std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool ValidSheetName(std::string_view name) {
  if (name.empty() || name.size() > 4 * 31 || CharCount(name) > 31) return false;
  if (name.front() == '\'' || name.back() == '\'') return false;
  return name.find_first_of(":\\/?*[]") == std::string_view::npos;
}

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
    if (j >= s.size() || s[j] != '!' || !ValidSheetName(name)) return false;
    sheet = std::move(name);
    i = j + 1;
    return true;
  }
  std::size_t j = i;
  while (j < s.size() && IsNameChar(s[j])) ++j;
  if (j > i && j < s.size() && s[j] == '!') {
    std::string_view name = s.substr(i, j - i);
    if (!ValidSheetName(name)) return false;
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

std::string EndpointText(const Endpoint& e) {
  std::string s;
  if (e.col != 0) {
    if (e.colAbsolute) s += '$';
    s += ColumnLetters(e.col);
  }
  if (e.row != 0) {
    if (e.rowAbsolute) s += '$';
    s += std::to_string(e.row);
  }
  return s;
}

// Moves the relative parts of e; false when it leaves the grid.
bool ShiftEndpoint(Endpoint& e, std::int32_t dRows, std::int32_t dCols) {
  const std::int64_t col = e.col != 0 && !e.colAbsolute ? static_cast<std::int64_t>(e.col) + dCols : e.col;
  const std::int64_t row = e.row != 0 && !e.rowAbsolute ? static_cast<std::int64_t>(e.row) + dRows : e.row;
  if (e.col != 0 && (col < 1 || col > kMaxColumns)) return false;
  if (e.row != 0 && (row < 1 || row > kMaxRows)) return false;
  e.col = static_cast<std::int32_t>(col);
  e.row = static_cast<std::int32_t>(row);
  return true;
}

// Characters of a word in a formula: a reference, a name or a number. Bytes
// of non-ASCII letters belong to the word, so "A1é" is a name, not a cell.
bool IsTokenChar(char c) {
  return IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.' || c == '$' || c == '\\' || IsHighByte(c);
}

// The whole of token as one endpoint, if it is one.
std::optional<Endpoint> TokenEndpoint(std::string_view token) {
  Endpoint e;
  std::size_t i = 0;
  if (!ParseEndpoint(token, i, e) || i != token.size()) return std::nullopt;
  return e;
}

// Copies a quoted stretch (opened by q at i, q doubled inside) to out.
std::size_t CopyQuoted(std::string_view f, std::size_t i, char q, std::string& out) {
  out += f[i++];
  while (i < f.size()) {
    out += f[i];
    if (f[i] == q) {
      if (i + 1 < f.size() && f[i + 1] == q) {
        out += f[i + 1];
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return i;
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

std::string ShiftFormula(std::string_view f, std::int32_t dRows, std::int32_t dCols) {
  std::string out;
  out.reserve(f.size() + 8);
  std::size_t i = 0;
  while (i < f.size()) {
    const char c = f[i];
    if (c == '"' || c == '\'') {
      i = CopyQuoted(f, i, c, out);
      continue;
    }
    if (c == '[') {  // structured references ("T[[#This Row],[A1]]") and book indices stay as they are
      int depth = 0;
      const std::size_t start = i;
      for (; i < f.size(); ++i) {
        if (f[i] == '[') ++depth;
        if (f[i] == ']' && --depth == 0) {
          ++i;
          break;
        }
      }
      out.append(f.substr(start, i - start));
      continue;
    }
    if (c == '#') {  // error literals such as #REF! or #N/A
      const std::size_t start = i++;
      while (i < f.size() && (IsAsciiLetter(f[i]) || IsDigit(f[i]) || f[i] == '/' || f[i] == '!' || f[i] == '?' ||
                              f[i] == '_'))
        ++i;
      out.append(f.substr(start, i - start));
      continue;
    }
    if (!IsTokenChar(c)) {
      out += c;
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < f.size() && IsTokenChar(f[j])) ++j;
    const std::string_view token = f.substr(i, j - i);
    const char next = j < f.size() ? f[j] : '\0';
    auto first = (next == '(' || next == '!') ? std::nullopt : TokenEndpoint(token);
    if (!first) {  // a function, a sheet name, a defined name or a number
      out.append(token);
      i = j;
      continue;
    }
    // A range "A1:B2", "A:C" or "3:5": both ends of one kind. Should either
    // end leave the grid, the whole range becomes #REF!.
    if (next == ':') {
      std::size_t k = j + 1;
      while (k < f.size() && IsTokenChar(f[k])) ++k;
      auto second = TokenEndpoint(f.substr(j + 1, k - j - 1));
      const char after = k < f.size() ? f[k] : '\0';
      if (second && after != '(' && after != '!' &&
          ((first->IsCell() && second->IsCell()) || (first->IsColumn() && second->IsColumn()) ||
           (first->IsRow() && second->IsRow()))) {
        if (ShiftEndpoint(*first, dRows, dCols) && ShiftEndpoint(*second, dRows, dCols))
          out += EndpointText(*first) + ":" + EndpointText(*second);
        else
          out += "#REF!";
        i = k;
        continue;
      }
    }
    // A column or row alone ("A", "12") is a name or a number, not a reference.
    if (first->IsCell())
      out += ShiftEndpoint(*first, dRows, dCols) ? EndpointText(*first) : "#REF!";
    else
      out.append(token);
    i = j;
  }
  return out;
}

}  // namespace nml::host

namespace nml::host {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace nml::host
