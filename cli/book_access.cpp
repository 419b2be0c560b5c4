#include "cli/book_access.h"

#include "host/cell_rect.h"
#include "host/files/sheet_names.h"
#include "host/workbook.h"

namespace nml::cli::book {

namespace {

host::ApplicationRef& App() {
  static host::ApplicationRef app;
  return app;
}

host::WorksheetRef Sheet(const std::string& name) { return App()->ActiveWorkbook()->Worksheets()->Item(name); }

// Cuts a UTF-8 name to at most n bytes without splitting a character.
std::string Shortened(std::string name, std::size_t n) {
  if (name.size() <= n) return name;
  name.resize(n);
  while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80) name.pop_back();
  if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
  return name;
}

bool Taken(const std::string& name) {
  for (const auto& s : App()->ActiveWorkbook()->SheetList())
    if (files::SameNameIgnoringCase(s->Name(), name)) return true;
  return false;
}

}  // namespace

void Use(host::ApplicationRef app) { App() = std::move(app); }

std::vector<std::string> Sheets() {
  std::vector<std::string> names;
  for (const auto& s : App()->ActiveWorkbook()->SheetList()) names.push_back(s->Name());
  return names;
}

std::string ActiveSheet() { return App()->ActiveSheet()->Name(); }

std::string AddSheet(const std::string& name) {
  constexpr std::size_t kLongest = 31;
  std::string chosen = Shortened(name, kLongest);
  for (int n = 2; Taken(chosen); ++n) {
    std::string suffix(1, ' ');
    suffix += std::to_string(n);
    chosen = Shortened(name, kLongest - suffix.size()) + suffix;
  }
  App()->ActiveWorkbook()->AppendSheet(chosen);
  return chosen;
}

void PutValues(const std::string& sheet, const CellBlock& block) {
  auto& store = Sheet(sheet)->Store();
  for (std::int32_t r = 0; r < block.rows; ++r)
    for (std::int32_t c = 0; c < block.columns; ++c)
      if (!block.At(r, c).IsEmpty()) store.Set(block.top + r, block.left + c, block.At(r, c));
}

CellBlock Values(const std::string& sheet, std::int32_t top, std::int32_t left, std::int32_t bottom,
                 std::int32_t right) {
  const auto& store = Sheet(sheet)->Store();
  CellBlock b{top, left, bottom - top + 1, right - left + 1, {}};
  b.values.reserve(static_cast<std::size_t>(b.rows) * static_cast<std::size_t>(b.columns));
  for (std::int32_t r = top; r <= bottom; ++r)
    for (std::int32_t c = left; c <= right; ++c) b.values.push_back(store.Get(r, c));
  return b;
}

CellBlock UsedValues(const std::string& sheet) {
  const auto used = Sheet(sheet)->Store().UsedRect();
  if (!used) return CellBlock{};
  return Values(sheet, used->top, used->left, used->bottom, used->right);
}

}  // namespace nml::cli::book
