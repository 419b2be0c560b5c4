#include "cli/prep/variable_names.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <numeric>

#include "cli/prep/prep_errors.h"

namespace nml::prep {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Trimmed(std::string_view s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  const auto e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

bool SameName(std::string_view a, std::string_view b) { return Lower(Trimmed(a)) == Lower(Trimmed(b)); }

std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

// The sheet prefix of a field, when the text before its first "!" names a
// sheet ("'My data'!Age" or "Clean!Age"); a name such as "Wow!" stays whole.
std::pair<std::string, std::string> SplitSheet(const std::string& field, const std::vector<std::string>& sheets) {
  std::size_t bang = std::string::npos;
  std::string sheet;
  if (field.size() > 1 && field[0] == '\'') {
    for (std::size_t i = 1; i < field.size(); ++i) {
      if (field[i] != '\'') {
        sheet += field[i];
      } else if (i + 1 < field.size() && field[i + 1] == '\'') {
        sheet += '\'';
        ++i;
      } else {
        if (i + 1 < field.size() && field[i + 1] == '!') bang = i + 1;
        break;
      }
    }
  } else {
    bang = field.find('!');
    if (bang != std::string::npos) sheet = field.substr(0, bang);
  }
  if (bang == std::string::npos) return {{}, field};
  for (const std::string& s : sheets)
    if (SameName(s, sheet)) return {s, field.substr(bang + 1)};
  if (field[0] == '\'') RaisePrep(kUnknownSheet, "no sheet is named '" + sheet + "'");
  return {{}, field};
}

std::string JoinQuoted(const std::vector<std::string>& names) {
  std::string s;
  for (const std::string& n : names) s += (s.empty() ? "" : ", ") + ("\"" + n + "\"");
  return s;
}

}  // namespace

std::vector<std::string> SplitNameList(std::string_view list) {
  std::vector<std::string> fields;
  std::size_t i = 0;
  while (true) {
    while (i < list.size() && (list[i] == ' ' || list[i] == '\t')) ++i;
    std::string field;
    if (i < list.size() && list[i] == '"') {
      ++i;
      bool closed = false;
      for (; i < list.size(); ++i) {
        if (list[i] != '"') {
          field += list[i];
        } else if (i + 1 < list.size() && list[i + 1] == '"') {
          field += '"';
          ++i;
        } else {
          closed = true;
          ++i;
          break;
        }
      }
      if (!closed) RaisePrep(kBadNameList, "unclosed quote in the list of names: " + std::string(list));
      while (i < list.size() && (list[i] == ' ' || list[i] == '\t')) ++i;
      if (i < list.size() && list[i] != ',')
        RaisePrep(kBadNameList, "text after a closing quote in the list of names: " + std::string(list));
    } else {
      const std::size_t end = std::min(list.find(',', i), list.size());
      field = Trimmed(list.substr(i, end - i));
      i = end;
    }
    if (field.empty()) RaisePrep(kBadNameList, "an empty name in the list of names: " + std::string(list));
    fields.push_back(std::move(field));
    if (i >= list.size()) break;
    ++i;  // the comma
  }
  return fields;
}

std::int32_t FirstUsedRow(const CellBlock& block) {
  for (std::int32_t r = 0; r < block.rows; ++r)
    for (std::int32_t c = 0; c < block.columns; ++c)
      if (!block.At(r, c).IsEmpty()) return block.top + r;
  return 0;
}

std::vector<std::string> ClosestNames(const std::string& name, const std::vector<std::string>& candidates) {
  const std::string key = Lower(Trimmed(name));
  std::vector<std::pair<std::size_t, std::size_t>> order;  // distance, index
  // A name that holds what was typed ("Age" in "Age (years)") comes before
  // those that are merely a few edits away.
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const std::string candidate = Lower(Trimmed(candidates[i]));
    const bool holds = !key.empty() && candidate.find(key) != std::string::npos;
    order.emplace_back(holds ? candidate.size() - key.size() : (std::size_t{1} << 20) + EditDistance(key, candidate), i);
  }
  std::stable_sort(order.begin(), order.end(), [](auto& a, auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (const auto& [distance, index] : order) out.push_back(candidates[index]);
  return out;
}

std::vector<Area> ResolveVariables(std::string_view list, const std::vector<std::string>& sheets,
                                   const std::string& defaultSheet, const SheetValues& values) {
  struct NameRow {
    std::int32_t top = 0, bottom = 0, left = 0;
    std::vector<std::string> names;  // per column from left; "" for a blank heading
  };
  std::map<std::string, NameRow> rows;
  auto nameRow = [&](const std::string& sheet) -> const NameRow& {
    auto it = rows.find(sheet);
    if (it != rows.end()) return it->second;
    const CellBlock block = values(sheet);
    const std::int32_t top = FirstUsedRow(block);
    if (top == 0) RaisePrep(kEmptySheet, "the sheet " + sheet + " is empty: it has no name row");
    NameRow row{top, block.top + block.rows - 1, block.left, {}};
    for (std::int32_t c = 0; c < block.columns; ++c) {
      const Variant& v = block.At(top - block.top, c);
      row.names.push_back(v.IsText() ? v.Text() : v.IsNumber() ? v.ToText() : std::string());
    }
    return rows.emplace(sheet, std::move(row)).first->second;
  };

  std::vector<Area> areas;
  for (const std::string& field : SplitNameList(list)) {
    auto [sheet, name] = SplitSheet(field, sheets);
    if (sheet.empty()) sheet = defaultSheet;
    const NameRow& row = nameRow(sheet);
    std::vector<std::int32_t> found;
    for (std::size_t c = 0; c < row.names.size(); ++c)
      if (!row.names[c].empty() && SameName(row.names[c], name)) found.push_back(row.left + static_cast<std::int32_t>(c));
    if (found.empty()) {
      std::vector<std::string> existing;
      for (const std::string& n : row.names)
        if (!n.empty()) existing.push_back(n);
      RaisePrep(kUnknownVariable, "the sheet " + sheet + " has no column named \"" + name +
                                      "\"; its names are (closest first): " + JoinQuoted(ClosestNames(name, existing)));
    }
    if (found.size() > 1)
      RaisePrep(kAmbiguousVariable, "the name \"" + name + "\" heads the columns " + ColumnName(found[0]) + " and " +
                                        ColumnName(found[1]) + " of the sheet " + sheet);
    const std::int32_t col = found[0];
    if (!areas.empty() && areas.back().sheet == sheet && areas.back().right + 1 == col) {
      areas.back().right = col;
    } else {
      Area a;
      a.sheet = sheet;
      a.top = row.top;
      a.bottom = row.bottom;
      a.left = a.right = col;
      areas.push_back(a);
    }
  }
  return areas;
}

}  // namespace nml::prep
