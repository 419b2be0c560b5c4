// The report writer: finding and preparing the scratch sheet, the header,
// comments and blank lines, the returned range, and where errors are stamped.
#include <gtest/gtest.h>

#include "support/sheet_defaults.h"
#include "report/cls_correlation_output.h"
#include "report_fixture.h"

namespace nml::report {
namespace {

using namespace testing;

TEST(WriterSheetSearch, PrefersNml2007FallsBackToNumerolithAndNeedsOne) {
  struct Case {
    const char* what;
    bool nml2007, nml2007Results, numerolith;
    const char* expected;  // the workbook whose Results sheet is used, nullptr for none
  };
  for (const Case c : {Case{"both open", true, true, true, "nml2007.xlam"},
                       Case{"nml2007 without a Results sheet", true, false, true, "Numerolith.xla"},
                       Case{"nml2007 not open", false, false, true, "Numerolith.xla"},
                       Case{"no Results sheet anywhere", true, false, false, nullptr}}) {
    auto app = host::Application::CreateBare();
    support::TheHostLink().Attach(app);
    if (c.nml2007) app->Workbooks()->AddAddin("nml2007.xlam")->AppendSheet(c.nml2007Results ? "Results" : "Scratch");
    if (c.numerolith) app->Workbooks()->AddAddin("Numerolith.xla")->AppendSheet("Results");
    if (c.expected) {
      EXPECT_EQ(clsCorrelationOutput().ResultsSheet(), app->Workbooks()->Item(c.expected)->Worksheets()->Item("Results"))
          << c.what;
    } else {
      const Error e = ErrorOf([] { clsCorrelationOutput out; });
      EXPECT_EQ(e.Number(), rt::kObjectNotSet);
      EXPECT_EQ(e.Source().rfind("Line ", 0), 0u) << e.Source();
      EXPECT_TRUE(e.Source().ends_with(" in NMLCorrelation.clsCorrelationOutput.Initialise")) << e.Source();
    }
    support::TheHostLink().Detach();
  }
}

using Writer = testing::ReportTest;

TEST_F(Writer, CreationWipesTheSheetAndColoursItsBackground) {
  auto sheet = ResultsSheet();
  sheet->Cells(3, 2)->SetValue(Variant(1.5));
  sheet->Cells(40, 9)->SetValue(Variant("left over"));
  sheet->Cells(3, 2)->SetBold(true);
  clsCorrelationOutput out;
  EXPECT_TRUE(sheet->Store().Get(3, 2).IsEmpty());
  EXPECT_TRUE(sheet->Store().Get(40, 9).IsEmpty());
  EXPECT_FALSE(FormatAt(*app, *sheet, 3, 2).bold);
  const std::int32_t background = support::SheetDefaults().BackgroundColorIndex();
  EXPECT_EQ(FormatAt(*app, *sheet, 3, 2).fillColorIndex, background);
  EXPECT_EQ(FormatAt(*app, *sheet, 1000, 200).fillColorIndex, background);
  EXPECT_EQ(out.CurrentRow(), 1);
}

TEST_F(Writer, HeadersOfOtherMethodsAndCommentsAreBoldTitleLines) {
  struct Case {
    std::int32_t method;
    const char* comment;
    Grid grid;
  };
  // The layout tests pin each method's header text; here methods outside the
  // list, a comment line, and the title style.
  const Grid pearson = {{"Pearson Correlation Results for:"}, {"Variable Range = Data!$A$1:$B$9"}};
  const std::vector<Case> cases = {
      {4, "", pearson},
      {-1, "", pearson},
      {2, "note", {{"Partial Correlation Results for:"}, {"Variable Range = Data!$D$1:$D$9"},
                   {"Controlling For = Data!$A$1:$B$9"}, {"note"}}},
  };
  for (const auto& c : cases) {
    clsCorrelationOutput out;
    out.Method(c.method);
    out.OutputHeader("Data!$A$1:$B$9", Variant("Data!$D$1:$D$9"), Variant(c.comment));
    const auto lines = static_cast<std::int32_t>(c.grid.size());
    EXPECT_EQ(out.CurrentRow(), lines + 1) << c.method;
    ExpectGrid(*ResultsSheet(), c.grid, 1);
    for (std::int32_t r = 1; r <= lines; ++r) EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), r, 1).bold) << c.method;
    EXPECT_FALSE(FormatAt(*app, *ResultsSheet(), lines + 1, 1).bold) << c.method;
  }
}

// (Negative counts are refused: see the refused inputs of the table blocks.)
TEST_F(Writer, CommentsAndBlankLinesMoveTheCursor) {
  clsCorrelationOutput out;
  out.OutputComment("first");
  out.OutputComment("second", 2, kVTrue);
  EXPECT_EQ(out.CurrentRow(), 5);
  out.InsertBlankLines(0);
  out.InsertBlankLines(3);
  EXPECT_EQ(out.CurrentRow(), 8);
  out.OutputComment("third", 0, kVFalse);
  EXPECT_EQ(out.CurrentRow(), 9);
  ExpectGrid(*ResultsSheet(), {{"first"}, {"second"}, {}, {}, {}, {}, {}, {"third"}}, 1);
  EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 2, 1).bold);
  EXPECT_EQ(out.WidestColumn(), 1) << "comments and blank lines claim no width";
}

TEST_F(Writer, ResultsAfterAHeaderAloneSpanSixColumns) {
  clsCorrelationOutput header;
  header.Method(1);
  header.OutputHeader("S!$A$1:$A$4", Variant("S!$B$1:$B$4"), Variant(""));
  header.InsertBlankLines(1);
  EXPECT_EQ(header.Results()->Address(), "$A$1:$F$5");
  EXPECT_EQ(header.Results()->Worksheet(), ResultsSheet());
  EXPECT_EQ(header.WidestColumn(), 6);
  EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 5, 1).bold) << "the cursor row gets the title style";
  EXPECT_EQ(header.Results()->Address(), "$A$1:$F$5") << "asking again gives the same range";
  // (A table narrower than the header text: see the multiple correlation layout.)
}

TEST_F(Writer, ResultsPastTheLastRowAreAnErrorStampedGetResults) {
  clsCorrelationOutput out;
  for (int i = 0; i < 33; ++i) out.InsertBlankLines(32767);
  ASSERT_GT(out.CurrentRow(), 1048576);
  const Error e = ErrorOf([&] { out.Results(); });
  EXPECT_EQ(e.Number(), rt::kApplicationDefined);
  EXPECT_EQ(e.Source().rfind("Line ", 0), 0u) << e.Source();
  EXPECT_TRUE(e.Source().ends_with(" in NMLCorrelation.clsCorrelationOutput.GetResults")) << e.Source();
}

}  // namespace
}  // namespace nml::report
