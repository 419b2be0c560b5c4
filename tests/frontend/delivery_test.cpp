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
  // Sends the report to a new sheet Out whose cell B3 holds a value, so that
  // Results without OverWrite refuses the place.
  void BlockedOutput() {
    book->Worksheets()->Add()->SetName("Out");
    book->Worksheets()->Item("Out")->Cells(3, 2)->SetValue(Variant("occupied"));
    corr.OutputRange("Out!A1");
  }
  clsCorrelation corr;
};

TEST_F(Delivery, NewLastWorksheetIsReusedByLaterCalls) {
  const auto sheetsBefore = book->Worksheets()->Count();
  corr.Results();
  ASSERT_EQ(book->Worksheets()->Count(), sheetsBefore + 1);
  auto out = book->Worksheets()->Item(book->Worksheets()->Count());
  EXPECT_EQ(detail::StateOf(corr).OutputCells->Worksheet(), out);
  EXPECT_EQ(out->Cells(1, 1)->Value(), Variant("Pearson Correlation Results for:"));
  // The output sheet is active and its first cell selected.
  EXPECT_EQ(app->ActiveSheet(), out);
  EXPECT_EQ(app->Selection()->Address(), "$A$1");
  EXPECT_TRUE(app->ScreenUpdating());
  EXPECT_FALSE(detail::StateOf(corr).CachedReport);

  corr.Results(true);  // the same place again, overwriting
  EXPECT_EQ(book->Worksheets()->Count(), sheetsBefore + 1);
}

TEST_F(Delivery, RefusedOutputKeepsTheReportForTheNextCall) {
  BlockedOutput();
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
  BlockedOutput();
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

TEST_F(Delivery, RowLabelsAreColumnNamesAcrossAreasOrTheNameRow) {
  // Without a name row each variable is named after its column; a name row
  // gives text, a number as its text, and an empty name.
  corr.XRange("Data!A1:B12,Data!D1:D12");
  const char* labels[2][3] = {{"Column A", "Column B", "Column D"}, {"height", "2024", ""}};
  for (int headers = 0; headers <= 1; ++headers) {
    if (headers == 1) {
      Put(1, 1, Variant("height"));
      Put(1, 2, Variant(2024.0));
      Put(1, 4, Variant());
      corr.Headers(true);
    }
    corr.Results(true);
    auto out = detail::StateOf(corr).OutputCells->Worksheet();
    EXPECT_EQ(out->Cells(2, 1)->Value(), Variant("Variable Range = Data!$A$1:$B$12,$D$1:$D$12"));
    ASSERT_EQ(detail::StateOf(corr).XNames.UBound(), 3);
    for (std::int32_t i = 1; i <= 3; ++i) {
      const std::string label = labels[headers][i - 1];
      for (const Variant& got : {out->Cells(5 + i, 1)->Value(), out->Cells(5, 1 + i)->Value()})
        EXPECT_TRUE(got == Variant(label) || (label.empty() && got.IsEmpty())) << headers << ": " << got.ToText();
      EXPECT_EQ(detail::StateOf(corr).XNames(i), label);
    }
  }
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

}  // namespace
}  // namespace nml::testing
