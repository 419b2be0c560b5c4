#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/cell_store.h"

namespace nml::host {
namespace {

// 40 chunks of 256 rows in each of 4 columns.
constexpr std::int32_t kRows = 40 * 256;
constexpr std::int32_t kCols = 4;

std::size_t NumbersOnlyBytes() {
  CellStore s;
  for (std::int32_t c = 1; c <= kCols; ++c)
    for (std::int32_t r = 1; r <= kRows; ++r) s.SetDouble(r, c, r);
  return s.MemoryBytes();
}

// A one-letter text costs about two bytes beside the cell's slot (a string of
// its own per cell cost some 80), and dropped texts are given back.
TEST(CellStoreText, ShortTextsCostLittleMoreThanNumbers) {
  const std::size_t numbers = NumbersOnlyBytes();
  CellStore s;
  for (std::int32_t c = 1; c <= kCols; ++c)
    for (std::int32_t r = 1; r <= kRows; ++r) s.Set(r, c, Variant(std::string(1, static_cast<char>('a' + r % 26))));
  EXPECT_LE(s.MemoryBytes(), numbers + 3u * kRows * kCols);
  EXPECT_EQ(s.Get(kRows, kCols), Variant(std::string(1, 'a' + kRows % 26)));
  EXPECT_EQ(s.Get(27, 1), Variant("b"));
  // Numbers over every text leave what the numbers alone take.
  std::vector<double> values(static_cast<std::size_t>(kRows) * kCols);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i % kRows + 1);
  s.WriteDoubles(CellRect{1, 1, kRows, kCols}, values.data());
  EXPECT_EQ(s.MemoryBytes(), numbers);
  EXPECT_EQ(s.Get(kRows, kCols), Variant(static_cast<double>(kRows)));
}

std::string Key(std::int32_t row) {
  std::string key = "k";  // appended rather than added: GCC 12 warns falsely on "k" + string
  key += std::to_string(row);
  return key;
}

// One cell rewritten many times beside texts that stay: the space of the old
// texts is reclaimed, and the texts that stay keep their values.
TEST(CellStoreText, OverwrittenTextsDoNotPileUp) {
  CellStore s;
  for (std::int32_t r = 2; r <= 256; ++r) s.Set(r, 1, Variant(Key(r)));
  const std::size_t before = s.MemoryBytes();
  for (int i = 0; i < 10000; ++i) s.Set(1, 1, Variant(std::string(1000, static_cast<char>('a' + i % 26)) + std::to_string(i)));
  EXPECT_LT(s.MemoryBytes(), before + 8 * 1024);  // never-reclaimed texts would hold 10 MB
  EXPECT_EQ(s.Get(1, 1), Variant(std::string(1000, 'a' + 9999 % 26) + "9999"));
  for (std::int32_t r = 2; r <= 256; ++r) ASSERT_EQ(s.Get(r, 1), Variant(Key(r))) << r;
}

// Texts of every length class, and ones no C string can carry, survive
// writes, block reads, pastes within one block of cells and between stores,
// and the later overwriting of their source.
TEST(CellStoreText, TextsSurviveWritesReadsAndPastes) {
  const std::vector<std::string> texts = {
      "", std::string("a\0b", 3), std::string(127, 'x'), std::string(128, 'y'), std::string(20000, 'z'),
      "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC",
  };
  const auto n = static_cast<std::int32_t>(texts.size());
  CellStore s;
  for (std::int32_t i = 0; i < n; ++i) s.Set(i + 1, 1, Variant(texts[static_cast<std::size_t>(i)]));
  s.SetDouble(n + 1, 1, 5.0);
  s.PasteBlock(s, CellRect{1, 1, n + 1, 1}, 100, 1, PasteParts{}, 0, 0);  // same 256-row block
  CellStore other;
  other.PasteBlock(s, CellRect{1, 1, n + 1, 1}, 1, 3, PasteParts{}, 0, 0);
  for (std::int32_t i = 1; i <= n; ++i) s.Set(i, 1, Variant("gone"));
  Array<Variant> block;
  s.Read(CellRect{100, 1, 100 + n, 1}, block);
  for (std::int32_t i = 0; i < n; ++i) {
    const Variant want(texts[static_cast<std::size_t>(i)]);
    EXPECT_EQ(block(i + 1, 1), want) << i;
    EXPECT_EQ(other.Get(i + 1, 3), want) << i;
  }
  EXPECT_EQ(block(n + 1, 1), Variant(5.0));
  EXPECT_EQ(s.Get(n, 1), Variant("gone"));
}

}  // namespace
}  // namespace nml::host
