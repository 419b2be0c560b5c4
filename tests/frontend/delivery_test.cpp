// Building, caching and pasting the report.
#include <gtest/gtest.h>

#include "host/addin_workbook.h"
#include "fixture.h"
#include "frontend/correlation_state.h"

namespace nml::testing {
namespace {

class Delivery : public HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    Fill(1, 12, 1, 4, Noise);
    corr.XRange("Data!A1:C12");
  }
  // Blocks the output place with a value so that PrepareOutput refuses it.
  void BlockOutput() {
    auto sheet = book->Worksheets()->Item("Out");
    sheet->Cells(3, 2)->SetValue(Variant("occupied"));
  }
  void AddOutSheet() { book->Worksheets()->Add()->SetName("Out"); }
  clsCorrelation corr;
};

TEST_F(Delivery, NewLastWorksheetIsReusedByLaterCalls) {
  const auto sheetsBefore = book->Worksheets()->Count();
  corr.Results();
  ASSERT_EQ(book->Worksheets()->Count(), sheetsBefore + 1);
  auto out = book->Worksheets()->Item(book->Worksheets()->Count());
  EXPECT_EQ(detail::StateOf(corr).OutputCells->Worksheet(), out);
  EXPECT_EQ(out->Cells(1, 1)->Value(), Variant("Pearson Correlation Results for:"));
  EXPECT_EQ(out->Cells(2, 1)->Value(), Variant("Variable Range = Data!$A$1:$C$12"));
  EXPECT_EQ(out->Cells(4, 1)->Value(), Variant("Correlation Matrix (R)"));
  // The output sheet is active and its first cell selected.
  EXPECT_EQ(app->ActiveSheet(), out);
  EXPECT_EQ(app->Selection()->Address(), "$A$1");
  EXPECT_TRUE(app->ScreenUpdating());
  EXPECT_FALSE(detail::StateOf(corr).CachedReport);

  corr.Results(true);  // the same place again, overwriting
  EXPECT_EQ(book->Worksheets()->Count(), sheetsBefore + 1);
}

TEST_F(Delivery, RefusedOutputKeepsTheReportForTheNextCall) {
  AddOutSheet();
  BlockOutput();
  corr.OutputRange("Out!A1");
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(false); }), ComponentError(6004));
  ASSERT_TRUE(detail::StateOf(corr).CachedReport);
  const auto cached = detail::StateOf(corr).CachedReport;

  // Equal flag values and a new output place keep the cached report.
  corr.Headers(false);
  corr.Method(nmlCorrSimple);
  corr.OutputRange("Out!A1");
  EXPECT_EQ(detail::StateOf(corr).CachedReport, cached);

  // Data changed on the sheet meanwhile is not read again: the cached report is pasted.
  auto scratch = app->Workbooks()->Item(host::kAddinWorkbookName)->Worksheets()->Item(host::kScratchSheetName);
  const Variant r12 = scratch->Cells(6, 3)->Value();
  Fill(1, 12, 1, 4, [](std::int32_t r, std::int32_t c) { return r * r * c + (c == 2 ? 7.0 * (r % 3) : 0.0); });
  corr.Results(true);
  auto out = book->Worksheets()->Item("Out");
  EXPECT_EQ(out->Cells(6, 3)->Value(), r12);
  EXPECT_FALSE(detail::StateOf(corr).CachedReport);

  // The next successful call reads the sheet again.
  corr.Results(true);
  EXPECT_NE(out->Cells(6, 3)->Value(), r12);
}

TEST_F(Delivery, SetterChangesDropTheCachedReport) {
  AddOutSheet();
  BlockOutput();
  corr.OutputRange("Out!A1");
  auto refuse = [&] { EXPECT_EQ(ErrorNumberOf([&] { corr.Results(false); }), ComponentError(6004)); };
  refuse();
  corr.Descriptives(true);
  EXPECT_FALSE(detail::StateOf(corr).CachedReport);
  refuse();
  corr.XRange("Data!A1:D12");
  EXPECT_FALSE(detail::StateOf(corr).CachedReport);
  refuse();
  corr.XRange("Data!A1:D12");  // same text: kept
  EXPECT_TRUE(detail::StateOf(corr).CachedReport);
  corr.Plots(true);
  EXPECT_FALSE(detail::StateOf(corr).CachedReport);
}

TEST_F(Delivery, MultiAreaNamesAndData) {
  corr.XRange("Data!A1:B12,Data!D1:D12");
  corr.Results();
  auto out = book->Worksheets()->Item(book->Worksheets()->Count());
  EXPECT_EQ(out->Cells(2, 1)->Value(), Variant("Variable Range = Data!$A$1:$B$12,$D$1:$D$12"));
  // Row labels of the correlation matrix.
  EXPECT_EQ(out->Cells(6, 1)->Value(), Variant("Column A"));
  EXPECT_EQ(out->Cells(7, 1)->Value(), Variant("Column B"));
  EXPECT_EQ(out->Cells(8, 1)->Value(), Variant("Column D"));
  EXPECT_EQ(out->Cells(5, 4)->Value(), Variant("Column D"));
  ASSERT_EQ(detail::StateOf(corr).XNames.UBound(), 3);
}

TEST_F(Delivery, NameRowGivesTheNames) {
  Put(1, 1, Variant("height"));
  Put(1, 2, Variant(2024.0));
  Put(1, 3, Variant());
  corr.Headers(true);
  corr.Results();
  auto out = book->Worksheets()->Item(book->Worksheets()->Count());
  EXPECT_EQ(out->Cells(6, 1)->Value(), Variant("height"));
  EXPECT_EQ(out->Cells(7, 1)->Value(), Variant("2024"));
  EXPECT_TRUE(out->Cells(8, 1)->Value().IsEmpty() || out->Cells(8, 1)->Value() == Variant(""));
  EXPECT_EQ(detail::StateOf(corr).XNames(2), "2024");
  EXPECT_EQ(detail::StateOf(corr).XNames(3), "");
}

TEST_F(Delivery, PastedCopyKeepsValuesAndFormats) {
  corr.Descriptives(true);
  corr.Results();
  auto out = book->Worksheets()->Item(book->Worksheets()->Count());
  auto scratch = app->Workbooks()->Item(host::kAddinWorkbookName)->Worksheets()->Item(host::kScratchSheetName);
  for (std::int32_t r = 1; r <= 24; ++r)
    for (std::int32_t c = 1; c <= 5; ++c) {
      EXPECT_EQ(out->Cells(r, c)->Value(), scratch->Cells(r, c)->Value()) << r << "," << c;
      EXPECT_EQ(app->Formats().Get(out->EffectiveFormatId(r, c)),
                app->Formats().Get(scratch->EffectiveFormatId(r, c)))
          << r << "," << c;
    }
}

TEST_F(Delivery, ScratchSheetMissingFromBothAddins) {
  auto bare = host::Application::CreateBare();
  support::TheHostLink().Attach(bare);
  auto b = bare->Workbooks()->Add("Other");
  auto s = b->Worksheets()->Item(1);
  for (std::int32_t r = 1; r <= 5; ++r)
    for (std::int32_t c = 1; c <= 2; ++c) s->Cells(r, c)->SetValue(Variant(Noise(r, c)));
  clsCorrelation other;
  other.XRange("A1:B5");
  std::string source;
  EXPECT_EQ(ErrorNumberOf([&] { other.Results(); }, &source), rt::kObjectNotSet);
  EXPECT_NE(source.find(" in NMLCorrelation.clsCorrelationOutput.Initialise.FormatSimpleResults.GetResults.Results"),
            std::string::npos)
      << source;
}

}  // namespace
}  // namespace nml::testing
