#include "host/cell_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "host/format_table.h"
#include "host_fixture.h"

namespace nml::host {
namespace {

TEST(CellStore, RefusesWhatACellCannotHoldAndKeepsNonFiniteNumbersAsErrors) {
  CellStore s;
  s.Set(1, 1, Variant::Integer(-7));
  EXPECT_EQ(s.Get(1, 1), Variant::Integer(-7));  // the kind is kept
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

// One cell per column in the last row: memory follows the cells in use, not
// the rows above them (an index entry for every 256 rows of every column came
// to 572 MB).
TEST(CellStore, MemoryFollowsTheRowsInUse) {
  const std::int64_t before = testing::ResidentBytes();
  CellStore s;
  for (std::int32_t c = 1; c <= kMaxColumns; ++c) s.SetDouble(kMaxRows, c, c);
  EXPECT_LT(testing::ResidentBytes() - before, std::int64_t{150} << 20);
  EXPECT_EQ(s.UsedRect(), (CellRect{kMaxRows, 1, kMaxRows, kMaxColumns}));
  EXPECT_EQ(s.Get(kMaxRows, kMaxColumns), Variant(static_cast<double>(kMaxColumns)));
  s.Clear(CellRect{kMaxRows, 1, kMaxRows, kMaxColumns / 2});
  EXPECT_EQ(s.UsedRect(), (CellRect{kMaxRows, kMaxColumns / 2 + 1, kMaxRows, kMaxColumns}));
  EXPECT_EQ(s.Get(kMaxRows, 1), Variant());
}

TEST(CellStore, BlockWriteAndReadAcrossChunkBoundaries) {
  CellStore s;
  const CellRect r{250, 3, 780, 5};  // crosses several 256-row chunks
  Array<Variant> in = Array<Variant>::Matrix(r.Rows(), r.Columns());
  for (std::int32_t j = 1; j <= r.Columns(); ++j)
    for (std::int32_t i = 1; i <= r.Rows(); ++i)
      in(i, j) = (i % 7 == 0) ? Variant(std::to_string(i * 100)) : Variant(i * 10.0 + j);
  s.Write(r, in);
  EXPECT_EQ(s.Get(256, 4), Variant("700"));
  EXPECT_TRUE(s.Get(249, 3).IsEmpty());
  Array<Variant> out;
  s.Read(r, out);
  EXPECT_EQ(out, in);
  EXPECT_THROW(s.Write(r, Array<Variant>::Matrix(2, 2)), Error);
  Array<Variant> bad = in;
  bad(3, 2) = Variant(Array<double>::Vector(1));
  bad(1, 1) = Variant(-1.0);
  EXPECT_THROW(s.Write(r, bad), Error);
  EXPECT_EQ(s.Get(250, 3), Variant(11.0));  // nothing written before the check
  s.SetFormula(300, 4, "B1*2");
  s.Clear(CellRect{256, 4, 700, 4});  // across chunks too: everything inside, nothing outside
  EXPECT_TRUE(s.Get(256, 4).IsEmpty());
  EXPECT_EQ(s.Formula(300, 4), nullptr);
  EXPECT_EQ(s.Get(255, 4), in(6, 2));
  EXPECT_EQ(s.Get(701, 4), in(452, 2));
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
  EXPECT_EQ(*s.ReadDoubles(r, col.data()), std::make_pair(300, 3));  // row 300 comes before row 400
  s.Set(300, 2, Variant::Boolean(false));
  EXPECT_EQ(*s.ReadDoubles(r, col.data()), std::make_pair(300, 2));
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
  EXPECT_EQ(*dst.Formula(11, 11), "L11*2");  // B2 moved 9 rows down, 10 columns right
  EXPECT_TRUE(dst.Get(11, 12).IsEmpty());
  EXPECT_EQ(dst.FormatId(10, 11), 9u);
  EXPECT_EQ(dst.FormatId(11, 12), 3u);
  EXPECT_EQ(dst.FormatId(12, 11), 6u);  // outside the block
  // Pasting a plain cell onto a sheet with its own format needs the plain id.
  CellStore plain;
  plain.PasteBlock(src, CellRect{2, 2, 2, 2}, 1, 1, PasteParts{false, false, true}, 0, 5);
  EXPECT_EQ(plain.FormatId(1, 1), FormatTable::kPlainId);
  // Onto an overlapping place of the same store, as if through a copy.
  for (std::int32_t i = 1; i <= 300; ++i) plain.SetDouble(i, 1, i);
  plain.PasteBlock(plain, CellRect{1, 1, 300, 1}, 101, 1, PasteParts{}, 0, 0);
  EXPECT_EQ(plain.Get(100, 1), Variant(100.0));
  EXPECT_EQ(plain.Get(101, 1), Variant(1.0));
  EXPECT_EQ(plain.Get(400, 1), Variant(300.0));
}

}  // namespace
}  // namespace nml::host
