// The report writer: finding and preparing the scratch sheet, the header,
// comments, blank lines, the returned range and the error sources.
#include "report/cls_correlation_output.h"

#include <gtest/gtest.h>

#include "host/addin_globals.h"
#include "host/sheet_defaults.h"
#include "report_fixture.h"

namespace nml::report {
namespace {

using testing::ExpectGrid;
using testing::FormatAt;
using testing::Grid;
using testing::ReportTest;

std::string Tail(const std::string& s, std::size_t n) { return s.size() < n ? s : s.substr(s.size() - n); }

bool HasSheet(const host::WorkbookRef& book, const std::string& name) {
  for (const auto& sheet : book->SheetList())
    if (sheet->Name() == name) return true;
  return false;
}

host::WorksheetRef EnsureSheet(const host::WorkbookRef& book, const std::string& name) {
  if (!HasSheet(book, name)) book->AppendSheet(name);
  return book->Worksheets()->Item(name);
}

using Writer = ReportTest;

// --- finding the scratch sheet -------------------------------------------

TEST_F(Writer, UsesTheNml2007SheetEvenWhenTheOldWorkbookIsOpen) {
  EnsureSheet(app->Workbooks()->AddAddin("Numerolith.xla"), "Results");
  clsCorrelationOutput out;
  EXPECT_EQ(out.ResultsSheet(), ResultsSheet());
  EXPECT_EQ(out.ResultsSheet()->Parent()->Name(), "nml2007.xlam");
}

TEST(WriterSheetSearch, FallsBackToNumerolithWhenNml2007HasNoResultsSheet) {
  auto app = host::Application::CreateBare();
  support::TheHostLink().Attach(app);
  auto current = app->Workbooks()->AddAddin("nml2007.xlam");
  EnsureSheet(current, "Scratch");
  ASSERT_FALSE(HasSheet(current, "Results"));
  auto results = EnsureSheet(app->Workbooks()->AddAddin("Numerolith.xla"), "Results");
  {
    clsCorrelationOutput out;
    EXPECT_EQ(out.ResultsSheet(), results);
    out.Method(0);
    out.OutputHeader("Data!$A$1:$B$5", Variant::Missing(), Variant(""));
    EXPECT_EQ(results->Store().Get(1, 1).Text(), "Pearson Correlation Results for:");
  }
  support::TheHostLink().Detach();
}

TEST(WriterSheetSearch, FallsBackToNumerolithWhenNml2007IsNotOpen) {
  auto app = host::Application::CreateBare();
  support::TheHostLink().Attach(app);
  auto results = EnsureSheet(app->Workbooks()->AddAddin("Numerolith.xla"), "Results");
  clsCorrelationOutput out;
  EXPECT_EQ(out.ResultsSheet(), results);
  support::TheHostLink().Detach();
}

TEST(WriterSheetSearch, NoResultsSheetAnywhereIsObjectNotSetStampedInitialise) {
  auto app = host::Application::CreateBare();
  support::TheHostLink().Attach(app);
  auto book = app->Workbooks()->AddAddin("nml2007.xlam");
  EnsureSheet(book, "Other");
  ASSERT_FALSE(HasSheet(book, "Results"));
  try {
    clsCorrelationOutput out;
    ADD_FAILURE() << "writer created without a Results sheet";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), rt::kObjectNotSet);
    EXPECT_EQ(e.Description(), "Object variable or With block variable not set");
    EXPECT_EQ(e.Source().rfind("Line ", 0), 0u) << e.Source();
    EXPECT_EQ(Tail(e.Source(), 50), " in NMLCorrelation.clsCorrelationOutput.Initialise") << e.Source();
  }
  support::TheHostLink().Detach();
}

// --- preparing the sheet ----------------------------------------------------

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
  EXPECT_EQ(out.WidestColumn(), 1);
}

// --- header -------------------------------------------------------------------

TEST_F(Writer, PearsonHeaderForMethodZeroFourAndMinusOne) {
  for (std::int32_t method : {0, 4, -1}) {
    clsCorrelationOutput out;
    out.Method(method);
    out.OutputHeader("Data!$A$1:$C$21", Variant::Missing(), Variant(""));
    EXPECT_EQ(out.CurrentRow(), 3) << method;
    ExpectGrid(*ResultsSheet(), {{"Pearson Correlation Results for:"}, {"Variable Range = Data!$A$1:$C$21"}}, 1);
    EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 1, 1).bold);
    EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 2, 1).bold);
    EXPECT_FALSE(FormatAt(*app, *ResultsSheet(), 3, 1).bold) << "title range is A1:A2 only";
  }
}

TEST_F(Writer, ThreeLineHeadersNameTheRangesInTheirOrder) {
  struct Case {
    std::int32_t method;
    Grid grid;
  };
  const std::vector<Case> cases = {
      {1, {{"Multiple Correlation Results for:"}, {"Y Variable Range = Data!$D$1:$D$9"},
           {"X Variable Range = Data!$A$1:$B$9"}}},
      {2, {{"Partial Correlation Results for:"}, {"Variable Range = Data!$D$1:$D$9"},
           {"Controlling For = Data!$A$1:$B$9"}}},
      {3, {{"Canonical Correlation Results for:"}, {"Set 1 Range = Data!$A$1:$B$9"},
           {"Set 2 Range = Data!$D$1:$D$9"}}},
  };
  for (const auto& c : cases) {
    clsCorrelationOutput out;
    out.Method(c.method);
    out.OutputHeader("Data!$A$1:$B$9", Variant("Data!$D$1:$D$9"), Variant(""));
    EXPECT_EQ(out.CurrentRow(), 4) << c.method;
    ExpectGrid(*ResultsSheet(), c.grid, 1);
    EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 3, 1).bold) << c.method;
  }
}

TEST_F(Writer, HeaderCommentGoesBelowTheTitleLines) {
  clsCorrelationOutput out;
  out.Method(2);
  out.OutputHeader("S!$A$1:$A$4", Variant("S!$B$1:$B$4"), Variant("note"));
  EXPECT_EQ(out.CurrentRow(), 5);
  ExpectGrid(*ResultsSheet(),
             {{"Partial Correlation Results for:"}, {"Variable Range = S!$B$1:$B$4"}, {"Controlling For = S!$A$1:$A$4"},
              {"note"}},
             1);
  EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 4, 1).bold);
}

TEST_F(Writer, ThreeLineHeaderWithoutAYRangeIsATypeMismatch) {
  clsCorrelationOutput out;
  out.Method(1);
  try {
    out.OutputHeader("S!$A$1:$A$4", Variant::Missing(), Variant(""));
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), rt::kTypeMismatch);
    EXPECT_EQ(Tail(e.Source(), 52), " in NMLCorrelation.clsCorrelationOutput.OutputHeader") << e.Source();
  }
}

// --- comments and blank lines -------------------------------------------------

TEST_F(Writer, CommentAndBlankLinesMoveTheCursor) {
  clsCorrelationOutput out;
  out.OutputComment("first");
  EXPECT_EQ(out.CurrentRow(), 2);
  out.OutputComment("second", 2, kVTrue);
  EXPECT_EQ(out.CurrentRow(), 5);
  out.InsertBlankLines(0);
  EXPECT_EQ(out.CurrentRow(), 5);
  out.InsertBlankLines(3);
  EXPECT_EQ(out.CurrentRow(), 8);
  out.OutputComment("third", 0, kVFalse);
  EXPECT_EQ(out.CurrentRow(), 9);
  ExpectGrid(*ResultsSheet(), {{"first"}, {"second"}, {}, {}, {}, {}, {}, {"third"}}, 1);
  EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 1, 1).bold);
  EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 2, 1).bold);
  EXPECT_EQ(out.WidestColumn(), 1) << "comments and blank lines claim no width";
}

TEST_F(Writer, NegativeCountsAreRefusedAndLeaveTheCursor) {
  clsCorrelationOutput out;
  out.InsertBlankLines(4);
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      if (attempt == 0)
        out.InsertBlankLines(-2);
      else
        out.OutputComment("up", -3);
      ADD_FAILURE();
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), rt::kInvalidCall);
      EXPECT_NE(e.Source().find("clsCorrelationOutput." + std::string(attempt == 0 ? "InsertBlankLines"
                                                                                  : "OutputComment")),
                std::string::npos)
          << e.Source();
    }
    EXPECT_EQ(out.CurrentRow(), 5);
  }
  EXPECT_TRUE(ResultsSheet()->Store().Get(5, 1).IsEmpty());
}

// --- the report range -----------------------------------------------------------

TEST_F(Writer, ResultsAfterAHeaderAloneIsSixColumnsWide) {
  clsCorrelationOutput out;
  out.Method(1);
  out.OutputHeader("S!$A$1:$A$4", Variant("S!$B$1:$B$4"), Variant(""));
  out.InsertBlankLines(1);
  auto range = out.Results();
  EXPECT_EQ(range->Address(), "$A$1:$F$5");
  EXPECT_EQ(range->Worksheet(), ResultsSheet());
  EXPECT_EQ(out.WidestColumn(), 6);
  EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 5, 1).bold) << "the cursor row gets the title style";
  // The width fix-up has happened: asking again gives the same range.
  EXPECT_EQ(out.Results()->Address(), "$A$1:$F$5");
}

TEST_F(Writer, ResultsIsAsWideAsTheWidestTableNotTheHeaderText) {
  clsCorrelationOutput out;
  out.Method(1);
  out.OutputHeader("AVeryLongSheetNameIndeed!$A$1:$A$400", Variant("AVeryLongSheetNameIndeed!$B$1:$B$400"),
                   Variant(""));
  out.InsertBlankLines(1);
  Matrix column = Matrix::Matrix(2, 1);
  column(1, 1) = 0.5;
  column(2, 1) = 0.25;
  out.OutputMatrix(testing::Names({"R"}), testing::Names({"y1", "y2"}), Variant(column), "Correlation Matrix");
  out.InsertBlankLines(1);
  EXPECT_EQ(out.Results()->Address(), "$A$1:$B$10");
  EXPECT_EQ(out.Results()->Address(), "$A$1:$B$10");
}

TEST_F(Writer, ResultsPastTheGridIsStampedGetResults) {
  clsCorrelationOutput out;
  for (int i = 0; i < 33; ++i) out.InsertBlankLines(32767);
  ASSERT_GT(out.CurrentRow(), 1048576);
  try {
    out.Results();
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), rt::kApplicationDefined);
    EXPECT_EQ(e.Source().rfind("Line ", 0), 0u) << e.Source();
    EXPECT_EQ(Tail(e.Source(), 50), " in NMLCorrelation.clsCorrelationOutput.GetResults") << e.Source();
  }
}

TEST_F(Writer, WritingPastTheGridIsStampedWithTheBlockName) {
  clsCorrelationOutput out;
  for (int i = 0; i < 32; ++i) out.InsertBlankLines(32767);
  out.InsertBlankLines(static_cast<std::int16_t>(1048576 - out.CurrentRow()));
  ASSERT_EQ(out.CurrentRow(), 1048576);
  try {
    out.OutputDescriptives(testing::Names({"a"}), Array<double>::Vector(1), Array<double>::Vector(1),
                           Array<double>::Vector(1), Array<double>::Vector(1));
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), rt::kApplicationDefined);
    EXPECT_EQ(e.Source().rfind("Line ", 0), 0u) << e.Source();
    EXPECT_EQ(Tail(e.Source(), 58), " in NMLCorrelation.clsCorrelationOutput.OutputDescriptives") << e.Source();
  }
  EXPECT_EQ(ResultsSheet()->Store().Get(1048576, 1).Text(), "Descriptive Statistics")
      << "rows already written stay";
}

}  // namespace
}  // namespace nml::report
