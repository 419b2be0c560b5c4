#include "host/range.h"

#include <gtest/gtest.h>

#include "host/addin_workbook.h"
#include "host/format_table.h"
#include "host_fixture.h"
#include "support/error_catch.h"

namespace nml::host {
namespace {


class RangeTest : public testing::HostTest {};

TEST_F(RangeTest, CellsCountsAreasAndAddresses) {
  auto r = data->GetRange("B3:C4");
  EXPECT_EQ(r->Cells(1, 1)->Address(), "$B$3");
  EXPECT_EQ(r->Cells(5, 4)->Address(), "$E$7");  // Cells may leave the range
  EXPECT_NML_ERROR(r->Cells(0, 1), 1004);
  EXPECT_NML_ERROR(r->Cells(1, kMaxColumns), 1004);
  EXPECT_NML_ERROR(data->Cells(kMaxRows + 1, 1), 1004);

  auto multi = data->GetRange("A1:B20,D1:D25");  // counts are those of the first area
  EXPECT_EQ(multi->RowCount(), 20);
  EXPECT_EQ(multi->ColumnCount(), 2);
  EXPECT_EQ(multi->AreaCount(), 2);
  EXPECT_EQ(multi->Areas(2)->Address(), "$D$1:$D$25");
  EXPECT_NML_ERROR(multi->Areas(3), 9);
  EXPECT_NML_ERROR(multi->Areas(0), 9);

  EXPECT_EQ(multi->Address(), "$A$1:$B$20,$D$1:$D$25");
}

TEST_F(RangeTest, ValueShapesAndAssignment) {
  data->Cells(2, 2)->SetValue(Variant(7.0));
  EXPECT_EQ(data->GetRange("B2")->Value(), Variant(7.0));  // one cell: its scalar
  auto block = data->GetRange("B2:C3")->Value();
  ASSERT_EQ(block.Kind(), VarKind::kVariantArray);
  EXPECT_EQ(block.Variants().Rows(), 2);
  EXPECT_EQ(block.Variants().Cols(), 2);
  EXPECT_EQ(block.Variants()(1, 1), Variant(7.0));
  EXPECT_TRUE(block.Variants()(2, 2).IsEmpty());
  auto first = data->GetRange("B2:B3,D1:F9")->Value();  // a multi-area range reads its first area
  EXPECT_EQ(first.Variants().Rows(), 2);
  EXPECT_EQ(first.Variants().Cols(), 1);
  EXPECT_NML_ERROR(data->Cells()->Value(), 7);  // 2^34 cells: out of memory, not a wrapped count

  auto r = data->GetRange("B2:D3");
  auto m = Array<double>::Matrix(2, 3);
  m(2, 3) = 1.5;
  r->SetValue(Variant(m));
  EXPECT_EQ(data->Store().Get(3, 4), Variant(1.5));
  auto row = Array<Variant>::Vector(3);
  row(1) = Variant("x");
  data->GetRange("A9:C9")->SetValue(Variant(row));
  EXPECT_EQ(data->Store().Get(9, 1), Variant("x"));
  EXPECT_NML_ERROR(r->SetValue(Variant(Array<double>::Matrix(3, 2))), 13);
  EXPECT_NML_ERROR(r->SetValue(Variant(row)), 13);
  EXPECT_NML_ERROR(r->SetValue(Variant(ObjectRef(r))), 13);
  EXPECT_EQ(data->Store().Get(3, 4), Variant(1.5));  // unchanged by the failures
  data->Store().SetFormula(3, 4, "B1*2");
  r->Cells(2, 3)->SetValue(Variant(3.0));  // a value written over a formula replaces it
  EXPECT_EQ(data->Store().Formula(3, 4), nullptr);

  auto areas = data->GetRange("A1:B2,D4");  // a scalar fills every area; empty clears contents only
  areas->SetValue(Variant("same"));
  EXPECT_EQ(data->Store().Get(4, 4), Variant("same"));
  areas->SetBold(true);
  areas->SetValue(Variant());
  EXPECT_TRUE(data->Store().Get(1, 1).IsEmpty());
  EXPECT_TRUE(data->FormatAt(1, 1).bold);
}

TEST_F(RangeTest, FormattingPropertiesAndTheirChecks) {
  auto r = data->GetRange("B2:C3");
  r->SetInteriorColorIndex(6);
  r->SetNumberFormat("0.00");
  r->SetHorizontalAlignment(kAlignRight);
  r->SetBorder(true);
  const CellFormat expected{
      .border = true, .fillColorIndex = 6, .horizontalAlignment = kAlignRight, .numberFormat = "0.00"};
  EXPECT_EQ(data->FormatAt(3, 3), expected);
  EXPECT_EQ(data->FormatAt(4, 3), CellFormat{});
  EXPECT_NML_ERROR(r->SetInteriorColorIndex(57), 1004);
  EXPECT_NML_ERROR(r->SetHorizontalAlignment(12345), 1004);
  EXPECT_NML_ERROR(r->SetNumberFormat(""), 1004);
  r->Clear();
  EXPECT_EQ(data->FormatAt(3, 3), CellFormat{});
  // Colour indices name the default palette's colours.
  for (const auto& [index, rgb] : std::vector<std::pair<std::int32_t, std::uint32_t>>{
           {1, 0x000000}, {3, 0xFF0000}, {15, 0xC0C0C0}, {36, 0xFFFF99}, {56, 0x333333}, {kColorIndexNone, 0xFFFFFF}}) {
    EXPECT_EQ(PaletteColor(index), rgb) << index;
  }
}

TEST_F(RangeTest, WholeSheetInteriorAndClear) {
  data->GetRange("A1")->SetBold(true);
  data->Cells()->SetInteriorColorIndex(2);
  EXPECT_EQ(*data->Store().UsedRect(), (CellRect{1, 1, 1, 1}));  // no cell-by-cell formats
  EXPECT_EQ(data->FormatAt(kMaxRows, kMaxColumns).fillColorIndex, 2);
  EXPECT_EQ(data->FormatAt(1, 1).fillColorIndex, 2);
  EXPECT_TRUE(data->FormatAt(1, 1).bold);
  data->GetRange("C3")->SetBold(true);  // styled after the sheet's fill: keeps it
  EXPECT_EQ(data->FormatAt(3, 3).fillColorIndex, 2);
  data->Cells(500000, 300)->SetValue(Variant(1.0));  // written afterwards: keeps the sheet's fill
  EXPECT_EQ(data->FormatAt(500000, 300).fillColorIndex, 2);
  data->Cells(2, 2)->SetInteriorColorIndex(kColorIndexNone);  // no fill, against the sheet's fill
  EXPECT_EQ(data->FormatAt(2, 2).fillColorIndex, kColorIndexNone);
  EXPECT_EQ(data->Store().FormatId(2, 2), FormatTable::kPlainId);

  data->Cells()->Clear();
  EXPECT_FALSE(data->Store().UsedRect().has_value());
  EXPECT_EQ(data->DefaultFormatId(), 0u);
  EXPECT_EQ(data->FormatAt(1, 1), CellFormat{});
}

TEST_F(RangeTest, CopyAndPasteEachTypeAcrossWorkbooks) {
  data->Cells(1, 1)->SetValue(Variant("label"));
  data->Cells(1, 1)->SetBold(true);
  data->Cells(2, 1)->SetValue(Variant(21.0));
  data->Cells(2, 2)->SetValue(Variant(22.0));
  data->Cells(2, 2)->SetInteriorColorIndex(15);
  data->Store().SetFormula(2, 2, "A2+1");
  data->GetRange("A1:B2")->Copy();
  auto target = app->Workbooks()->Add("Book2")->SheetList().front();
  target->Cells(5, 3)->PasteSpecial(kPasteAll);
  EXPECT_EQ(target->Store().Get(5, 3), Variant("label"));
  EXPECT_EQ(target->Store().Get(6, 4), Variant(22.0));
  ASSERT_NE(target->Store().Formula(6, 4), nullptr);
  EXPECT_EQ(*target->Store().Formula(6, 4), "C6+1");
  EXPECT_TRUE(target->FormatAt(5, 3).bold);
  EXPECT_EQ(app->Selection()->Address(), "$C$5:$D$6");

  target->Cells(10, 1)->SetValue(Variant("keep"));
  target->Cells(10, 1)->SetBold(true);
  data->Cells(2, 2)->Copy();
  target->Cells(10, 1)->PasteSpecial(kPasteValues);  // the value, not the fill
  EXPECT_EQ(target->Store().Get(10, 1), Variant(22.0));
  EXPECT_EQ(target->FormatAt(10, 1).fillColorIndex, kColorIndexNone);
  EXPECT_TRUE(target->FormatAt(10, 1).bold);
  target->Cells(11, 1)->SetValue(Variant("stays"));
  target->Cells(11, 1)->PasteSpecial(kPasteFormats);  // the fill, not the value
  EXPECT_EQ(target->Store().Get(11, 1), Variant("stays"));
  EXPECT_EQ(target->FormatAt(11, 1).fillColorIndex, 15);

  // A whole-sheet fill on the source (the scratch sheet's case) travels with the cells.
  auto scratch = app->Workbooks()->Item(host::kAddinWorkbookName)->Worksheets()->Item(host::kScratchSheetName);
  scratch->Cells()->SetInteriorColorIndex(2);
  scratch->GetRange("A1:B2")->Copy();
  data->Cells(3, 3)->PasteSpecial(kPasteAll);
  EXPECT_EQ(data->FormatAt(4, 4).fillColorIndex, 2);
  EXPECT_EQ(data->FormatAt(5, 5).fillColorIndex, kColorIndexNone);
}

TEST_F(RangeTest, PasteAndSelectFailures) {
  EXPECT_NML_ERROR(data->Cells(1, 1)->PasteSpecial(kPasteAll), 1004);  // nothing copied
  data->GetRange("A1:A3")->Copy();
  EXPECT_NML_ERROR(data->Cells(kMaxRows - 1, 1)->PasteSpecial(kPasteAll), 1004);
  EXPECT_NML_ERROR(data->Cells(1, 2)->PasteSpecial(12), 1004);
  EXPECT_NML_ERROR(data->GetRange("A1,B2")->Copy(), 1004);
  app->Workbooks()->Add("Book2");
  data->GetRange("C3")->Select();
  EXPECT_EQ(app->ActiveSheet(), data);
  EXPECT_EQ(app->Selection()->Address(), "$C$3");
  auto scratch = app->Workbooks()->Item(host::kAddinWorkbookName)->Worksheets()->Item(host::kScratchSheetName);
  EXPECT_NML_ERROR(scratch->Cells(1, 1)->Select(), 1004);
}

}  // namespace
}  // namespace nml::host
