#include "host/files/xlsx_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "files_test_support.h"
#include "host/application.h"
#include "host/cell_format.h"
#include "host/files/open_workbook.h"

namespace nml::files {
namespace {

class XlsxFixture : public ::testing::Test {
 protected:
  host::WorkbookRef Open(const std::string& name) { return OpenWorkbook(*app_, testing::FixturePath(name)); }
  const host::CellFormat& FormatAt(const host::WorksheetRef& s, int r, int c) {
    return app_->Formats().Get(s->Store().FormatId(r, c));
  }
  static std::string FormulaAt(const host::WorksheetRef& s, int r, int c) {
    const std::string* f = s->Store().Formula(r, c);
    return f ? *f : std::string("<none>");
  }

  std::shared_ptr<host::Application> app_ = host::Application::Create();
};

TEST_F(XlsxFixture, SheetsInFileOrderUnderTheirOwnNames) {
  const auto book = Open("handmade.xlsx");
  EXPECT_EQ(book->Name(), "handmade.xlsx");
  ASSERT_EQ(book->SheetList().size(), 2u);
  EXPECT_EQ(book->SheetList()[0]->Name(), "Data & Notes");
  EXPECT_EQ(book->SheetList()[1]->Name(), "Zweites Blatt");
  EXPECT_EQ(app_->ActiveWorkbook(), book);
  EXPECT_EQ(app_->ActiveSheet(), book->SheetList()[0]);
}

TEST_F(XlsxFixture, SharedInlineAndRichStrings) {
  const auto s = Open("handmade.xlsx")->SheetList()[0];
  const host::CellStore& st = s->Store();
  EXPECT_EQ(st.Get(1, 1), Variant("alpha"));
  EXPECT_EQ(st.Get(1, 2), Variant("beta "));  // runs joined, phonetic guide left out
  EXPECT_EQ(st.Get(1, 3), Variant("inline text"));
  EXPECT_EQ(st.Get(5, 2), Variant("rich inline"));
  EXPECT_EQ(st.Get(2, 6), Variant("line1\r\nline2 <&> caf\xC3\xA9 \xE2\x98\xBA"));
  EXPECT_EQ(st.Get(3, 6), Variant("<raw> & text"));
  EXPECT_EQ(st.Get(8, 2), Variant("plain str"));
  EXPECT_EQ(s->Parent()->SheetList()[1]->Store().Get(2, 3), Variant("alpha"));
}

TEST_F(XlsxFixture, NumbersBooleansErrorsAndDates) {
  const auto s = Open("handmade.xlsx")->SheetList()[0];
  const host::CellStore& st = s->Store();
  EXPECT_EQ(st.Get(1, 4), Variant::Boolean(true));
  EXPECT_EQ(st.Get(1, 6), Variant::Boolean(false));
  EXPECT_EQ(st.Get(1, 5), Variant::ErrorValue(2007));  // #DIV/0!
  EXPECT_EQ(st.Get(2, 1), Variant(1.5));
  EXPECT_EQ(st.Get(5, 1), Variant(-0.001));
  EXPECT_EQ(st.Get(5, 5), Variant(1e300));
  EXPECT_EQ(st.Get(5, 6), Variant(7.0));  // positioned after E5 although it names no cell
  EXPECT_EQ(st.Get(4, 1), Variant(45351.0));  // 2024-02-29
  EXPECT_EQ(st.Get(4, 2), Variant(1.5));      // 1900-01-01 noon
  EXPECT_EQ(st.UsedRect(), (host::CellRect{1, 1, 8, 6}));
  EXPECT_EQ(s->Parent()->SheetList()[1]->Store().Get(2, 2), Variant(42.0));
}

TEST_F(XlsxFixture, FormulasKeepTheirTextAndCachedResult) {
  const auto s = Open("handmade.xlsx")->SheetList()[0];
  const host::CellStore& st = s->Store();
  EXPECT_EQ(FormulaAt(s, 2, 2), "A2*2");
  EXPECT_EQ(st.Get(2, 2), Variant(3.0));
  EXPECT_EQ(FormulaAt(s, 2, 3), "UPPER(A1)");
  EXPECT_EQ(st.Get(2, 3), Variant("ALPHA"));
  EXPECT_EQ(FormulaAt(s, 2, 5), "NA()");
  EXPECT_EQ(st.Get(2, 5), Variant::ErrorValue(2042));
  // A shared formula is spelled out for every cell that shares it.
  EXPECT_EQ(FormulaAt(s, 2, 4), "A2+$A$2*B$2");
  EXPECT_EQ(FormulaAt(s, 3, 4), "A3+$A$2*B$2");
  EXPECT_EQ(FormulaAt(s, 4, 4), "A4+$A$2*B$2");
  EXPECT_EQ(st.Get(3, 4), Variant(4.75));
  EXPECT_EQ(FormulaAt(s, 1, 1), "<none>");
}

TEST_F(XlsxFixture, NumberFormatsStylesAndColumnWidths) {
  const auto s = Open("handmade.xlsx")->SheetList()[0];
  EXPECT_EQ(FormatAt(s, 2, 1).numberFormat, "0.000");
  EXPECT_EQ(FormatAt(s, 3, 1).numberFormat, "0.00%");
  host::CellFormat heading;
  heading.bold = true;
  heading.border = true;
  heading.fillColorIndex = 36;  // FFFF99
  heading.horizontalAlignment = host::kAlignCenter;
  EXPECT_EQ(FormatAt(s, 1, 2), heading);
  host::CellFormat grey;
  grey.fillColorIndex = 15;  // indexed colour 22 is palette colour 15
  grey.horizontalAlignment = host::kAlignLeft;
  EXPECT_EQ(FormatAt(s, 4, 5), grey);
  EXPECT_TRUE(s->Store().Get(4, 5).IsEmpty());
  EXPECT_EQ(s->Store().FormatId(1, 1), 0u);
  // Widths as shown: the file's widths include 5 pixels of margins, digits are 7 pixels.
  EXPECT_EQ(s->ColumnWidth(1), 19.71);  // 20.5 in the file: 143 pixels
  EXPECT_EQ(s->ColumnWidth(2), 0.0);
  EXPECT_EQ(s->ColumnWidth(3), 11.29);  // 12 in the file: 84 pixels
  EXPECT_EQ(s->ColumnWidth(4), 11.29);
}

TEST_F(XlsxFixture, WhatOpenpyxlWrites) {
  const auto book = Open("openpyxl.xlsx");
  ASSERT_EQ(book->SheetList().size(), 2u);
  const auto s = book->SheetList()[0];
  EXPECT_EQ(s->Name(), "Messwerte");
  const host::CellStore& st = s->Store();
  EXPECT_EQ(st.Get(1, 2), Variant("Height"));
  EXPECT_EQ(st.Get(2, 1), Variant("Ann"));
  EXPECT_EQ(st.Get(2, 2), Variant(1.62));
  EXPECT_EQ(st.Get(3, 3), Variant(81.25));
  EXPECT_EQ(st.Get(2, 4), Variant::Boolean(true));
  EXPECT_EQ(st.Get(3, 4), Variant::Boolean(false));
  EXPECT_TRUE(st.Get(4, 3).IsEmpty());
  EXPECT_EQ(st.Get(4, 4), Variant::ErrorValue(2042));
  EXPECT_EQ(FormatAt(s, 2, 2).numberFormat, "0.00");
  EXPECT_EQ(FormatAt(s, 3, 3).numberFormat, "#,##0.0");
  host::CellFormat name;
  name.bold = true;
  name.border = true;
  name.fillColorIndex = 15;
  name.horizontalAlignment = host::kAlignRight;
  EXPECT_EQ(FormatAt(s, 1, 1), name);
  EXPECT_EQ(s->ColumnWidth(1), 14.29);  // openpyxl stores 15, which shows as 14.29
  const auto second = book->SheetList()[1];
  EXPECT_EQ(second->Name(), "Second sheet");
  EXPECT_EQ(second->Store().Get(5, 3), Variant("far away"));
  EXPECT_EQ(FormulaAt(second, 2, 1), "A1*2");
  EXPECT_TRUE(second->Store().Get(2, 1).IsEmpty());  // openpyxl stores no result
}

TEST_F(XlsxFixture, WhatLibreOfficeWrites) {
  const auto book = Open("libreoffice.xlsx");
  ASSERT_EQ(book->SheetList().size(), 2u);
  const auto s = book->SheetList()[0];
  EXPECT_EQ(s->Store().Get(3, 1), Variant("Bob"));
  EXPECT_EQ(s->Store().Get(3, 2), Variant(1.8));
  EXPECT_EQ(s->Store().Get(2, 4), Variant::Boolean(true));
  EXPECT_EQ(s->Store().Get(4, 4), Variant::ErrorValue(2042));
  EXPECT_EQ(FormatAt(s, 2, 2).numberFormat, "0.00");
  EXPECT_EQ(FormatAt(s, 3, 3).numberFormat, "#,##0.0");
  const auto second = book->SheetList()[1];
  EXPECT_EQ(FormulaAt(second, 2, 1), "A1*2");
  EXPECT_EQ(second->Store().Get(2, 1), Variant(20.0));  // LibreOffice stores the result
}

}  // namespace
}  // namespace nml::files
