#include "cli/prep/missing_values.h"

#include <cctype>
#include <string>

namespace nml::prep {

namespace {

bool IsMissingMarker(const std::string& text) {
  const auto b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return true;  // a cell of spaces is blank
  const auto e = text.find_last_not_of(" \t");
  std::string t = text.substr(b, e - b + 1);
  for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // Error values written out as text, as a CSV export of a sheet holds them.
  static const char* const kErrorTexts[] = {"#n/a", "#div/0!", "#value!", "#ref!", "#name?", "#num!", "#null!"};
  for (const char* e : kErrorTexts)
    if (t == e) return true;
  return t == "na" || t == "n/a" || t == "nan" || t == "." || t == "-";
}

// Rows are counted from the first data row.
bool RowComplete(const std::vector<CellBlock>& blocks, std::int32_t r) {
  for (const CellBlock& b : blocks)
    for (std::int32_t c = 0; c < b.columns; ++c)
      if (IsMissingValue(b.At(r, c))) return false;
  return true;
}

}  // namespace

bool IsMissingValue(const Variant& v) {
  switch (v.Kind()) {
    case VarKind::kEmpty:
    case VarKind::kErrorValue: return true;
    case VarKind::kText: return IsMissingMarker(v.Text());
    default: return false;
  }
}

MissingSummary SummariseMissing(const std::vector<CellBlock>& blocks, bool headers) {
  MissingSummary s;
  if (blocks.empty()) return s;
  const std::int32_t first = headers ? 1 : 0;
  for (std::int32_t r = first; r < blocks.front().rows; ++r) {
    ++s.cases;
    const bool complete = RowComplete(blocks, r);
    if (!complete) ++s.incompleteCases;
    for (std::size_t k = 0; k < blocks.size(); ++k)
      for (std::int32_t c = 0; c < blocks[k].columns; ++c) {
        const Variant& v = blocks[k].At(r, c);
        if (v.IsNumber()) continue;
        if (IsMissingValue(v)) {
          ++s.missingCells;
          continue;
        }
        ++s.nonNumericCells;
        if (!s.firstNonNumeric) s.firstNonNumeric = CellPosition{k, r, c};
        if (complete && !s.firstNonNumericKept) s.firstNonNumericKept = CellPosition{k, r, c};
      }
  }
  return s;
}

CellBlock CompleteCases(const std::vector<CellBlock>& blocks, bool headers) {
  CellBlock out;
  for (const CellBlock& b : blocks) out.columns += b.columns;
  if (blocks.empty()) return out;
  const std::int32_t first = headers ? 1 : 0;
  auto append = [&](std::int32_t r) {
    for (const CellBlock& b : blocks)
      for (std::int32_t c = 0; c < b.columns; ++c) out.values.push_back(b.At(r, c));
    ++out.rows;
  };
  if (headers && blocks.front().rows > 0) append(0);
  for (std::int32_t r = first; r < blocks.front().rows; ++r)
    if (RowComplete(blocks, r)) append(r);
  return out;
}

}  // namespace nml::prep
