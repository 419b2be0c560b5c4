// The data preparation shared by front ends: references, name lists,
// missing-value markers.
#include <gtest/gtest.h>

#include "cli/prep/area_reference.h"
#include "cli/prep/missing_values.h"
#include "cli/prep/prep_errors.h"
#include "cli/prep/variable_names.h"
#include "support/error_catch.h"

namespace nml::prep {
namespace {

TEST(AreaReference, ReadsAndWritesTheFormsUsersType) {
  // The text and its areas written back; "" when the text is left to the component.
  for (const auto& [text, written] : std::vector<std::pair<const char*, std::string>>{
      {"C:L", "$C$1:$L$1048576"}, {"'My data'!$b$2:a9", "'My data'!$A$2:$B$9"},
      {"Data!A1:B20, Data!D1:D20", "Data!$A$1:$B$20,Data!$D$1:$D$20"},
      {"'It''s'!XFD7", "'It''s'!$XFD$7:$XFD$7"},
      {"3:5", ""}, {"A0:B2", ""}, {"XFE1", ""}, {"A1:B", ""}, {"'open!A1", ""}}) {
    const auto areas = ParseAreas(text);
    EXPECT_EQ(areas ? FormatAreas(*areas) : std::string(), written) << text;
  }
  EXPECT_TRUE(ParseAreas("C:L")->front().wholeColumns);
}

TEST(NameList, SplitsUnderCsvRules) {
  EXPECT_EQ(SplitNameList(R"X(Age (years), "Cholesterol, total (mg/dL)",Clean!BMI,"say ""hi""")X"),
            (std::vector<std::string>{"Age (years)", "Cholesterol, total (mg/dL)", "Clean!BMI", "say \"hi\""}));
  for (const char* bad : {"a,,b", "\"open", "\"x\"y", ""})
    EXPECT_NML_ERROR(SplitNameList(bad), ComponentError(kBadNameList)) << bad;
}

TEST(VariableNames, AdjacentColumnsShareAnArea) {
  const CellBlock data{2, 2, 3, 4,
                       {Variant("a"), Variant("b"), Variant("c"), Variant("d"),  //
                        Variant(1.0), Variant(2.0), Variant(3.0), Variant(4.0),  //
                        Variant(5.0), Variant(6.0), Variant(7.0), Variant(8.0)}};
  auto values = [&](const std::string&) { return data; };
  const auto areas = ResolveVariables("b,C,a,'Data'!d", {"Data"}, "Data", values);
  EXPECT_EQ(FormatAreas(areas), "Data!$C$2:$D$4,Data!$B$2:$B$4,Data!$E$2:$E$4");
  EXPECT_EQ(ClosestNames("age", {"id", "Score", "Age (years)", "ages"}),
            (std::vector<std::string>{"ages", "Age (years)", "id", "Score"}));
}

TEST(MissingValues, MarkersAndCounts) {
  for (const char* text : {"NA", " n/a ", "NaN", ".", "-", "#N/A", "#DIV/0!", "  "})
    EXPECT_TRUE(IsMissingValue(Variant(text))) << text;
  for (const char* text : {"x", "NAN2", "--", "0"}) EXPECT_FALSE(IsMissingValue(Variant(text))) << text;
  EXPECT_TRUE(IsMissingValue(Variant()));
  EXPECT_TRUE(IsMissingValue(Variant::ErrorValue(2042)));
  EXPECT_FALSE(IsMissingValue(Variant::Boolean(true)));

  const CellBlock x{1, 1, 4, 1, {Variant("x"), Variant(1.0), Variant("NA"), Variant("oops")}};
  const CellBlock y{1, 3, 4, 1, {Variant("y"), Variant(2.0), Variant(3.0), Variant()}};
  const MissingSummary s = SummariseMissing({x, y}, true);
  EXPECT_EQ(s.cases, 3);
  EXPECT_EQ(s.incompleteCases, 2);
  EXPECT_EQ(s.missingCells, 2);
  EXPECT_EQ(s.nonNumericCells, 1);
  ASSERT_TRUE(s.firstNonNumeric);
  EXPECT_EQ(s.firstNonNumeric->row, 3);
  EXPECT_FALSE(s.firstNonNumericKept);
  const CellBlock kept = CompleteCases({x, y}, true);
  EXPECT_EQ(kept.rows, 2);
  EXPECT_EQ(kept.columns, 2);
  EXPECT_EQ(kept.At(1, 1), Variant(2.0));
}

}  // namespace
}  // namespace nml::prep
