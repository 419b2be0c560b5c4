#include "cli/data_preparation.h"

#include <algorithm>
#include <cctype>

#include <map>
#include <utility>

#include "cli/prep/missing_values.h"
#include "cli/prep/variable_names.h"
#include "nmlcorrelation/workbook.h"

namespace nml::cli {

namespace {

CellBlock AreaValues(const prep::Area& a) {
  prep::Area plain = a;
  plain.wholeColumns = false;
  return Host::Values(prep::FormatArea(plain, true));
}

// A new last sheet; a taken name gets " 2", " 3", ..., shortened to the 31
// characters a sheet name may have.
std::string AddSheet(const std::string& name) {
  const std::vector<std::string> sheets = Host::Sheets();
  auto lower = [](std::string t) {
    for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return t;
  };
  auto taken = [&](const std::string& n) {
    return std::any_of(sheets.begin(), sheets.end(), [&](const std::string& s) { return lower(s) == lower(n); });
  };
  auto shortened = [](std::string n, std::size_t size) {
    if (n.size() <= size) return n;
    n.resize(size);
    while (!n.empty() && (static_cast<unsigned char>(n.back()) & 0xC0) == 0x80) n.pop_back();
    if (!n.empty() && static_cast<unsigned char>(n.back()) >= 0xC0) n.pop_back();
    return n;
  };
  constexpr std::size_t kLongest = 31;
  std::string chosen = shortened(name, kLongest);
  for (int n = 2; taken(chosen); ++n) {
    std::string suffix(1, ' ');
    suffix += std::to_string(n);
    chosen = shortened(name, kLongest - suffix.size()) + suffix;
  }
  return Host::AddSheet(chosen);
}

std::string CellName(const prep::Area& area, std::int32_t row, std::int32_t column) {
  prep::Area cell{area.sheet, row, column, row, column, false};
  const std::string s = prep::FormatArea(cell);
  return s.substr(0, s.rfind(':'));
}

// The first and last used rows of each sheet, read once: {0, 0} for an
// empty sheet.
using UsedRows = std::map<std::string, std::pair<std::int32_t, std::int32_t>>;

// Whole-column areas cut to the used rows of their sheet; other texts
// unchanged.
std::string CutWholeColumns(const std::string& reference, UsedRows& usedRows) {
  auto areas = ResolvedAreas(reference);
  if (!areas) return reference;
  bool changed = false;
  for (prep::Area& a : *areas) {
    if (!a.wholeColumns) continue;
    auto it = usedRows.find(a.sheet);
    if (it == usedRows.end()) {
      const CellBlock used = Host::UsedValues(a.sheet);
      it = usedRows.emplace(a.sheet, std::pair{prep::FirstUsedRow(used), used.top + used.rows - 1}).first;
    }
    if (it->second.first == 0) continue;  // an empty sheet: the component says what is wrong
    a.top = it->second.first;
    a.bottom = it->second.second;
    a.wholeColumns = false;
    changed = true;
  }
  return changed ? prep::FormatAreas(*areas, true) : reference;
}

std::string Plural(std::int64_t n, const char* one, const char* many) {
  return WithThousands(n) + " " + (n == 1 ? one : many);
}

// Moves the analysis onto a sheet of the complete cases of the X and Y
// columns. Ranges whose areas differ in rows are left to the component,
// which names the mismatch.
std::string Listwise(Options& o) {
  auto x = ResolvedAreas(o.xRange);
  auto y = o.yRange.empty() ? std::optional<std::vector<prep::Area>>(std::vector<prep::Area>{})
                            : ResolvedAreas(o.yRange);
  if (!x || !y) return {};
  std::vector<prep::Area> all = *x;
  all.insert(all.end(), y->begin(), y->end());
  std::vector<CellBlock> blocks;
  for (const prep::Area& a : all) {
    if (a.wholeColumns || a.Rows() != all.front().Rows()) return {};
    blocks.push_back(AreaValues(a));
  }
  const prep::MissingSummary summary = prep::SummariseMissing(blocks, o.headers);
  if (summary.firstNonNumericKept) {
    const prep::CellPosition p = *summary.firstNonNumericKept;
    const prep::Area& a = all[p.block];
    const Variant& v = blocks[p.block].At(p.row, p.column);
    // The component's numbers for a cell that is not a number, naming the
    // cell of the user's sheet rather than of the complete-cases sheet.
    throw Error(ComponentError(p.block < x->size() ? 6001 : 6002),
                CellName(a, a.top + p.row, a.left + p.column) +
                    (v.Kind() == VarKind::kBoolean ? " holds a logical value" : " holds text") +
                    ", neither a number nor a missing value");
  }
  const std::string used = "used " + WithThousands(summary.cases - summary.incompleteCases) + " of " +
                           Plural(summary.cases, "case", "cases") + "; ";
  if (summary.incompleteCases == 0) return used + "none had missing values";

  const CellBlock kept = prep::CompleteCases(blocks, o.headers);
  const std::string sheet = AddSheet(all.front().sheet + " (complete cases)");
  if (kept.rows > 0) Host::PutValues(sheet, kept);
  auto place = [&](const std::vector<prep::Area>& areas, std::int32_t& column) {
    std::int32_t columns = 0;
    for (const prep::Area& a : areas) columns += a.Columns();
    const prep::Area area{sheet, 1, column, std::max(kept.rows, 1), column + columns - 1, false};
    column += columns;
    return prep::FormatArea(area, true);
  };
  std::int32_t column = 1;
  o.xRange = place(*x, column);
  if (!y->empty()) o.yRange = place(*y, column);
  return used + WithThousands(summary.incompleteCases) + " had missing values";
}

}  // namespace

std::string WithThousands(std::int64_t n) {
  const std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out = n < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::optional<std::vector<prep::Area>> ResolvedAreas(const std::string& reference) {
  auto areas = prep::ParseAreas(reference);
  if (!areas) return std::nullopt;
  const std::vector<std::string> sheets = Host::Sheets();
  for (prep::Area& a : *areas) {
    if (a.sheet.empty()) {
      a.sheet = Host::ActiveSheet();
      continue;
    }
    // Sheets are found ignoring case, as the workbook finds them.
    auto lower = [](std::string t) {
      for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return t;
    };
    auto it = std::find_if(sheets.begin(), sheets.end(), [&](const std::string& s) { return lower(s) == lower(a.sheet); });
    if (it == sheets.end()) return std::nullopt;
    a.sheet = *it;
  }
  return areas;
}

std::string PrepareData(Options& o) {
  const std::string active = Host::ActiveSheet();
  const std::vector<std::string> sheets = Host::Sheets();
  auto byName = [&](const std::string& list) {
    return prep::FormatAreas(prep::ResolveVariables(list, sheets, active, Host::UsedValues), true);
  };
  if (!o.xVars.empty()) o.xRange = byName(o.xVars);
  if (!o.yVars.empty()) o.yRange = byName(o.yVars);
  if (!o.xVars.empty() || !o.yVars.empty()) o.headers = true;
  UsedRows usedRows;
  o.xRange = CutWholeColumns(o.xRange, usedRows);
  if (!o.yRange.empty()) o.yRange = CutWholeColumns(o.yRange, usedRows);
  return o.missing == MissingValues::kListwise ? Listwise(o) : std::string();
}

}  // namespace nml::cli
