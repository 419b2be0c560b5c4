#include "host/reference_endpoint.h"

#include "host/cell_rect.h"
#include "host/reference_parser.h"

namespace nml::host::detail {
namespace {

int LetterValue(char c) { return (c >= 'a' ? c - 'a' : c - 'A') + 1; }

}  // namespace

// At most three letters and a bounded number of digits are accepted, so no
// arithmetic can overflow.
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

std::optional<Endpoint> TokenEndpoint(std::string_view token) {
  Endpoint e;
  std::size_t i = 0;
  if (!ParseEndpoint(token, i, e) || i != token.size()) return std::nullopt;
  return e;
}

}  // namespace nml::host::detail
