#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/cell_store.h"

namespace nml::host {
namespace {

// A one-letter text costs about two bytes beside its cell's slot (a string of
// its own per cell cost some 80), and texts overwritten by numbers are given
// back whole.
TEST(CellStoreText, ShortTextsCostLittleMoreThanNumbers) {
  constexpr std::int32_t kRows = 40 * 256, kCols = 4;
  const CellRect all{1, 1, kRows, kCols};
  std::vector<double> values(static_cast<std::size_t>(kRows) * kCols, 1.0);
  CellStore numbers;
  numbers.WriteDoubles(all, values.data());
  CellStore s;
  s.Fill(all, Variant("a"));
  s.Set(kRows, kCols, Variant("z"));
  EXPECT_LE(s.MemoryBytes(), numbers.MemoryBytes() + 3u * kRows * kCols);
  EXPECT_EQ(s.Get(kRows - 1, kCols), Variant("a"));
  EXPECT_EQ(s.Get(kRows, kCols), Variant("z"));
  s.WriteDoubles(all, values.data());
  EXPECT_EQ(s.MemoryBytes(), numbers.MemoryBytes());
}

// One cell rewritten many times beside texts that stay: the old texts' room
// is reclaimed and the others keep their values.
TEST(CellStoreText, OverwrittenTextsDoNotPileUp) {
  CellStore s;
  for (std::int32_t r = 2; r <= 256; ++r) s.Set(r, 1, Variant(std::to_string(r)));
  const std::size_t before = s.MemoryBytes();
  for (int i = 0; i < 10000; ++i) s.Set(1, 1, Variant(std::string(1000, 'x') + std::to_string(i)));
  EXPECT_LT(s.MemoryBytes(), before + 8 * 1024);  // unreclaimed, 10 MB
  EXPECT_EQ(s.Get(1, 1), Variant(std::string(1000, 'x') + "9999"));
  for (std::int32_t r = 2; r <= 256; ++r) ASSERT_EQ(s.Get(r, 1), Variant(std::to_string(r))) << r;
}

// Texts of each length class and with a NUL survive block reads and pastes
// within one 256-row block and between stores, and the overwriting of their
// source.
TEST(CellStoreText, TextsSurviveReadsAndPastes) {
  // The long text first: copying it within its own block moves the block.
  const std::vector<std::string> texts = {std::string(20000, 'z'), "", std::string("a\0b", 3), std::string(127, 'x'),
                                          std::string(128, 'y'), "\xC3\xA9t\xC3\xA9"};
  const auto n = static_cast<std::int32_t>(texts.size());
  CellStore s, other;
  for (std::int32_t i = 0; i < n; ++i) s.Set(i + 1, 1, Variant(texts[static_cast<std::size_t>(i)]));
  s.PasteBlock(s, CellRect{1, 1, n, 1}, 100, 1, PasteParts{}, 0, 0);
  other.PasteBlock(s, CellRect{1, 1, n, 1}, 1, 3, PasteParts{}, 0, 0);
  s.Fill(CellRect{1, 1, n, 1}, Variant("gone"));
  Array<Variant> block;
  s.Read(CellRect{100, 1, 99 + n, 1}, block);
  for (std::int32_t i = 0; i < n; ++i) {
    EXPECT_EQ(block(i + 1, 1), Variant(texts[static_cast<std::size_t>(i)])) << i;
    EXPECT_EQ(other.Get(i + 1, 3), Variant(texts[static_cast<std::size_t>(i)])) << i;
  }
}

}  // namespace
}  // namespace nml::host
