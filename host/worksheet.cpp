#include "host/worksheet.h"

#include <algorithm>

#include "common/ascii_text.h"
#include "host/sheet_name.h"
#include "host/application.h"
#include "host/format_table.h"
#include "host/reference_parser.h"
#include "host/workbook.h"

namespace nml::host {

namespace {

[[noreturn]] void WorksheetRangeFailed() {
  Raise(rt::kApplicationDefined, "Method 'Range' of object '_Worksheet' failed");
}

}  // namespace

Worksheet::Worksheet(std::shared_ptr<Workbook> parent, std::string name)
    : parent_(std::move(parent)), name_(std::move(name)) {}

void Worksheet::SetName(std::string name) {
  auto fail = [] { Raise(rt::kApplicationDefined, "Unable to set the Name property of the Worksheet class"); };
  if (!IsValidSheetName(name)) fail();
  if (auto book = parent_.lock()) {
    for (const auto& other : book->SheetList())
      if (other.get() != this && EqualsIgnoringCase(other->Name(), name)) fail();
  }
  name_ = std::move(name);
}

std::shared_ptr<Workbook> Worksheet::Parent() const {
  auto book = parent_.lock();
  if (!book) Raise(rt::kObjectNotSet);
  return book;
}

RangeRef Worksheet::Cells() {
  return std::make_shared<Range>(shared_from_this(), std::vector<CellRect>{CellRect{1, 1, kMaxRows, kMaxColumns}});
}

RangeRef Worksheet::Cells(std::int32_t row, std::int32_t column) {
  if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) Raise(rt::kApplicationDefined);
  return std::make_shared<Range>(shared_from_this(), std::vector<CellRect>{CellRect{row, column, row, column}});
}

RangeRef Worksheet::GetRange(const Range& cell1, const Range& cell2) {
  if (cell1.Worksheet().get() != this || cell2.Worksheet().get() != this) WorksheetRangeFailed();
  CellRect box = cell1.Rects().front();
  for (const auto& a : cell1.Rects()) box = BoundingRect(box, a);
  for (const auto& a : cell2.Rects()) box = BoundingRect(box, a);
  return std::make_shared<Range>(shared_from_this(), std::vector<CellRect>{box});
}

RangeRef Worksheet::GetRange(std::string_view address) {
  auto parsed = ParseReference(address);
  if (!parsed) WorksheetRangeFailed();
  std::vector<CellRect> rects;
  rects.reserve(parsed->size());
  for (const auto& area : *parsed) {
    if (area.sheet && !EqualsIgnoringCase(*area.sheet, name_)) WorksheetRangeFailed();
    rects.push_back(area.rect);
  }
  return std::make_shared<Range>(shared_from_this(), std::move(rects));
}

void Worksheet::Activate() {
  auto book = Parent();
  if (book->IsAddin()) Raise(rt::kApplicationDefined, "Activate method of Worksheet class failed");
  book->Activate();
  book->SetActiveSheet(shared_from_this());
}

void Worksheet::Move(const std::shared_ptr<Worksheet>& after) {
  if (!after) Raise(rt::kObjectNotSet);
  auto book = Parent();
  if (after->parent_.lock() != book) Raise(rt::kApplicationDefined, "Move method of Worksheet class failed");
  if (after.get() == this) return;
  auto& list = book->SheetList();
  auto self = std::find_if(list.begin(), list.end(), [&](const WorksheetRef& s) { return s.get() == this; });
  if (self == list.end()) Raise(rt::kApplicationDefined, "Move method of Worksheet class failed");
  WorksheetRef keep = *self;
  list.erase(self);
  auto pos = std::find(list.begin(), list.end(), after);
  list.insert(pos == list.end() ? list.end() : pos + 1, std::move(keep));
}

std::uint32_t Worksheet::EffectiveFormatId(std::int32_t row, std::int32_t column) const {
  return host::EffectiveFormatId(store_.FormatId(row, column), defaultFormatId_);
}

CellFormat Worksheet::FormatAt(std::int32_t row, std::int32_t column) const {
  return Parent()->Parent()->Formats().Get(EffectiveFormatId(row, column));
}

double Worksheet::ColumnWidth(std::int32_t column) const {
  if (column < 1 || column > kMaxColumns) Raise(rt::kApplicationDefined);
  const auto i = static_cast<std::size_t>(column - 1);
  return i < columnWidths_.size() ? columnWidths_[i] : 0.0;
}

void Worksheet::SetColumnWidth(std::int32_t column, double width) {
  if (column < 1 || column > kMaxColumns || !(width >= 0 && width <= 255))
    Raise(rt::kApplicationDefined, "Unable to set the ColumnWidth property of the Range class");
  const auto i = static_cast<std::size_t>(column - 1);
  if (i >= columnWidths_.size()) {
    if (width == 0) return;
    columnWidths_.resize(i + 1, 0.0);
  }
  columnWidths_[i] = width;
}

}  // namespace nml::host
