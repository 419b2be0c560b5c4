#include "host/files/formula_shift.h"

#include <optional>

#include "host/cell_rect.h"
#include "host/reference_parser.h"

namespace nml::files {
namespace {

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
         c == '$' || c == '\\' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

/// One part of a reference: an optional column and an optional row, each
/// relative or absolute.
struct RefPart {
  std::optional<std::int32_t> column;
  bool columnAbsolute = false;
  std::optional<std::int32_t> row;
  bool rowAbsolute = false;
};

/// Parses "$A$1", "B7", "$C" (column only) or "$12" (row only); the whole word must match.
std::optional<RefPart> ParsePart(std::string_view w) {
  RefPart part;
  std::size_t i = 0;
  bool dollar = i < w.size() && w[i] == '$';
  if (dollar) ++i;
  std::size_t letters = 0;
  std::int32_t column = 0;
  while (i < w.size() && IsLetter(w[i]) && letters < 4) {
    const char up = static_cast<char>(w[i] & ~0x20);
    column = column * 26 + (up - 'A' + 1);
    ++i;
    ++letters;
  }
  if (letters > 3) return std::nullopt;
  if (letters > 0) {
    if (column > host::kMaxColumns) return std::nullopt;
    part.column = column;
    part.columnAbsolute = dollar;
    dollar = i < w.size() && w[i] == '$';
    if (dollar) ++i;
  }
  std::size_t digits = 0;
  std::int64_t row = 0;
  while (i < w.size() && IsDigit(w[i]) && digits < 8) {
    row = row * 10 + (w[i] - '0');
    ++i;
    ++digits;
  }
  if (digits > 0) {
    if (row < 1 || row > host::kMaxRows || digits > 7) return std::nullopt;
    part.row = static_cast<std::int32_t>(row);
    part.rowAbsolute = dollar;
  } else if (dollar) {
    return std::nullopt;  // a lone "$" after the column
  }
  if (i != w.size() || (letters == 0 && digits == 0)) return std::nullopt;
  return part;
}

/// The moved text of a part, or std::nullopt when it leaves the grid.
std::optional<std::string> MovePart(const RefPart& p, std::int32_t rowOffset, std::int32_t colOffset) {
  std::string out;
  if (p.column) {
    std::int64_t c = *p.column;
    if (!p.columnAbsolute) c += colOffset;
    if (c < 1 || c > host::kMaxColumns) return std::nullopt;
    if (p.columnAbsolute) out.push_back('$');
    out += host::ColumnLetters(static_cast<std::int32_t>(c));
  }
  if (p.row) {
    std::int64_t r = *p.row;
    if (!p.rowAbsolute) r += rowOffset;
    if (r < 1 || r > host::kMaxRows) return std::nullopt;
    if (p.rowAbsolute) out.push_back('$');
    out += std::to_string(r);
  }
  return out;
}

/// Copies a quoted run ("text" or 'sheet name') with its doubled quotes.
std::size_t CopyQuoted(std::string_view f, std::size_t i, std::string& out) {
  const char quote = f[i];
  out.push_back(f[i++]);
  while (i < f.size()) {
    out.push_back(f[i]);
    if (f[i] == quote) {
      if (i + 1 < f.size() && f[i + 1] == quote) {
        out.push_back(f[i + 1]);
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

std::string ShiftFormula(std::string_view f, std::int32_t rowOffset, std::int32_t colOffset) {
  std::string out;
  out.reserve(f.size() + 8);
  std::size_t i = 0;
  while (i < f.size()) {
    const char c = f[i];
    if (c == '"' || c == '\'') {
      i = CopyQuoted(f, i, out);
      continue;
    }
    if (c == '[') {  // structured references and external book indices stay as they are
      int depth = 0;
      while (i < f.size()) {
        out.push_back(f[i]);
        if (f[i] == '[') ++depth;
        if (f[i] == ']' && --depth == 0) {
          ++i;
          break;
        }
        ++i;
      }
      continue;
    }
    if (c == '#') {  // error literals such as #REF! or #N/A
      out.push_back(c);
      ++i;
      while (i < f.size() && (IsLetter(f[i]) || IsDigit(f[i]) || f[i] == '/' || f[i] == '!' || f[i] == '?' || f[i] == '_')) {
        out.push_back(f[i]);
        ++i;
      }
      continue;
    }
    if (!IsWordChar(c)) {
      out.push_back(c);
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < f.size() && IsWordChar(f[end])) ++end;
    const std::string_view word = f.substr(i, end - i);
    const char next = end < f.size() ? f[end] : '\0';
    if (next == '(' || next == '!') {  // a function or a sheet name
      out.append(word);
      i = end;
      continue;
    }
    const std::optional<RefPart> first = ParsePart(word);
    if (!first) {
      out.append(word);
      i = end;
      continue;
    }
    // A range "A1:B2", "A:C" or "3:5": both ends must be of the same kind.
    if (next == ':') {
      std::size_t end2 = end + 1;
      while (end2 < f.size() && IsWordChar(f[end2])) ++end2;
      const std::optional<RefPart> second = ParsePart(f.substr(end + 1, end2 - end - 1));
      const bool sameKind = second && first->column.has_value() == second->column.has_value() &&
                            first->row.has_value() == second->row.has_value();
      if (sameKind) {
        const auto a = MovePart(*first, rowOffset, colOffset);
        const auto b = MovePart(*second, rowOffset, colOffset);
        out += (a && b) ? *a + ":" + *b : std::string("#REF!");
        i = end2;
        continue;
      }
    }
    // A lone word is a cell reference only with both a column and a row;
    // "A" or "12" on their own are names or numbers.
    if (first->column && first->row) {
      const auto moved = MovePart(*first, rowOffset, colOffset);
      out += moved ? *moved : std::string("#REF!");
    } else {
      out.append(word);
    }
    i = end;
  }
  return out;
}

}  // namespace nml::files
