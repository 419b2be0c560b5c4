#include "calc/reference_text.h"

#include <algorithm>
#include <cctype>

namespace nml::calc {

namespace {

constexpr std::size_t kMaxText = 8192;

// Splits text at sep characters that lie outside single quotes.
std::vector<std::string_view> SplitOutsideQuotes(std::string_view text, std::string_view seps) {
  std::vector<std::string_view> parts;
  bool quoted = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\'') quoted = !quoted;
    else if (!quoted && seps.find(text[i]) != std::string_view::npos) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(text.substr(start));
  return parts;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// "$AB$12" or "ab12" -> (row, column); nullopt for anything else.
std::optional<std::pair<std::int32_t, std::int32_t>> ParseCell(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && s[i] == '$') ++i;
  std::int64_t col = 0;
  std::size_t letters = 0;
  while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i]))) {
    col = col * 26 + (std::toupper(static_cast<unsigned char>(s[i])) - 'A' + 1);
    if (++letters > 3) return std::nullopt;
    ++i;
  }
  if (letters == 0) return std::nullopt;
  if (i < s.size() && s[i] == '$') ++i;
  std::int64_t row = 0;
  std::size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
    row = row * 10 + (s[i] - '0');
    if (++digits > 7) return std::nullopt;
    ++i;
  }
  if (digits == 0 || i != s.size() || row < 1 || row > kCalcRows || col > kCalcColumns) return std::nullopt;
  return std::make_pair(static_cast<std::int32_t>(row), static_cast<std::int32_t>(col));
}

// Reads a sheet name, quoted ('My ''data''') or bare; nullopt when malformed.
std::optional<std::string> ParseSheet(std::string_view s) {
  if (!s.empty() && s.front() == '$') s.remove_prefix(1);  // Calc's absolute sheet
  if (s.empty()) return std::nullopt;
  if (s.front() != '\'') {
    if (s.find('\'') != std::string_view::npos) return std::nullopt;
    return std::string(s);
  }
  if (s.size() < 3 || s.back() != '\'') return std::nullopt;
  std::string name;
  for (std::size_t i = 1; i + 1 < s.size(); ++i) {
    if (s[i] == '\'') {
      if (i + 2 >= s.size() || s[i + 1] != '\'') return std::nullopt;
      ++i;
    }
    name += s[i];
  }
  return name;
}

// One corner "Sheet!A1", "$Sheet.$A$1" or "A1": (sheet if any, row, column).
struct Corner {
  std::optional<std::string> sheet;
  std::int32_t row = 0, col = 0;
};

std::optional<Corner> ParseCorner(std::string_view s) {
  s = Trim(s);
  Corner c;
  // The sheet ends at the last '!' (or, in Calc's form, the last '.') outside quotes.
  std::size_t cut = std::string_view::npos;
  bool quoted = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\'') quoted = !quoted;
    else if (!quoted && (s[i] == '!' || s[i] == '.')) cut = i;
  }
  if (cut != std::string_view::npos) {
    auto sheet = ParseSheet(s.substr(0, cut));
    if (!sheet) return std::nullopt;
    c.sheet = std::move(*sheet);
    s = s.substr(cut + 1);
  }
  auto cell = ParseCell(s);
  if (!cell) return std::nullopt;
  c.row = cell->first;
  c.col = cell->second;
  return c;
}

std::string QuoteSheet(const std::string& name) {
  std::string out = "'";
  for (char ch : name) {
    if (ch == '\'') out += '\'';
    out += ch;
  }
  return out + "'";
}

std::string Letters(std::int32_t col) {
  std::string s;
  for (; col > 0; col = (col - 1) / 26) s.insert(s.begin(), static_cast<char>('A' + (col - 1) % 26));
  return s;
}

}  // namespace

std::optional<std::vector<SheetArea>> ParseReferenceText(std::string_view text, const std::string& defaultSheet) {
  text = Trim(text);
  if (text.empty() || text.size() > kMaxText) return std::nullopt;
  std::vector<SheetArea> areas;
  for (std::string_view part : SplitOutsideQuotes(text, ",;~")) {
    auto corners = SplitOutsideQuotes(part, ":");
    if (corners.size() > 2) return std::nullopt;
    auto first = ParseCorner(corners[0]);
    if (!first) return std::nullopt;
    Corner second = *first;
    if (corners.size() == 2) {
      auto c = ParseCorner(corners[1]);
      if (!c || (c->sheet && c->sheet != first->sheet)) return std::nullopt;
      second = *c;
    }
    SheetArea a;
    a.sheet = first->sheet ? *first->sheet : defaultSheet;
    a.top = std::min(first->row, second.row);
    a.bottom = std::max(first->row, second.row);
    a.left = std::min(first->col, second.col);
    a.right = std::max(first->col, second.col);
    areas.push_back(std::move(a));
  }
  return areas;
}

std::string AbsoluteCells(std::int32_t top, std::int32_t left, std::int32_t bottom, std::int32_t right) {
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "$" + std::string.
  std::string s(1, '$');
  s.append(Letters(left)).append(1, '$').append(std::to_string(top));
  if (bottom != top || right != left) s.append(":$").append(Letters(right)).append(1, '$').append(std::to_string(bottom));
  return s;
}

std::string ToA1Text(const std::vector<SheetArea>& areas) {
  std::string s;
  for (const SheetArea& a : areas) {
    if (!s.empty()) s += ',';
    s += QuoteSheet(a.sheet) + "!" + AbsoluteCells(a.top, a.left, a.bottom, a.right);
  }
  return s;
}

}  // namespace nml::calc
