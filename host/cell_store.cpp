#include "host/cell_store.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

#include "host/format_table.h"
#include "host/formula_shift.h"
#include "host/reference_parser.h"
#include "host/text_block.h"

namespace nml::host {

namespace {

constexpr int kShift = 8;
constexpr std::int32_t kChunkRows = 1 << kShift;
constexpr std::int32_t kOffsetMask = kChunkRows - 1;
// The kind byte of a cell: its VarKind, plus this bit when a formula is stored.
constexpr std::uint8_t kFormulaFlag = 0x80;
constexpr std::uint8_t kKindMask = 0x7F;

constexpr std::uint8_t KindByte(VarKind k) { return static_cast<std::uint8_t>(k); }

struct Values {
  double num[kChunkRows];  // payload of numbers, Booleans (0/1) and error codes
  std::uint8_t kind[kChunkRows];
};

struct Chunk {
  std::unique_ptr<Values> values;
  std::unique_ptr<std::uint32_t[]> fmt;
  // Texts of the chunk's text cells, whose num holds the text's offset in it;
  // present only while a text cell is.
  std::unique_ptr<TextBlock> text;

  Values& EnsureValues() {
    if (!values) {
      values = std::make_unique_for_overwrite<Values>();
      std::memset(values->kind, 0, sizeof values->kind);
    }
    return *values;
  }
  std::uint32_t* EnsureFmt() {
    if (!fmt) fmt = std::make_unique<std::uint32_t[]>(kChunkRows);
    return fmt.get();
  }
  std::uint8_t Kind(std::int32_t off) const { return values ? values->kind[off] : 0; }
  std::uint32_t Fmt(std::int32_t off) const { return fmt ? fmt[off] : 0; }
  bool Used(std::int32_t off) const { return Kind(off) != 0 || Fmt(off) != 0; }
  bool Empty() const {
    for (std::int32_t i = 0; i < kChunkRows; ++i)
      if (Used(i)) return false;
    return true;
  }
  bool IsText(std::int32_t off) const { return (Kind(off) & kKindMask) == KindByte(VarKind::kText); }
  std::string_view TextAt(std::int32_t off) const {
    return text->View(static_cast<std::uint64_t>(values->num[off]));
  }
  // Makes a cell a text cell holding s (its formula flag kept). s may be a
  // text of this chunk.
  void PutText(std::int32_t off, std::string_view s) {
    if (!text) text = std::make_unique<TextBlock>();
    Values& v = EnsureValues();
    const bool wasText = IsText(off);
    const auto old = static_cast<std::uint64_t>(v.num[off]);
    const std::uint64_t at = text->Add(s);
    if (wasText) text->Drop(old);
    v.num[off] = static_cast<double>(at);
    v.kind[off] = static_cast<std::uint8_t>(KindByte(VarKind::kText) | (v.kind[off] & kFormulaFlag));
    if (text->NeedsCompaction()) CompactTexts();
  }
  // Drops the text of a text cell, leaving the cell empty (its formula flag
  // kept); other cells are left alone.
  void EraseText(std::int32_t off) {
    if (!IsText(off)) return;
    values->kind[off] &= kFormulaFlag;
    text->Drop(static_cast<std::uint64_t>(values->num[off]));
    if (text->Live() == 0)
      text.reset();
    else if (text->NeedsCompaction())
      CompactTexts();
  }
  // Copies the live texts into a buffer of their size.
  void CompactTexts() {
    auto fresh = std::make_unique<TextBlock>();
    fresh->Reserve(text->LiveBytes());
    for (std::int32_t i = 0; i < kChunkRows; ++i)
      if (IsText(i)) values->num[i] = static_cast<double>(fresh->Add(TextAt(i)));
    text = std::move(fresh);
  }
  std::size_t MemoryBytes() const {
    return sizeof(Chunk) + (values ? sizeof(Values) : 0) + (fmt ? kChunkRows * sizeof(std::uint32_t) : 0) +
           (text ? sizeof(TextBlock) + text->Capacity() : 0);
  }
};

/// The chunks of one column by band, in pages of 64 bands allocated as rows
/// are used: a column whose only cell is in the last row costs two small
/// pages, not an entry for every band above it.
class ChunkIndex {
 public:
  /// Bands covered so far: every band at or past this one has no chunk.
  std::size_t size() const { return size_; }
  Chunk* Get(std::size_t band) const {
    if (band >= size_) return nullptr;
    const auto& page = pages_[band / kPageBands];
    return page ? (*page)[band % kPageBands].get() : nullptr;
  }
  /// The slot of a band, made on demand (empty until a chunk is put there).
  std::unique_ptr<Chunk>& Slot(std::size_t band) {
    const std::size_t p = band / kPageBands;
    if (p >= pages_.size()) pages_.resize(p + 1);
    if (!pages_[p]) pages_[p] = std::make_unique<Page>();
    size_ = std::max(size_, band + 1);
    return (*pages_[p])[band % kPageBands];
  }
  /// Bytes of the pages and the chunks in them.
  std::size_t MemoryBytes() const {
    std::size_t bytes = pages_.capacity() * sizeof(pages_[0]);
    for (const auto& page : pages_) {
      if (!page) continue;
      bytes += sizeof(Page);
      for (const auto& ch : *page)
        if (ch) bytes += ch->MemoryBytes();
    }
    return bytes;
  }
  void Release(std::size_t band) {
    if (band < size_ && pages_[band / kPageBands]) (*pages_[band / kPageBands])[band % kPageBands].reset();
  }

 private:
  static constexpr std::size_t kPageBands = 64;
  using Page = std::array<std::unique_ptr<Chunk>, kPageBands>;
  std::vector<std::unique_ptr<Page>> pages_;
  std::size_t size_ = 0;
};

struct Column {
  ChunkIndex chunks;
};

std::int32_t Band(std::int32_t row) { return (row - 1) >> kShift; }
std::int32_t Offset(std::int32_t row) { return (row - 1) & kOffsetMask; }
std::int32_t BandFirstRow(std::size_t band) { return static_cast<std::int32_t>(band) * kChunkRows + 1; }

std::uint64_t FormulaKey(std::int32_t row, std::int32_t col) {
  return (static_cast<std::uint64_t>(row) << 16) | static_cast<std::uint64_t>(col);
}
std::int32_t KeyRow(std::uint64_t key) { return static_cast<std::int32_t>(key >> 16); }
std::int32_t KeyCol(std::uint64_t key) { return static_cast<std::int32_t>(key & 0xFFFF); }

void CheckCell(std::int32_t row, std::int32_t col) {
  if (row < 1 || row > kMaxRows || col < 1 || col > kMaxColumns) Raise(rt::kSubscriptOutOfRange);
}
void CheckRect(const CellRect& rect) {
  if (!InsideGrid(rect)) Raise(rt::kSubscriptOutOfRange);
}

bool IsScalar(const Variant& v) {
  switch (v.Kind()) {
    case VarKind::kEmpty:
    case VarKind::kInteger:
    case VarKind::kLong:
    case VarKind::kDouble:
    case VarKind::kText:
    case VarKind::kBoolean:
    case VarKind::kErrorValue: return true;
    default: return false;
  }
}

bool IsNumberKind(std::uint8_t kind) {
  const auto k = static_cast<VarKind>(kind & kKindMask);
  return k == VarKind::kDouble || k == VarKind::kInteger || k == VarKind::kLong;
}

// Keeps the earlier of two cells in reading order.
void KeepFirst(std::optional<std::pair<std::int32_t, std::int32_t>>& best, std::int32_t row, std::int32_t col) {
  if (!best || row < best->first || (row == best->first && col < best->second)) best = std::make_pair(row, col);
}

}  // namespace

struct CellStore::Impl {
  std::vector<Column> cols;                    // column c at index c - 1
  std::map<std::uint64_t, std::string> formulas;  // row-major order

  Chunk* Find(std::int32_t row, std::int32_t col) const {
    const auto c = static_cast<std::size_t>(col - 1);
    if (c >= cols.size()) return nullptr;
    const auto b = static_cast<std::size_t>(Band(row));
    return cols[c].chunks.Get(b);
  }
  Chunk& Ensure(std::int32_t row, std::int32_t col) {
    const auto c = static_cast<std::size_t>(col - 1);
    if (c >= cols.size()) cols.resize(c + 1);
    const auto b = static_cast<std::size_t>(Band(row));
    std::unique_ptr<Chunk>& slot = cols[c].chunks.Slot(b);
    if (!slot) slot = std::make_unique<Chunk>();
    return *slot;
  }
  // Rows of column col past which no chunk exists.
  std::int32_t RowLimit(std::int32_t col) const {
    const auto c = static_cast<std::size_t>(col - 1);
    if (c >= cols.size()) return 0;
    return static_cast<std::int32_t>(std::min<std::size_t>(cols[c].chunks.size() * kChunkRows, kMaxRows));
  }
  std::int32_t ColumnLimit() const { return static_cast<std::int32_t>(cols.size()); }
  void FreeIfEmpty(std::int32_t row, std::int32_t col) {
    Chunk* ch = Find(row, col);
    if (ch && ch->Empty()) cols[static_cast<std::size_t>(col - 1)].chunks.Release(static_cast<std::size_t>(Band(row)));
  }

  // One run of a paste: len rows of one column, from (sr, sc) of a source
  // to (dr, dc) here, within one chunk on either side (s and d, either null
  // when that chunk does not exist; d is made when something lands in it).
  struct PasteRun {
    std::int32_t sr, sc, dr, dc, len;
    const Chunk* s;
    Chunk* d;
  };
  // Values and (when formulas) formulas, moved by (dRows, dCols).
  void PasteValues(const Impl& src, PasteRun& run, bool withFormulas, std::int32_t dRows, std::int32_t dCols);
  // Formats as the cells show them; ownOfUnformatted for a source cell
  // without a format of its own.
  void PasteFormats(PasteRun& run, std::uint32_t srcDefault, std::uint32_t dstDefault, std::uint32_t ownOfUnformatted);

  static Variant Decode(const Chunk& ch, std::int32_t off) {
    if (!ch.values) return {};
    const double n = ch.values->num[off];
    switch (static_cast<VarKind>(ch.values->kind[off] & kKindMask)) {
      case VarKind::kDouble: return Variant(n);
      case VarKind::kInteger: return Variant::Integer(static_cast<std::int16_t>(n));
      case VarKind::kLong: return Variant::Long(static_cast<std::int32_t>(n));
      case VarKind::kBoolean: return Variant::Boolean(n != 0);
      case VarKind::kErrorValue: return Variant::ErrorValue(static_cast<std::int32_t>(n));
      case VarKind::kText: return Variant(std::string(ch.TextAt(off)));
      default: return {};
    }
  }

  // Stores a scalar into a cell of a chunk, keeping its formula flag.
  static void Encode(Chunk& ch, std::int32_t off, const Variant& v) {
    if (v.IsText()) {
      ch.PutText(off, v.Text());
      return;
    }
    ch.EraseText(off);
    const std::uint8_t flag = ch.Kind(off) & kFormulaFlag;
    if (v.IsEmpty()) {
      if (ch.values) ch.values->kind[off] = flag;
      return;
    }
    Values& vals = ch.EnsureValues();
    std::uint8_t kind = KindByte(v.Kind());
    double n = 0;
    switch (v.Kind()) {
      case VarKind::kDouble:
        n = v.AsDouble();
        if (!std::isfinite(n)) {
          kind = KindByte(VarKind::kErrorValue);
          n = kErrorNum;
        }
        break;
      case VarKind::kInteger: n = v.AsInteger(); break;
      case VarKind::kLong: n = v.AsLong(); break;
      case VarKind::kBoolean: n = v.AsBoolean() ? 1 : 0; break;
      case VarKind::kErrorValue: n = v.AsErrorValue(); break;
      default: Raise(rt::kTypeMismatch);
    }
    vals.num[off] = n;
    vals.kind[off] = static_cast<std::uint8_t>(kind | flag);
  }

  static void EncodeDouble(Chunk& ch, std::int32_t off, double d) {
    ch.EraseText(off);
    const std::uint8_t old = ch.Kind(off);
    Values& vals = ch.EnsureValues();
    if (std::isfinite(d)) {
      vals.num[off] = d;
      vals.kind[off] = static_cast<std::uint8_t>(KindByte(VarKind::kDouble) | (old & kFormulaFlag));
    } else {
      vals.num[off] = kErrorNum;
      vals.kind[off] = static_cast<std::uint8_t>(KindByte(VarKind::kErrorValue) | (old & kFormulaFlag));
    }
  }

  void EraseFormulaAt(Chunk& ch, std::int32_t off, std::int32_t row, std::int32_t col) {
    if (ch.values && (ch.values->kind[off] & kFormulaFlag)) {
      ch.values->kind[off] &= kKindMask;
      formulas.erase(FormulaKey(row, col));
    }
  }

  // Calls fn(column, first row, row count, chunk or null) for every run of
  // rows of rect that lies in one chunk, limited to the chunks that exist
  // unless allSegments is set.
  template <class Fn>
  void ForSegments(const CellRect& rect, bool allSegments, Fn&& fn) const {
    const std::int32_t lastCol = allSegments ? rect.right : std::min(rect.right, ColumnLimit());
    for (std::int32_t col = rect.left; col <= lastCol; ++col) {
      const std::int32_t lastRow = allSegments ? rect.bottom : std::min(rect.bottom, RowLimit(col));
      std::int32_t row = rect.top;
      while (row <= lastRow) {
        const std::int32_t len = std::min(lastRow - row + 1, kChunkRows - Offset(row));
        fn(col, row, len, Find(row, col));
        row += len;
      }
    }
  }
};

CellStore::CellStore() : impl_(std::make_unique<Impl>()) {}
CellStore::~CellStore() = default;

Variant CellStore::Get(std::int32_t row, std::int32_t col) const {
  CheckCell(row, col);
  const Chunk* ch = impl_->Find(row, col);
  return ch ? Impl::Decode(*ch, Offset(row)) : Variant();
}

void CellStore::Set(std::int32_t row, std::int32_t col, const Variant& value) {
  ++changes_;
  CheckCell(row, col);
  if (!IsScalar(value)) Raise(rt::kTypeMismatch);
  if (value.IsEmpty()) {
    if (Chunk* ch = impl_->Find(row, col)) {
      Impl::Encode(*ch, Offset(row), value);
      impl_->FreeIfEmpty(row, col);
    }
    return;
  }
  Impl::Encode(impl_->Ensure(row, col), Offset(row), value);
}

void CellStore::SetDouble(std::int32_t row, std::int32_t col, double value) {
  ++changes_;
  CheckCell(row, col);
  Impl::EncodeDouble(impl_->Ensure(row, col), Offset(row), value);
}

void CellStore::Read(const CellRect& rect, Array<Variant>& out) const {
  CheckRect(rect);
  out.Redim(rect.Rows(), rect.Columns());
  Variant* data = out.Data();
  const auto rows = static_cast<std::size_t>(rect.Rows());
  impl_->ForSegments(rect, false, [&](std::int32_t col, std::int32_t row, std::int32_t len, const Chunk* ch) {
    if (!ch || !ch->values) return;
    Variant* dst = data + static_cast<std::size_t>(col - rect.left) * rows + static_cast<std::size_t>(row - rect.top);
    const std::int32_t off = Offset(row);
    const Values& v = *ch->values;
    for (std::int32_t i = 0; i < len; ++i) {
      const std::uint8_t k = v.kind[off + i] & kKindMask;
      if (k == KindByte(VarKind::kDouble))
        dst[i] = Variant(v.num[off + i]);
      else if (k != 0)
        dst[i] = Impl::Decode(*ch, off + i);
    }
  });
}

void CellStore::Write(const CellRect& rect, const Array<Variant>& values) {
  ++changes_;
  CheckRect(rect);
  if (values.Rank() != 2 || values.Rows() != rect.Rows() || values.Cols() != rect.Columns())
    Raise(rt::kTypeMismatch);
  const Variant* src = values.Data();
  const std::size_t n = values.Size();
  for (std::size_t i = 0; i < n; ++i)
    if (!IsScalar(src[i])) Raise(rt::kTypeMismatch);
  const auto rows = static_cast<std::size_t>(rect.Rows());
  impl_->ForSegments(rect, true, [&](std::int32_t col, std::int32_t row, std::int32_t len, Chunk* ch) {
    const Variant* s = src + static_cast<std::size_t>(col - rect.left) * rows + static_cast<std::size_t>(row - rect.top);
    if (!ch) {
      bool any = false;
      for (std::int32_t i = 0; i < len && !any; ++i) any = !s[i].IsEmpty();
      if (!any) return;
      ch = &impl_->Ensure(row, col);
    }
    const std::int32_t off = Offset(row);
    for (std::int32_t i = 0; i < len; ++i) {
      if (s[i].Kind() == VarKind::kDouble)
        Impl::EncodeDouble(*ch, off + i, s[i].AsDouble());
      else
        Impl::Encode(*ch, off + i, s[i]);
    }
    if (ch->Empty()) impl_->FreeIfEmpty(row, col);
  });
}

void CellStore::WriteDoubles(const CellRect& rect, const double* values) {
  ++changes_;
  CheckRect(rect);
  const auto rows = static_cast<std::size_t>(rect.Rows());
  impl_->ForSegments(rect, true, [&](std::int32_t col, std::int32_t row, std::int32_t len, Chunk* ch) {
    const double* s = values + static_cast<std::size_t>(col - rect.left) * rows + static_cast<std::size_t>(row - rect.top);
    if (!ch) ch = &impl_->Ensure(row, col);
    const std::int32_t off = Offset(row);
    const bool plain = !ch->text && ch->values;
    if (plain) {
      // Fast path: no texts to drop, so numbers and kinds are copied directly.
      Values& v = *ch->values;
      for (std::int32_t i = 0; i < len; ++i) {
        const double d = s[i];
        const std::uint8_t flag = v.kind[off + i] & kFormulaFlag;
        if (std::isfinite(d)) {
          v.num[off + i] = d;
          v.kind[off + i] = static_cast<std::uint8_t>(KindByte(VarKind::kDouble) | flag);
        } else {
          v.num[off + i] = kErrorNum;
          v.kind[off + i] = static_cast<std::uint8_t>(KindByte(VarKind::kErrorValue) | flag);
        }
      }
    } else {
      for (std::int32_t i = 0; i < len; ++i) Impl::EncodeDouble(*ch, off + i, s[i]);
    }
  });
}

void CellStore::Fill(const CellRect& rect, const Variant& value) {
  ++changes_;
  CheckRect(rect);
  if (!IsScalar(value)) Raise(rt::kTypeMismatch);
  impl_->ForSegments(rect, !value.IsEmpty(), [&](std::int32_t col, std::int32_t row, std::int32_t len, Chunk* ch) {
    if (!ch) {
      if (value.IsEmpty()) return;
      ch = &impl_->Ensure(row, col);
    }
    const std::int32_t off = Offset(row);
    for (std::int32_t i = 0; i < len; ++i) Impl::Encode(*ch, off + i, value);
    if (value.IsEmpty()) impl_->FreeIfEmpty(row, col);
  });
}

std::optional<std::pair<std::int32_t, std::int32_t>> CellStore::ReadDoubles(const CellRect& rect,
                                                                            double* out) const {
  CheckRect(rect);
  std::optional<std::pair<std::int32_t, std::int32_t>> first;
  const auto rows = static_cast<std::size_t>(rect.Rows());
  for (std::int32_t col = rect.left; col <= rect.right; ++col) {
    // A cell in a later column only wins when it lies in an earlier row.
    const std::int32_t lastRow = first ? first->first - 1 : rect.bottom;
    double* dst = out + static_cast<std::size_t>(col - rect.left) * rows;
    std::int32_t row = rect.top;
    while (row <= lastRow) {
      const std::int32_t len = std::min(lastRow - row + 1, kChunkRows - Offset(row));
      const Chunk* ch = impl_->Find(row, col);
      if (!ch || !ch->values) {
        KeepFirst(first, row, col);
        break;
      }
      const std::int32_t off = Offset(row);
      const Values& v = *ch->values;
      double* d = dst + (row - rect.top);
      std::int32_t bad = -1;
      for (std::int32_t i = 0; i < len; ++i) {
        if (!IsNumberKind(v.kind[off + i])) {
          bad = i;
          break;
        }
        d[i] = v.num[off + i];
      }
      if (bad >= 0) {
        KeepFirst(first, row + bad, col);
        break;
      }
      row += len;
    }
  }
  return first;
}

std::optional<std::pair<std::int32_t, std::int32_t>> CellStore::FirstValueCell(const CellRect& rect) const {
  CheckRect(rect);
  std::optional<std::pair<std::int32_t, std::int32_t>> first;
  const std::int32_t lastCol = std::min(rect.right, impl_->ColumnLimit());
  for (std::int32_t col = rect.left; col <= lastCol; ++col) {
    const std::int32_t lastRow = std::min(first ? first->first - 1 : rect.bottom, impl_->RowLimit(col));
    bool found = false;
    std::int32_t row = rect.top;
    while (row <= lastRow && !found) {
      const std::int32_t len = std::min(lastRow - row + 1, kChunkRows - Offset(row));
      const Chunk* ch = impl_->Find(row, col);
      if (ch && ch->values) {
        const std::int32_t off = Offset(row);
        for (std::int32_t i = 0; i < len; ++i) {
          if (ch->values->kind[off + i] != 0) {
            KeepFirst(first, row + i, col);
            found = true;
            break;
          }
        }
      }
      row += len;
    }
  }
  return first;
}

std::uint32_t CellStore::FormatId(std::int32_t row, std::int32_t col) const {
  CheckCell(row, col);
  const Chunk* ch = impl_->Find(row, col);
  return ch ? ch->Fmt(Offset(row)) : 0;
}

void CellStore::SetFormatId(std::int32_t row, std::int32_t col, std::uint32_t id) {
  ++changes_;
  CheckCell(row, col);
  if (id == 0) {
    Chunk* ch = impl_->Find(row, col);
    if (ch && ch->fmt) {
      ch->fmt[Offset(row)] = 0;
      impl_->FreeIfEmpty(row, col);
    }
    return;
  }
  impl_->Ensure(row, col).EnsureFmt()[Offset(row)] = id;
}

void CellStore::MapFormatIds(const CellRect& rect, const std::function<std::uint32_t(std::uint32_t)>& fn) {
  ++changes_;
  CheckRect(rect);
  std::uint32_t lastOld = 0;
  std::uint32_t lastNew = fn(0);
  auto map = [&](std::uint32_t old) {
    if (old != lastOld) {
      lastOld = old;
      lastNew = fn(old);
    }
    return lastNew;
  };
  const std::uint32_t fromZero = lastNew;
  impl_->ForSegments(rect, fromZero != 0, [&](std::int32_t col, std::int32_t row, std::int32_t len, Chunk* ch) {
    const std::int32_t off = Offset(row);
    if (!ch || !ch->fmt) {
      if (fromZero == 0) return;
      if (!ch) ch = &impl_->Ensure(row, col);
      std::fill_n(ch->EnsureFmt() + off, len, fromZero);
      return;
    }
    std::uint32_t* f = ch->fmt.get() + off;
    for (std::int32_t i = 0; i < len; ++i) f[i] = map(f[i]);
  });
}

const std::string* CellStore::Formula(std::int32_t row, std::int32_t col) const {
  CheckCell(row, col);
  if (impl_->formulas.empty()) return nullptr;
  auto it = impl_->formulas.find(FormulaKey(row, col));
  return it == impl_->formulas.end() ? nullptr : &it->second;
}

void CellStore::SetFormula(std::int32_t row, std::int32_t col, std::string formula) {
  ++changes_;
  CheckCell(row, col);
  if (formula.empty()) {
    if (Chunk* ch = impl_->Find(row, col)) {
      impl_->EraseFormulaAt(*ch, Offset(row), row, col);
      impl_->FreeIfEmpty(row, col);
    }
    return;
  }
  Values& v = impl_->Ensure(row, col).EnsureValues();
  v.kind[Offset(row)] |= kFormulaFlag;
  impl_->formulas[FormulaKey(row, col)] = std::move(formula);
}

void CellStore::ClearFormulas(const CellRect& rect) {
  ++changes_;
  CheckRect(rect);
  auto& formulas = impl_->formulas;
  if (formulas.empty()) return;
  auto drop = [&](std::map<std::uint64_t, std::string>::iterator it) {
    const std::int32_t row = KeyRow(it->first);
    const std::int32_t col = KeyCol(it->first);
    if (Chunk* ch = impl_->Find(row, col); ch && ch->values) ch->values->kind[Offset(row)] &= kKindMask;
    return formulas.erase(it);
  };
  if (static_cast<std::uint64_t>(rect.Rows()) > formulas.size()) {
    for (auto it = formulas.begin(); it != formulas.end();) {
      if (rect.Contains(KeyRow(it->first), KeyCol(it->first)))
        it = drop(it);
      else
        ++it;
    }
  } else {
    for (std::int32_t row = rect.top; row <= rect.bottom; ++row) {
      auto it = formulas.lower_bound(FormulaKey(row, rect.left));
      while (it != formulas.end() && it->first <= FormulaKey(row, rect.right)) it = drop(it);
    }
  }
}

void CellStore::Clear(const CellRect& rect) {
  ++changes_;
  CheckRect(rect);
  ClearFormulas(rect);
  impl_->ForSegments(rect, false, [&](std::int32_t col, std::int32_t row, std::int32_t len, Chunk* ch) {
    if (!ch) return;
    ChunkIndex& chunks = impl_->cols[static_cast<std::size_t>(col - 1)].chunks;
    const auto band = static_cast<std::size_t>(Band(row));
    if (len == kChunkRows) {
      chunks.Release(band);
      return;
    }
    const std::int32_t off = Offset(row);
    for (std::int32_t i = 0; i < len; ++i) {
      ch->EraseText(off + i);
      if (ch->values) ch->values->kind[off + i] = 0;
      if (ch->fmt) ch->fmt[off + i] = 0;
    }
    if (ch->Empty()) chunks.Release(band);
  });
}

void CellStore::ClearContents(const CellRect& rect) {
  ++changes_;
  CheckRect(rect);
  ClearFormulas(rect);
  impl_->ForSegments(rect, false, [&](std::int32_t col, std::int32_t row, std::int32_t len, Chunk* ch) {
    if (!ch || !ch->values) return;
    const std::int32_t off = Offset(row);
    for (std::int32_t i = 0; i < len; ++i) {
      ch->EraseText(off + i);
      ch->values->kind[off + i] = 0;
    }
    if (ch->Empty()) impl_->FreeIfEmpty(row, col);
  });
}

void CellStore::ClearAll() {
  ++changes_;
  impl_->cols.clear();
  impl_->formulas.clear();
}

void CellStore::Impl::PasteValues(const Impl& src, PasteRun& run, bool withFormulas, std::int32_t dRows,
                                  std::int32_t dCols) {
  const std::int32_t sr = run.sr, sc = run.sc, dr = run.dr, dc = run.dc, len = run.len;
  const std::int32_t so = Offset(sr), dof = Offset(dr);
  const Chunk* s = run.s;
  Chunk*& d = run.d;
  const bool srcHasValues = s && s->values;
  if (srcHasValues && !d) d = &Ensure(dr, dc);
  if (d && (srcHasValues || d->values)) {
    for (std::int32_t i = 0; i < len; ++i) {
      const std::uint8_t oldKind = d->Kind(dof + i);
      if (oldKind & kFormulaFlag) formulas.erase(FormulaKey(dr + i, dc));
      d->EraseText(dof + i);
      const std::uint8_t sk = srcHasValues ? s->values->kind[so + i] : 0;
      if (sk == 0) {
        if (d->values) d->values->kind[dof + i] = 0;
        continue;
      }
      Values& dv = d->EnsureValues();
      std::uint8_t kind = sk & kKindMask;
      if (kind == KindByte(VarKind::kText))
        d->PutText(dof + i, s->TextAt(so + i));  // s may be d: PutText copes with a text of its own
      else
        dv.num[dof + i] = s->values->num[so + i];
      if ((sk & kFormulaFlag) && withFormulas) {
        auto it = src.formulas.find(FormulaKey(sr + i, sc));
        if (it != src.formulas.end()) {
          formulas[FormulaKey(dr + i, dc)] = ShiftFormula(it->second, dRows, dCols);
          kind |= kFormulaFlag;
        }
      }
      dv.kind[dof + i] = kind;
    }
  }
}

void CellStore::Impl::PasteFormats(PasteRun& run, std::uint32_t srcDefault, std::uint32_t dstDefault,
                                 std::uint32_t ownOfUnformatted) {
  const std::int32_t dr = run.dr, dc = run.dc, len = run.len;
  const std::int32_t so = Offset(run.sr), dof = Offset(dr);
  const Chunk* s = run.s;
  Chunk*& d = run.d;
  if (s && s->fmt) {
    if (!d) d = &Ensure(dr, dc);
    std::uint32_t* df = d->EnsureFmt();
    for (std::int32_t i = 0; i < len; ++i)
      df[dof + i] = OwnFormatId(EffectiveFormatId(s->fmt[so + i], srcDefault), dstDefault);
  } else if (ownOfUnformatted != 0) {
    if (!d) d = &Ensure(dr, dc);
    std::fill_n(d->EnsureFmt() + dof, len, ownOfUnformatted);
  } else if (d && d->fmt) {
    std::fill_n(d->fmt.get() + dof, len, 0u);
  }
}

void CellStore::PasteBlock(const CellStore& src, const CellRect& srcRect, std::int32_t top, std::int32_t left,
                           PasteParts parts, std::uint32_t srcDefault, std::uint32_t dstDefault) {
  ++changes_;
  CheckRect(srcRect);
  const CellRect dstRect{top, left, top + srcRect.Rows() - 1, left + srcRect.Columns() - 1};
  CheckRect(dstRect);
  if (&src == this && Overlaps(srcRect, dstRect)) {
    // Take a snapshot first so that no source cell is overwritten before it is read.
    CellStore snapshot;
    snapshot.PasteBlock(src, srcRect, srcRect.top, srcRect.left, PasteParts{}, srcDefault, srcDefault);
    PasteBlock(snapshot, srcRect, top, left, parts, srcDefault, dstDefault);
    return;
  }
  const std::int32_t dRows = top - srcRect.top;
  const std::int32_t dCols = left - srcRect.left;
  const std::uint32_t ownOfUnformatted = OwnFormatId(srcDefault, dstDefault);
  const bool fillsFormats = parts.formats && ownOfUnformatted != 0;
  Impl& dst = *impl_;

  for (std::int32_t j = 0; j < srcRect.Columns(); ++j) {
    const std::int32_t sc = srcRect.left + j;
    const std::int32_t dc = left + j;
    // Past both limits there is nothing to read and nothing to overwrite.
    std::int32_t rowsToDo = srcRect.Rows();
    if (!fillsFormats) {
      const std::int32_t srcReach = src.impl_->RowLimit(sc) - srcRect.top + 1;
      const std::int32_t dstReach = dst.RowLimit(dc) - top + 1;
      rowsToDo = std::min(rowsToDo, std::max({srcReach, dstReach, 0}));
    }
    std::int32_t r = 0;
    while (r < rowsToDo) {
      const std::int32_t sr = srcRect.top + r;
      const std::int32_t dr = top + r;
      const std::int32_t len = std::min({rowsToDo - r, kChunkRows - Offset(sr), kChunkRows - Offset(dr)});
      Impl::PasteRun run{sr, sc, dr, dc, len, src.impl_->Find(sr, sc), dst.Find(dr, dc)};
      if (parts.values) dst.PasteValues(*src.impl_, run, parts.formulas, dRows, dCols);
      if (parts.formats) dst.PasteFormats(run, srcDefault, dstDefault, ownOfUnformatted);
      if (run.d && run.d->Empty()) dst.FreeIfEmpty(dr, dc);
      r += len;
    }
  }
}

std::optional<CellRect> CellStore::UsedRect() const {
  std::optional<CellRect> used;
  for (std::size_t c = 0; c < impl_->cols.size(); ++c) {
    const auto& chunks = impl_->cols[c].chunks;
    std::int32_t top = 0;
    std::int32_t bottom = 0;
    for (std::size_t b = 0; b < chunks.size() && top == 0; ++b) {
      const Chunk* ch = chunks.Get(b);
      if (!ch) continue;
      for (std::int32_t i = 0; i < kChunkRows; ++i)
        if (ch->Used(i)) {
          top = BandFirstRow(b) + i;
          break;
        }
    }
    if (top == 0) continue;
    for (std::size_t b = chunks.size(); b-- > 0 && bottom == 0;) {
      const Chunk* ch = chunks.Get(b);
      if (!ch) continue;
      for (std::int32_t i = kChunkRows - 1; i >= 0; --i)
        if (ch->Used(i)) {
          bottom = BandFirstRow(b) + i;
          break;
        }
    }
    const auto col = static_cast<std::int32_t>(c + 1);
    if (!used) {
      used = CellRect{top, col, bottom, col};
    } else {
      used->top = std::min(used->top, top);
      used->bottom = std::max(used->bottom, bottom);
      used->right = col;
    }
  }
  return used;
}

void CellStore::ForEachCell(const std::function<void(std::int32_t row, std::int32_t col, const Variant& value,
                                                     std::uint32_t formatId)>& visit) const {
  std::size_t bands = 0;
  for (const auto& c : impl_->cols) bands = std::max(bands, c.chunks.size());
  std::vector<std::pair<std::int32_t, const Chunk*>> present;
  for (std::size_t b = 0; b < bands; ++b) {
    present.clear();
    for (std::size_t c = 0; c < impl_->cols.size(); ++c) {
      if (const Chunk* ch = impl_->cols[c].chunks.Get(b)) present.emplace_back(static_cast<std::int32_t>(c + 1), ch);
    }
    if (present.empty()) continue;
    for (std::int32_t i = 0; i < kChunkRows; ++i) {
      const std::int32_t row = BandFirstRow(b) + i;
      for (const auto& [col, ch] : present)
        if (ch->Used(i)) visit(row, col, Impl::Decode(*ch, i), ch->Fmt(i));
    }
  }
}

std::size_t CellStore::MemoryBytes() const {
  std::size_t bytes = impl_->cols.capacity() * sizeof(Column);
  for (const auto& c : impl_->cols) bytes += c.chunks.MemoryBytes();
  // A map node is three links and a colour beside its key and value.
  constexpr std::size_t kNode = 4 * sizeof(void*) + sizeof(std::pair<const std::uint64_t, std::string>);
  for (const auto& [key, text] : impl_->formulas)
    bytes += kNode + (text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0);
  return bytes;
}

}  // namespace nml::host
