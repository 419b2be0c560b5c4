#include "host/reference_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nml::host {
namespace {

struct Area {
  const char* sheet;  // nullptr when unqualified
  CellRect rect;
};

TEST(ReferenceParser, ValidFormsInAnyCaseAndCornerOrder) {
  struct Case {
    const char* text;
    std::vector<Area> areas;
  };
  const std::vector<Case> cases{
      {"A1", {{nullptr, {1, 1, 1, 1}}}},
      {"b2:C9", {{nullptr, {2, 2, 9, 3}}}},
      {"$A$1:$C$21", {{nullptr, {1, 1, 21, 3}}}},
      {"A$1:$c21", {{nullptr, {1, 1, 21, 3}}}},
      {"  AB12  ", {{nullptr, {12, 28, 12, 28}}}},
      {"XFD1048576", {{nullptr, {kMaxRows, kMaxColumns, kMaxRows, kMaxColumns}}}},
      {"C9:B2", {{nullptr, {2, 2, 9, 3}}}},
      {"B9:C2", {{nullptr, {2, 2, 9, 3}}}},
      {"C:C", {{nullptr, {1, 3, kMaxRows, 3}}}},
      {"$C:A", {{nullptr, {1, 1, kMaxRows, 3}}}},
      {"$5:$3", {{nullptr, {3, 1, 5, kMaxColumns}}}},
      {"'My data'!A1:B9", {{"My data", {1, 1, 9, 2}}}},
      {"'Bob''s sheet'!C3", {{"Bob's sheet", {3, 3, 3, 3}}}},
      {"Data!A1", {{"Data", {1, 1, 1, 1}}}},
      {"'a,b'!A1,'a,b'!B2", {{"a,b", {1, 1, 1, 1}}, {"a,b", {2, 2, 2, 2}}}},  // a quoted comma does not split
      {"Data!A1:B20, Data!D1:D20,f3", {{"Data", {1, 1, 20, 2}}, {"Data", {1, 4, 20, 4}}, {nullptr, {3, 6, 3, 6}}}},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseReference(c.text);
    ASSERT_TRUE(parsed.has_value()) << c.text;
    ASSERT_EQ(parsed->size(), c.areas.size()) << c.text;
    for (std::size_t i = 0; i < c.areas.size(); ++i) {
      EXPECT_EQ((*parsed)[i].rect, c.areas[i].rect) << c.text;
      EXPECT_EQ((*parsed)[i].sheet, c.areas[i].sheet ? std::optional<std::string>(c.areas[i].sheet) : std::nullopt)
          << c.text;
    }
  }
}

TEST(ReferenceParser, RejectsAddressesPastTheGridMalformedTextAndGarbage) {
  std::string maxAreas = "A1";
  for (std::size_t i = 1; i < kMaxAreas; ++i) maxAreas += ",A1";
  ASSERT_EQ(ParseReference(maxAreas)->size(), kMaxAreas);
  for (const std::string& bad : std::vector<std::string>{
           "XFE1", "A1048577", "A0", "0:3", "AAAA1", "A99999999999999999999", "A1:XFE2",  // past the grid
        "", " ", "A", "1", "A1:", ":A1", "A1:B", "A:1", "A1::B2", "A1 : B2", "A1,", ",A1", "A1,,B2", "$", "$A$",
        "A$", "A1B", "R1C1", "Data!", "!A1", "'Data!A1", "'Data'A1", "''!A1", "'a:b'!A1", "Sheet1!Sheet2!A1",
        "A1;B2", "A1-B2", "=A1", "A1 B2", "1A", std::string("A1\0B2", 5),
        maxAreas + ",A1", std::string(kMaxReferenceLength + 1, 'A'), std::string(1'000'000, '\''),
        std::string(5000, '$'), "A" + std::string(5000, '9')}) {
    EXPECT_FALSE(ParseReference(bad).has_value()) << bad.substr(0, 40);
  }
}

TEST(ReferenceParser, FormatsColumnsAddressesAndSheetPrefixesThatParseBack) {
  for (const auto& [column, letters] : std::vector<std::pair<int, std::string>>{
           {1, "A"}, {26, "Z"}, {27, "AA"}, {702, "ZZ"}, {703, "AAA"}, {16384, "XFD"}, {0, ""}, {16385, ""}}) {
    EXPECT_EQ(ColumnLetters(column), letters) << column;
  }
  for (const auto& [rect, text] : std::vector<std::pair<CellRect, std::string>>{
           {{2, 2, 2, 2}, "$B$2"}, {{1, 1, 21, 3}, "$A$1:$C$21"}, {{1, 3, kMaxRows, 3}, "$C:$C"},
           {{3, 1, 5, kMaxColumns}, "$3:$5"}, {{1, 1, kMaxRows, kMaxColumns}, "$1:$1048576"}}) {
    EXPECT_EQ(AbsoluteAddress(rect), text);
    const auto back = ParseReference(SheetPrefix("My 'x' data") + text);
    ASSERT_TRUE(back.has_value()) << text;
    EXPECT_EQ(back->front().rect, rect);
    EXPECT_EQ(back->front().sheet, std::string("My 'x' data"));
  }
  for (const auto& [name, prefix] : std::vector<std::pair<std::string, std::string>>{
           {"Data", "Data!"}, {"My data", "'My data'!"}, {"Bob's", "'Bob''s'!"}, {"2019", "'2019'!"},
           {"A1", "'A1'!"}, {"R2C3", "'R2C3'!"}, {"a-b", "'a-b'!"}}) {
    EXPECT_EQ(SheetPrefix(name), prefix);
  }
  EXPECT_TRUE(SameName("data", "DATA"));
  EXPECT_FALSE(SameName("data", "data2"));
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
