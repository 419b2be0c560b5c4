#include "host/cell_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "host/format_table.h"

namespace nml::host {
namespace {

TEST(CellStore, StoresEveryScalarKind) {
  CellStore s;
  s.Set(1, 1, Variant(2.5));
  s.Set(2, 1, Variant("text"));
  s.Set(3, 1, Variant::Boolean(true));
  s.Set(4, 1, Variant::Integer(-7));
  s.Set(5, 1, Variant::Long(123456));
  s.Set(6, 1, Variant::ErrorValue(2042));
  s.Set(300, 9, Variant(std::string()));
  EXPECT_EQ(s.Get(1, 1), Variant(2.5));
  EXPECT_EQ(s.Get(2, 1), Variant("text"));
  EXPECT_EQ(s.Get(3, 1), Variant::Boolean(true));
  EXPECT_EQ(s.Get(4, 1), Variant::Integer(-7));
  EXPECT_EQ(s.Get(5, 1), Variant::Long(123456));
  EXPECT_EQ(s.Get(6, 1), Variant::ErrorValue(2042));
  EXPECT_EQ(s.Get(300, 9), Variant(std::string()));
  EXPECT_TRUE(s.Get(7, 1).IsEmpty());
  EXPECT_TRUE(s.Get(kMaxRows, kMaxColumns).IsEmpty());

  s.Set(2, 1, Variant(1.0));  // text replaced by a number
  EXPECT_EQ(s.Get(2, 1), Variant(1.0));
  s.Set(2, 1, Variant());
  EXPECT_TRUE(s.Get(2, 1).IsEmpty());
}

TEST(CellStore, RefusesWhatACellCannotHold) {
  CellStore s;
  EXPECT_THROW(s.Set(1, 1, Variant(Array<double>::Vector(2))), Error);
  EXPECT_THROW(s.Set(1, 1, Variant::Missing()), Error);
  EXPECT_THROW(s.Set(0, 1, Variant(1.0)), Error);
  EXPECT_THROW(s.Set(1, kMaxColumns + 1, Variant(1.0)), Error);
  // A non-finite number is kept as #NUM!, never as a number.
  s.SetDouble(1, 1, std::numeric_limits<double>::infinity());
  s.Set(2, 1, Variant(std::nan("")));
  EXPECT_EQ(s.Get(1, 1), Variant::ErrorValue(kErrorNum));
  EXPECT_EQ(s.Get(2, 1), Variant::ErrorValue(kErrorNum));
}

TEST(CellStore, BlockWriteAndReadAcrossChunkBoundaries) {
  CellStore s;
  const CellRect r{250, 3, 780, 5};  // crosses several 256-row chunks
  Array<Variant> in = Array<Variant>::Matrix(r.Rows(), r.Columns());
  for (std::int32_t j = 1; j <= r.Columns(); ++j)
    for (std::int32_t i = 1; i <= r.Rows(); ++i)
      in(i, j) = (i % 7 == 0) ? Variant(std::to_string(i * 100)) : Variant(i * 10.0 + j);
  s.Write(r, in);
  EXPECT_EQ(s.Get(250, 3), Variant(11.0));
  EXPECT_EQ(s.Get(256, 4), Variant("700"));
  EXPECT_TRUE(s.Get(249, 3).IsEmpty());
  Array<Variant> out;
  s.Read(r, out);
  EXPECT_EQ(out, in);

  EXPECT_THROW(s.Write(r, Array<Variant>::Matrix(2, 2)), Error);
  Array<Variant> bad = in;
  bad(3, 2) = Variant(Array<double>::Vector(1));
  EXPECT_THROW(s.Write(r, bad), Error);
  EXPECT_EQ(s.Get(250, 3), Variant(11.0));  // nothing written before the check
}

TEST(CellStore, ReadDoublesNamesTheFirstNonNumberInReadingOrder) {
  CellStore s;
  const CellRect r{1, 1, 600, 3};
  std::vector<double> col(600 * 3);
  for (std::int32_t j = 1; j <= 3; ++j)
    for (std::int32_t i = 1; i <= 600; ++i) s.SetDouble(i, j, i + 1000.0 * j);
  s.Set(5, 2, Variant::Integer(4));
  EXPECT_FALSE(s.ReadDoubles(r, col.data()).has_value());
  EXPECT_EQ(col[0], 1001.0);
  EXPECT_EQ(col[600 + 4], 4.0);
  EXPECT_EQ(col[2 * 600 + 599], 3600.0);

  s.Set(400, 1, Variant("x"));
  s.Set(300, 3, Variant());
  auto bad = s.ReadDoubles(r, col.data());
  ASSERT_TRUE(bad.has_value());
  EXPECT_EQ(*bad, std::make_pair(300, 3));  // row 300 comes before row 400
  s.Set(300, 2, Variant::Boolean(false));
  EXPECT_EQ(*s.ReadDoubles(r, col.data()), std::make_pair(300, 2));
  EXPECT_EQ(*s.ReadDoubles(CellRect{1, 5, 2, 5}, col.data()), std::make_pair(1, 5));
}

TEST(CellStore, FirstValueCellAndUsedRect) {
  CellStore s;
  EXPECT_FALSE(s.UsedRect().has_value());
  EXPECT_FALSE(s.FirstValueCell(CellRect{1, 1, kMaxRows, kMaxColumns}).has_value());
  s.Set(40, 7, Variant(1.0));
  s.Set(12, 9, Variant("a"));
  s.SetFormatId(900, 2, 5);  // a format alone is not a value
  EXPECT_EQ(*s.FirstValueCell(CellRect{1, 1, kMaxRows, kMaxColumns}), std::make_pair(12, 9));
  EXPECT_EQ(*s.FirstValueCell(CellRect{13, 1, 100, 8}), std::make_pair(40, 7));
  EXPECT_FALSE(s.FirstValueCell(CellRect{41, 1, 1000, 8}).has_value());
  EXPECT_EQ(*s.UsedRect(), (CellRect{12, 2, 900, 9}));
}

TEST(CellStore, ClearRemovesEverythingInsideOnly) {
  CellStore s;
  for (std::int32_t i = 1; i <= 1000; ++i) {
    s.Set(i, 1, Variant("row" + std::to_string(i)));
    s.SetFormatId(i, 1, 3);
  }
  s.SetFormula(10, 1, "B1*2");
  s.Clear(CellRect{5, 1, 700, 1});
  EXPECT_EQ(s.Get(4, 1), Variant("row4"));
  EXPECT_TRUE(s.Get(5, 1).IsEmpty());
  EXPECT_EQ(s.FormatId(300, 1), 0u);
  EXPECT_EQ(s.FormatId(701, 1), 3u);
  EXPECT_EQ(s.Formula(10, 1), nullptr);
  s.ClearContents(CellRect{1, 1, 4, 1});
  EXPECT_TRUE(s.Get(1, 1).IsEmpty());
  EXPECT_EQ(s.FormatId(1, 1), 3u);
  s.ClearAll();
  EXPECT_FALSE(s.UsedRect().has_value());
}

TEST(CellStore, FormulasKeepTheirCachedValue) {
  CellStore s;
  s.SetFormula(3, 2, "A1+A2");
  s.Set(3, 2, Variant(5.0));
  ASSERT_NE(s.Formula(3, 2), nullptr);
  EXPECT_EQ(*s.Formula(3, 2), "A1+A2");
  EXPECT_EQ(s.Get(3, 2), Variant(5.0));
  s.ClearFormulas(CellRect{1, 1, 10, 10});
  EXPECT_EQ(s.Formula(3, 2), nullptr);
  EXPECT_EQ(s.Get(3, 2), Variant(5.0));
}

TEST(CellStore, MapFormatIdsVisitsOnlyFormattedCellsWhenZeroStaysZero) {
  CellStore s;
  s.SetFormatId(5, 5, 7);
  s.SetFormatId(kMaxRows, kMaxColumns, 8);
  int calls = 0;
  s.MapFormatIds(CellRect{1, 1, kMaxRows, kMaxColumns}, [&](std::uint32_t id) {
    ++calls;
    return id == 0 ? 0u : id + 10;
  });
  EXPECT_EQ(s.FormatId(5, 5), 17u);
  EXPECT_EQ(s.FormatId(kMaxRows, kMaxColumns), 18u);
  EXPECT_EQ(s.FormatId(1, 1), 0u);
  EXPECT_LE(calls, 4);
}

TEST(CellStore, ForEachCellGoesRowByRow) {
  CellStore s;
  s.Set(2, 3, Variant(1.0));
  s.Set(2, 1, Variant(2.0));
  s.Set(1, 2, Variant(3.0));
  s.SetFormatId(700, 1, 4);
  std::vector<std::pair<std::int32_t, std::int32_t>> seen;
  s.ForEachCell([&](std::int32_t r, std::int32_t c, const Variant&, std::uint32_t) { seen.emplace_back(r, c); });
  const std::vector<std::pair<std::int32_t, std::int32_t>> expected{{1, 2}, {2, 1}, {2, 3}, {700, 1}};
  EXPECT_EQ(seen, expected);
}

TEST(CellStore, PasteBlockCarriesValuesFormulasAndShownFormats) {
  CellStore src;
  CellStore dst;
  src.Set(1, 1, Variant("name"));
  src.Set(2, 1, Variant(4.0));
  src.SetFormula(2, 1, "B2*2");
  src.SetFormatId(1, 1, 9);
  dst.Set(11, 12, Variant("old"));
  dst.SetFormatId(12, 11, 6);
  // Source cells without a format show format 3, the target sheet's own is 0.
  dst.PasteBlock(src, CellRect{1, 1, 2, 2}, 10, 11, PasteParts{}, 3, 0);
  EXPECT_EQ(dst.Get(10, 11), Variant("name"));
  EXPECT_EQ(dst.Get(11, 11), Variant(4.0));
  ASSERT_NE(dst.Formula(11, 11), nullptr);
  EXPECT_EQ(*dst.Formula(11, 11), "L11*2");  // B2 moved 9 rows down, 10 columns right
  EXPECT_TRUE(dst.Get(11, 12).IsEmpty());
  EXPECT_EQ(dst.FormatId(10, 11), 9u);
  EXPECT_EQ(dst.FormatId(11, 12), 3u);
  EXPECT_EQ(dst.FormatId(12, 11), 6u);  // outside the block

  // Pasting a plain cell onto a sheet with its own format needs the plain id.
  CellStore plain;
  plain.PasteBlock(src, CellRect{2, 2, 2, 2}, 1, 1, PasteParts{false, false, true}, 0, 5);
  EXPECT_EQ(plain.FormatId(1, 1), FormatTable::kPlainId);
}

TEST(CellStore, PasteBlockOntoAnOverlappingPlaceOfTheSameStore) {
  CellStore s;
  for (std::int32_t i = 1; i <= 300; ++i) s.SetDouble(i, 1, i);
  s.PasteBlock(s, CellRect{1, 1, 300, 1}, 101, 1, PasteParts{}, 0, 0);
  EXPECT_EQ(s.Get(100, 1), Variant(100.0));
  EXPECT_EQ(s.Get(101, 1), Variant(1.0));
  EXPECT_EQ(s.Get(400, 1), Variant(300.0));
}

}  // namespace
}  // namespace nml::host
