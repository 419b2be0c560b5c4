#include "host/reference_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace nml::host {
namespace {

CellRect Rect(std::int32_t top, std::int32_t left, std::int32_t bottom, std::int32_t right) {
  return CellRect{top, left, bottom, right};
}

CellRect One(std::string_view text) {
  auto r = ParseReference(text);
  EXPECT_TRUE(r.has_value()) << text;
  if (!r || r->size() != 1) return {};
  EXPECT_FALSE(r->front().sheet.has_value()) << text;
  return r->front().rect;
}

TEST(ReferenceParser, ParsesCellsAndRectanglesInAnyCase) {
  EXPECT_EQ(One("A1"), Rect(1, 1, 1, 1));
  EXPECT_EQ(One("b2:C9"), Rect(2, 2, 9, 3));
  EXPECT_EQ(One("$A$1:$C$21"), Rect(1, 1, 21, 3));
  EXPECT_EQ(One("A$1:$c21"), Rect(1, 1, 21, 3));
  EXPECT_EQ(One("  AB12  "), Rect(12, 28, 12, 28));
  EXPECT_EQ(One("XFD1048576"), Rect(kMaxRows, kMaxColumns, kMaxRows, kMaxColumns));
}

TEST(ReferenceParser, NormalisesEitherCornerOrder) {
  EXPECT_EQ(One("C9:B2"), Rect(2, 2, 9, 3));
  EXPECT_EQ(One("B9:C2"), Rect(2, 2, 9, 3));
  EXPECT_EQ(One("C2:B9"), Rect(2, 2, 9, 3));
}

TEST(ReferenceParser, ParsesWholeColumnsAndRows) {
  EXPECT_EQ(One("C:C"), Rect(1, 3, kMaxRows, 3));
  EXPECT_EQ(One("$C:A"), Rect(1, 1, kMaxRows, 3));
  EXPECT_EQ(One("3:5"), Rect(3, 1, 5, kMaxColumns));
  EXPECT_EQ(One("$5:$3"), Rect(3, 1, 5, kMaxColumns));
}

TEST(ReferenceParser, ReadsSheetQualifiers) {
  auto r = ParseReference("'My data'!A1:B9");
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->front().sheet, std::string("My data"));
  EXPECT_EQ(r->front().rect, Rect(1, 1, 9, 2));

  r = ParseReference("'Bob''s sheet'!C3");
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->front().sheet, std::string("Bob's sheet"));

  r = ParseReference("Data!A1");
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->front().sheet, std::string("Data"));

  r = ParseReference("'a,b'!A1,'a,b'!B2");  // a comma inside quotes does not split
  ASSERT_TRUE(r.has_value());
  ASSERT_EQ(r->size(), 2u);
  EXPECT_EQ((*r)[1].sheet, std::string("a,b"));
}

TEST(ReferenceParser, SplitsMultiAreaReferencesInOrder) {
  auto r = ParseReference("Data!A1:B20, Data!D1:D20,f3");
  ASSERT_TRUE(r.has_value());
  ASSERT_EQ(r->size(), 3u);
  EXPECT_EQ((*r)[0].rect, Rect(1, 1, 20, 2));
  EXPECT_EQ((*r)[1].rect, Rect(1, 4, 20, 4));
  EXPECT_EQ((*r)[2].rect, Rect(3, 6, 3, 6));
  EXPECT_FALSE((*r)[2].sheet.has_value());
}

TEST(ReferenceParser, RejectsAddressesPastTheGrid) {
  EXPECT_FALSE(ParseReference("XFE1"));
  EXPECT_FALSE(ParseReference("A1048577"));
  EXPECT_FALSE(ParseReference("A0"));
  EXPECT_FALSE(ParseReference("0:3"));
  EXPECT_FALSE(ParseReference("AAAA1"));
  EXPECT_FALSE(ParseReference("A99999999999999999999"));
  EXPECT_FALSE(ParseReference("A1:XFE2"));
}

TEST(ReferenceParser, RejectsMalformedText) {
  for (const char* bad : {"", " ", "A", "1", "A1:", ":A1", "A1:B", "A:1", "A1::B2", "A1 : B2", "A1,", ",A1",
                          "A1,,B2", "$", "$A$", "A$", "A1B", "R1C1", "Data!", "!A1", "'Data!A1", "'Data'A1",
                          "''!A1", "'a:b'!A1", "Sheet1!Sheet2!A1", "A1;B2", "A1-B2", "=A1", "A1 B2", "1A"}) {
    EXPECT_FALSE(ParseReference(bad).has_value()) << bad;
  }
}

TEST(ReferenceParser, BoundsLengthAndAreaCount) {
  std::string many = "A1";
  for (std::size_t i = 1; i < kMaxAreas; ++i) many += ",A1";
  auto r = ParseReference(many);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->size(), kMaxAreas);
  EXPECT_FALSE(ParseReference(many + ",A1").has_value());

  EXPECT_FALSE(ParseReference(std::string(kMaxReferenceLength + 1, 'A')).has_value());
  EXPECT_FALSE(ParseReference(std::string(1'000'000, '\'')).has_value());
  EXPECT_FALSE(ParseReference(std::string(5000, '$')).has_value());
  EXPECT_FALSE(ParseReference("A" + std::string(5000, '9')).has_value());
  EXPECT_FALSE(ParseReference(std::string("A1\0B2", 5)).has_value());
}

TEST(ReferenceParser, FormatsColumnsAndAddresses) {
  EXPECT_EQ(ColumnLetters(1), "A");
  EXPECT_EQ(ColumnLetters(26), "Z");
  EXPECT_EQ(ColumnLetters(27), "AA");
  EXPECT_EQ(ColumnLetters(28), "AB");
  EXPECT_EQ(ColumnLetters(702), "ZZ");
  EXPECT_EQ(ColumnLetters(703), "AAA");
  EXPECT_EQ(ColumnLetters(16384), "XFD");
  EXPECT_EQ(ColumnLetters(0), "");
  EXPECT_EQ(AbsoluteAddress(Rect(2, 2, 2, 2)), "$B$2");
  EXPECT_EQ(AbsoluteAddress(Rect(1, 1, 21, 3)), "$A$1:$C$21");
  EXPECT_EQ(AbsoluteAddress(Rect(1, 3, kMaxRows, 3)), "$C:$C");
  EXPECT_EQ(AbsoluteAddress(Rect(3, 1, 5, kMaxColumns)), "$3:$5");
  EXPECT_EQ(AbsoluteAddress(Rect(1, 1, kMaxRows, kMaxColumns)), "$1:$1048576");
}

TEST(ReferenceParser, QuotesSheetNamesThatNeedIt) {
  EXPECT_EQ(SheetPrefix("Data"), "Data!");
  EXPECT_EQ(SheetPrefix("My data"), "'My data'!");
  EXPECT_EQ(SheetPrefix("Bob's"), "'Bob''s'!");
  EXPECT_EQ(SheetPrefix("2019"), "'2019'!");
  EXPECT_EQ(SheetPrefix("A1"), "'A1'!");
  EXPECT_EQ(SheetPrefix("R2C3"), "'R2C3'!");
  EXPECT_EQ(SheetPrefix("a-b"), "'a-b'!");
  EXPECT_TRUE(SameName("data", "DATA"));
  EXPECT_FALSE(SameName("data", "data2"));
}

TEST(ReferenceParser, RoundTripsItsOwnAddresses) {
  for (CellRect r : {Rect(1, 1, 1, 1), Rect(7, 3, 99, 28), Rect(1, 5, kMaxRows, 9), Rect(4, 1, 4, kMaxColumns)}) {
    auto back = ParseReference(SheetPrefix("My 'x' data") + AbsoluteAddress(r));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->front().rect, r);
    EXPECT_EQ(back->front().sheet, std::string("My 'x' data"));
  }
}

TEST(ShiftFormula, MovesRelativeReferencesOnly) {
  struct Case {
    const char* formula;
    int rows, cols;
    const char* expected;
  };
  for (const Case& c : {
           Case{"A1*$B$1+SUM(C1:C3)", 2, 1, "B3*$B$1+SUM(D3:D5)"},
           Case{"A1+$A1+A$1+$A$1", 1, 1, "B2+$A2+B$1+$A$1"},
           Case{"Sheet2!A1+'My sheet'!B2", 1, 0, "Sheet2!A2+'My sheet'!B3"},
           Case{"SUM(A:A)+SUM($B:C)+SUM(1:3)+SUM($1:3)", 2, 1, "SUM(B:B)+SUM($B:D)+SUM(3:5)+SUM($1:5)"},
           Case{"LOG10(A1)+ATAN2(B1,C1)", 3, 0, "LOG10(A4)+ATAN2(B4,C4)"},
           Case{"a1+xfc1", 0, 1, "B1+XFD1"},
           // Text, names, numbers, structured references and errors stay.
           Case{"\"A1\"&A1&\"say \"\"B2\"\"\"", 1, 0, "\"A1\"&A2&\"say \"\"B2\"\"\""},
           Case{"IF(A1>1E+5,TRUE,2.5E+3)", 1, 0, "IF(A2>1E+5,TRUE,2.5E+3)"},
           Case{"Table1[[#This Row],[A1]]*A1", 1, 0, "Table1[[#This Row],[A1]]*A2"},
           Case{"IFERROR(A1,#N/A)+#REF!+#DIV/0!", 1, 0, "IFERROR(A2,#N/A)+#REF!+#DIV/0!"},
           Case{"XFE1+Rate_2024+ABCD1+B2\xC3\xA9", 5, 5, "XFE1+Rate_2024+ABCD1+B2\xC3\xA9"},
           Case{"'It''s A1'!C3", 0, 1, "'It''s A1'!D3"},
           // Off the grid: a reference, or a whole range, becomes #REF!.
           Case{"A1+B2", -1, 0, "#REF!+B1"},
           Case{"XFD1*2", 0, 1, "#REF!*2"},
           Case{"SUM(A1048575:A1048576)", 1, 0, "SUM(#REF!)"},
           Case{"SUM(A:B)", 0, -1, "SUM(#REF!)"},
           Case{"$A$1048576", 5, 5, "$A$1048576"},
       }) {
    EXPECT_EQ(ShiftFormula(c.formula, c.rows, c.cols), c.expected) << c.formula;
  }
}

}  // namespace
}  // namespace nml::host
