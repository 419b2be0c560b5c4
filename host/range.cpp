#include "host/range.h"

#include <algorithm>

#include "host/application.h"
#include "host/format_table.h"
#include "host/reference_parser.h"
#include "host/workbook.h"
#include "host/worksheet.h"

namespace nml::host {

namespace {

// Largest block handed out as one array of variants (4 GiB of variants).
constexpr std::int64_t kMaxValueCells = std::int64_t{1} << 28;

[[noreturn]] void RangeFailed(const char* method) {
  Raise(rt::kApplicationDefined, std::string(method) + " method of Range class failed");
}

// The 2-D shape an assigned array gives, with a 1-D array read as one row.
struct Shape {
  std::int32_t rows;
  std::int32_t cols;
};

template <class T>
Shape ShapeOf(const Array<T>& a) {
  if (a.Rank() == 1) return Shape{1, a.Rows()};
  if (a.Rank() == 2) return Shape{a.Rows(), a.Cols()};
  Raise(rt::kTypeMismatch);
}

}  // namespace

Range::Range(std::shared_ptr<class Worksheet> sheet, std::vector<CellRect> areas)
    : sheet_(std::move(sheet)), areas_(std::move(areas)) {
  if (!sheet_) Raise(rt::kObjectNotSet);
  if (areas_.empty()) Raise(rt::kApplicationDefined);
  for (const auto& a : areas_)
    if (!InsideGrid(a)) Raise(rt::kApplicationDefined);
}

std::shared_ptr<Application> Range::App() const { return sheet_->Parent()->Parent(); }

std::shared_ptr<Range> Range::Cells(std::int32_t row, std::int32_t column) const {
  const std::int64_t r = static_cast<std::int64_t>(areas_.front().top) + row - 1;
  const std::int64_t c = static_cast<std::int64_t>(areas_.front().left) + column - 1;
  if (row < 1 || column < 1 || r > kMaxRows || c > kMaxColumns) Raise(rt::kApplicationDefined);
  const auto ri = static_cast<std::int32_t>(r);
  const auto ci = static_cast<std::int32_t>(c);
  return std::make_shared<Range>(sheet_, std::vector<CellRect>{CellRect{ri, ci, ri, ci}});
}

std::int32_t Range::RowCount() const { return areas_.front().Rows(); }
std::int32_t Range::ColumnCount() const { return areas_.front().Columns(); }
std::int32_t Range::AreaCount() const { return static_cast<std::int32_t>(areas_.size()); }

std::shared_ptr<Range> Range::Areas(std::int32_t i) const {
  if (i < 1 || i > AreaCount()) Raise(rt::kSubscriptOutOfRange);
  return std::make_shared<Range>(sheet_, std::vector<CellRect>{areas_[static_cast<std::size_t>(i - 1)]});
}

Variant Range::Value() const {
  const CellRect& a = areas_.front();
  if (a.Rows() == 1 && a.Columns() == 1) return sheet_->Store().Get(a.top, a.left);
  if (CellCount(a) > kMaxValueCells) Raise(rt::kOutOfMemory);
  Array<Variant> values;
  sheet_->Store().Read(a, values);
  return Variant(std::move(values));
}

void Range::SetValue(const Variant& value) {
  CellStore& store = sheet_->Store();
  switch (value.Kind()) {
    case VarKind::kVariantArray:
    case VarKind::kDoubleArray: {
      const Shape shape =
          value.Kind() == VarKind::kDoubleArray ? ShapeOf(value.Doubles()) : ShapeOf(value.Variants());
      for (const auto& a : areas_)
        if (a.Rows() != shape.rows || a.Columns() != shape.cols) Raise(rt::kTypeMismatch);
      if (value.Kind() == VarKind::kDoubleArray) {
        for (const auto& a : areas_) {
          store.ClearFormulas(a);
          store.WriteDoubles(a, value.Doubles().Data());
        }
        return;
      }
      const Array<Variant>* block = &value.Variants();
      Array<Variant> asRow;
      if (block->Rank() == 1) {
        asRow.Redim(1, shape.cols);
        for (std::int32_t j = 1; j <= shape.cols; ++j) asRow(1, j) = (*block)(j);
        block = &asRow;
      }
      // Every element is checked before any cell changes.
      const Variant* data = block->Data();
      for (std::size_t i = 0; i < block->Size(); ++i)
        if (data[i].IsArray() || data[i].IsObject() || data[i].IsMissing()) Raise(rt::kTypeMismatch);
      for (const auto& a : areas_) {
        store.ClearFormulas(a);
        store.Write(a, *block);
      }
      return;
    }
    case VarKind::kEmpty:
      for (const auto& a : areas_) store.ClearContents(a);
      return;
    case VarKind::kInteger:
    case VarKind::kLong:
    case VarKind::kDouble:
    case VarKind::kText:
    case VarKind::kBoolean:
    case VarKind::kErrorValue:
      for (const auto& a : areas_) {
        store.ClearFormulas(a);
        store.Fill(a, value);
      }
      return;
    default: Raise(rt::kTypeMismatch);
  }
}

std::string Range::Address() const {
  std::string s;
  for (const auto& a : areas_) {
    if (!s.empty()) s += ',';
    s += AbsoluteAddress(a);
  }
  return s;
}

std::string Range::AddressLocal() const { return Address(); }

std::shared_ptr<Worksheet> Range::Worksheet() const { return sheet_; }

void Range::Clear() {
  for (const auto& a : areas_) {
    if (IsWholeGrid(a)) {
      sheet_->Store().ClearAll();
      sheet_->SetDefaultFormatId(0);
    } else {
      sheet_->Store().Clear(a);
    }
  }
}

void Range::ModifyFormat(const std::function<void(CellFormat&)>& edit) {
  FormatTable& table = App()->Formats();
  auto changed = [&](std::uint32_t effective) {
    CellFormat f = table.Get(effective);
    edit(f);
    return table.Intern(f);
  };
  CellStore& store = sheet_->Store();
  for (const auto& a : areas_) {
    const std::uint32_t sheetFormat = sheet_->DefaultFormatId();
    if (IsWholeGrid(a)) {
      // Cells without a format of their own follow the sheet's format.
      const std::uint32_t newSheetFormat = changed(EffectiveFormatId(0, sheetFormat));
      sheet_->SetDefaultFormatId(newSheetFormat);
      store.MapFormatIds(a, [&](std::uint32_t own) -> std::uint32_t {
        if (own == 0) return 0;
        return OwnFormatId(changed(EffectiveFormatId(own, sheetFormat)), newSheetFormat);
      });
    } else {
      store.MapFormatIds(a, [&](std::uint32_t own) {
        return OwnFormatId(changed(EffectiveFormatId(own, sheetFormat)), sheetFormat);
      });
    }
  }
}

void Range::SetInteriorColorIndex(std::int32_t colorIndex) {
  if (colorIndex != kColorIndexNone && (colorIndex < 1 || colorIndex > 56))
    Raise(rt::kApplicationDefined, "Unable to set the ColorIndex property of the Interior class");
  ModifyFormat([&](CellFormat& f) { f.fillColorIndex = colorIndex; });
}

void Range::SetNumberFormat(const std::string& format) {
  if (format.empty() || format.size() > 255)
    Raise(rt::kApplicationDefined, "Unable to set the NumberFormat property of the Range class");
  ModifyFormat([&](CellFormat& f) { f.numberFormat = format; });
}

void Range::SetHorizontalAlignment(std::int32_t alignment) {
  if (alignment != kAlignGeneral && alignment != kAlignLeft && alignment != kAlignCenter &&
      alignment != kAlignRight)
    Raise(rt::kApplicationDefined, "Unable to set the HorizontalAlignment property of the Range class");
  ModifyFormat([&](CellFormat& f) { f.horizontalAlignment = alignment; });
}

void Range::SetBold(bool bold) {
  ModifyFormat([&](CellFormat& f) { f.bold = bold; });
}

void Range::SetBorder(bool border) {
  ModifyFormat([&](CellFormat& f) { f.border = border; });
}

void Range::Copy() const {
  if (areas_.size() != 1) Raise(rt::kApplicationDefined, "This action won't work on multiple selections.");
  App()->SetClipboard(std::make_shared<Range>(sheet_, areas_));
}

void Range::PasteSpecial(std::int32_t pasteType) {
  auto app = App();
  const RangeRef source = app->Clipboard();
  if (!source) RangeFailed("PasteSpecial");
  PasteParts parts;
  switch (pasteType) {
    case kPasteAll: break;
    case kPasteValues: parts = PasteParts{true, false, false}; break;
    case kPasteFormats: parts = PasteParts{false, false, true}; break;
    default: RangeFailed("PasteSpecial");
  }
  const CellRect& from = source->Rects().front();
  const std::int32_t top = areas_.front().top;
  const std::int32_t left = areas_.front().left;
  const CellRect to{top, left, top + from.Rows() - 1, left + from.Columns() - 1};
  if (!InsideGrid(to)) RangeFailed("PasteSpecial");

  const auto& fromSheet = source->sheet_;
  const std::uint32_t fromFormat = fromSheet->DefaultFormatId();
  if (parts.formats && IsWholeGrid(from)) {
    // A whole sheet pasted onto a whole sheet takes the source sheet's format.
    sheet_->SetDefaultFormatId(fromFormat);
  }
  sheet_->Store().PasteBlock(fromSheet->Store(), from, top, left, parts, fromFormat, sheet_->DefaultFormatId());
  app->SetSelection(std::make_shared<Range>(sheet_, std::vector<CellRect>{to}));
}

void Range::Select() {
  sheet_->Activate();
  App()->SetSelection(std::make_shared<Range>(sheet_, areas_));
}

}  // namespace nml::host
