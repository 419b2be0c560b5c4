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
  for (const auto& [text, areas] : std::vector<std::pair<const char*, std::vector<Area>>>{
      {"A1", {{nullptr, {1, 1, 1, 1}}}},                {"b2:C9", {{nullptr, {2, 2, 9, 3}}}},
      {"$A$1:$C$21", {{nullptr, {1, 1, 21, 3}}}},       {"A$1:$c21", {{nullptr, {1, 1, 21, 3}}}},
      {"  AB12  ", {{nullptr, {12, 28, 12, 28}}}},      {"C9:B2", {{nullptr, {2, 2, 9, 3}}}},
      {"XFD1048576", {{nullptr, {kMaxRows, kMaxColumns, kMaxRows, kMaxColumns}}}},
      {"B9:C2", {{nullptr, {2, 2, 9, 3}}}},             {"C:C", {{nullptr, {1, 3, kMaxRows, 3}}}},
      {"$C:A", {{nullptr, {1, 1, kMaxRows, 3}}}},       {"$5:$3", {{nullptr, {3, 1, 5, kMaxColumns}}}},
      {"'My data'!A1:B9", {{"My data", {1, 1, 9, 2}}}},   {"Data!A1", {{"Data", {1, 1, 1, 1}}}},
      {"'Bob''s sheet'!C3", {{"Bob's sheet", {3, 3, 3, 3}}}},
      {"'a,b'!A1,'a,b'!B2", {{"a,b", {1, 1, 1, 1}}, {"a,b", {2, 2, 2, 2}}}},  // a quoted comma does not split
      {"Data!A1:B20, Data!D1:D20,f3", {{"Data", {1, 1, 20, 2}}, {"Data", {1, 4, 20, 4}}, {nullptr, {3, 6, 3, 6}}}},
  }) {
    const auto parsed = ParseReference(text);
    ASSERT_TRUE(parsed.has_value()) << text;
    ASSERT_EQ(parsed->size(), areas.size()) << text;
    for (std::size_t i = 0; i < areas.size(); ++i) {
      EXPECT_EQ((*parsed)[i].rect, areas[i].rect) << text;
      EXPECT_EQ((*parsed)[i].sheet.value_or("(none)"), areas[i].sheet ? areas[i].sheet : "(none)") << text;
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
}

}  // namespace
}  // namespace nml::host
