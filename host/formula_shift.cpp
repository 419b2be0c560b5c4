#include "host/formula_shift.h"

#include <optional>

#include "host/cell_rect.h"
#include "host/reference_endpoint.h"

namespace nml::host {
namespace {

using detail::Endpoint;
using detail::EndpointText;
using detail::IsAsciiLetter;
using detail::IsDigit;
using detail::IsHighByte;
using detail::TokenEndpoint;

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
