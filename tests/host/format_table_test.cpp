#include "host/format_table.h"

#include <gtest/gtest.h>
#include "nmlcorrelation/error.h"

namespace nml::host {
namespace {

TEST(FormatTable, InternsEachDistinctFormatOnce) {
  FormatTable t;
  EXPECT_EQ(t.Intern(CellFormat{}), 0u);
  CellFormat bold;
  bold.bold = true;
  const auto a = t.Intern(bold);
  CellFormat fill;
  fill.fillColorIndex = 2;
  const auto b = t.Intern(fill);
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, FormatTable::kPlainId);
  EXPECT_NE(a, b);
  EXPECT_EQ(t.Intern(bold), a);
  EXPECT_EQ(t.Get(b), fill);
  EXPECT_EQ(t.Get(FormatTable::kPlainId), CellFormat{});
  EXPECT_THROW(t.Get(99), Error);
}

TEST(FormatTable, OwnAndEffectiveIdsAgainstASheetFormat) {
  // Sheet without a format of its own.
  EXPECT_EQ(OwnFormatId(0, 0), 0u);
  EXPECT_EQ(OwnFormatId(7, 0), 7u);
  EXPECT_EQ(OwnFormatId(FormatTable::kPlainId, 0), 0u);
  // Sheet formatted as a whole with id 5.
  EXPECT_EQ(OwnFormatId(5, 5), 0u);
  EXPECT_EQ(OwnFormatId(0, 5), FormatTable::kPlainId);
  EXPECT_EQ(EffectiveFormatId(0, 5), 5u);
  EXPECT_EQ(EffectiveFormatId(FormatTable::kPlainId, 5), 0u);
  EXPECT_EQ(EffectiveFormatId(7, 5), 7u);
}

}  // namespace
}  // namespace nml::host
