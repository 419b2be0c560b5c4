#include "host/range.h"

#include <gtest/gtest.h>

#include "host/format_table.h"
#include "host_fixture.h"

namespace nml::host {
namespace {

using testing::Catch;

class RangeTest : public testing::HostTest {};

Array<Variant> Block(std::int32_t rows, std::int32_t cols, double base) {
  auto a = Array<Variant>::Matrix(rows, cols);
  for (std::int32_t j = 1; j <= cols; ++j)
    for (std::int32_t i = 1; i <= rows; ++i) a(i, j) = Variant(base + i * 10 + j);
  return a;
}

TEST_F(RangeTest, CellsCountFromTheTopLeftAndMayLeaveTheRange) {
  auto r = data->GetRange("B3:C4");
  EXPECT_EQ(r->Cells(1, 1)->Address(), "$B$3");
  EXPECT_EQ(r->Cells(5, 4)->Address(), "$E$7");
  EXPECT_EQ(Catch([&] { r->Cells(0, 1); }).number, 1004);
  EXPECT_EQ(Catch([&] { r->Cells(1, kMaxColumns); }).number, 1004);
  EXPECT_EQ(Catch([&] { data->Cells(kMaxRows + 1, 1); }).number, 1004);
}

TEST_F(RangeTest, CountsAndAreasOfAMultiAreaRange) {
  auto r = data->GetRange("A1:B20,D1:D25");
  EXPECT_EQ(r->RowCount(), 20);
  EXPECT_EQ(r->ColumnCount(), 2);
  EXPECT_EQ(r->AreaCount(), 2);
  EXPECT_EQ(r->Areas(2)->Address(), "$D$1:$D$25");
  EXPECT_EQ(r->Areas(2)->RowCount(), 25);
  EXPECT_EQ(Catch([&] { r->Areas(3); }).number, 9);
  EXPECT_EQ(Catch([&] { r->Areas(0); }).number, 9);
}

TEST_F(RangeTest, AddressesAreAbsoluteA1Text) {
  EXPECT_EQ(data->GetRange("b2")->Address(), "$B$2");
  EXPECT_EQ(data->GetRange("C21:A1")->Address(), "$A$1:$C$21");
  EXPECT_EQ(data->GetRange("A1:C21,E1:E21")->Address(), "$A$1:$C$21,$E$1:$E$21");
  EXPECT_EQ(data->GetRange("AB7")->AddressLocal(), "$AB$7");
  EXPECT_EQ(data->GetRange("C:D")->Address(), "$C:$D");
  EXPECT_EQ(data->Cells()->Address(), "$1:$1048576");
}

TEST_F(RangeTest, ValueShapes) {
  data->Cells(2, 2)->SetValue(Variant(7.0));
  EXPECT_EQ(data->GetRange("B2")->Value(), Variant(7.0));  // one cell: its scalar
  auto block = data->GetRange("B2:C3")->Value();
  ASSERT_EQ(block.Kind(), VarKind::kVariantArray);
  EXPECT_EQ(block.Variants().Rows(), 2);
  EXPECT_EQ(block.Variants().Cols(), 2);
  EXPECT_EQ(block.Variants()(1, 1), Variant(7.0));
  EXPECT_TRUE(block.Variants()(2, 2).IsEmpty());
  // A multi-area range reads its first area.
  auto first = data->GetRange("B2:B3,D1:F9")->Value();
  EXPECT_EQ(first.Variants().Rows(), 2);
  EXPECT_EQ(first.Variants().Cols(), 1);
}

TEST_F(RangeTest, AssigningArraysOfTheRangeShape) {
  auto r = data->GetRange("B2:D3");
  r->SetValue(Variant(Block(2, 3, 0)));
  EXPECT_EQ(data->Store().Get(3, 4), Variant(23.0));
  auto m = Array<double>::Matrix(2, 3);
  m(2, 3) = 1.5;
  r->SetValue(Variant(m));
  EXPECT_EQ(data->Store().Get(3, 4), Variant(1.5));

  auto row = Array<Variant>::Vector(3);
  row(1) = Variant("x");
  data->GetRange("A9:C9")->SetValue(Variant(row));
  EXPECT_EQ(data->Store().Get(9, 1), Variant("x"));

  EXPECT_EQ(Catch([&] { r->SetValue(Variant(Block(3, 2, 0))); }).number, 13);
  EXPECT_EQ(Catch([&] { r->SetValue(Variant(row)); }).number, 13);
  EXPECT_EQ(Catch([&] { r->SetValue(Variant(ObjectRef(r))); }).number, 13);
  EXPECT_EQ(data->Store().Get(3, 4), Variant(1.5));  // unchanged by the failures
}

TEST_F(RangeTest, ScalarsFillAndEmptyClearsContentsOnly) {
  auto r = data->GetRange("A1:B2,D4");
  r->SetValue(Variant("same"));
  EXPECT_EQ(data->Store().Get(2, 2), Variant("same"));
  EXPECT_EQ(data->Store().Get(4, 4), Variant("same"));
  r->SetBold(true);
  r->SetValue(Variant());
  EXPECT_TRUE(data->Store().Get(1, 1).IsEmpty());
  EXPECT_TRUE(data->FormatAt(1, 1).bold);
  r->Clear();
  EXPECT_FALSE(data->FormatAt(1, 1).bold);
}

TEST_F(RangeTest, WritingAValueRemovesTheFormula) {
  data->Store().SetFormula(1, 1, "B1*2");
  data->Cells(1, 1)->SetValue(Variant(3.0));
  EXPECT_EQ(data->Store().Formula(1, 1), nullptr);
}

TEST_F(RangeTest, FormattingPropertiesAndTheirChecks) {
  auto r = data->GetRange("B2:C3");
  r->SetInteriorColorIndex(6);
  r->SetNumberFormat("0.00");
  r->SetHorizontalAlignment(kAlignRight);
  r->SetBorder(true);
  const CellFormat f = data->FormatAt(3, 3);
  EXPECT_EQ(f.fillColorIndex, 6);
  EXPECT_EQ(f.numberFormat, "0.00");
  EXPECT_EQ(f.horizontalAlignment, kAlignRight);
  EXPECT_TRUE(f.border);
  EXPECT_EQ(data->FormatAt(4, 3), CellFormat{});
  EXPECT_EQ(Catch([&] { r->SetInteriorColorIndex(57); }).number, 1004);
  EXPECT_EQ(Catch([&] { r->SetHorizontalAlignment(12345); }).number, 1004);
  EXPECT_EQ(Catch([&] { r->SetNumberFormat(""); }).number, 1004);
}

TEST_F(RangeTest, WholeSheetFormattingUsesTheSheetFormat) {
  data->GetRange("A1")->SetBold(true);
  data->Cells()->SetInteriorColorIndex(2);
  // Cheap: only the one formatted cell holds a format of its own.
  EXPECT_EQ(*data->Store().UsedRect(), (CellRect{1, 1, 1, 1}));
  EXPECT_EQ(data->FormatAt(kMaxRows, kMaxColumns).fillColorIndex, 2);
  EXPECT_EQ(data->FormatAt(1, 1).fillColorIndex, 2);
  EXPECT_TRUE(data->FormatAt(1, 1).bold);
  // A cell written afterwards keeps the sheet's fill.
  data->Cells(500000, 300)->SetValue(Variant(1.0));
  EXPECT_EQ(data->FormatAt(500000, 300).fillColorIndex, 2);
  // A cell set back to no fill keeps that against the sheet's fill.
  data->Cells(2, 2)->SetInteriorColorIndex(kColorIndexNone);
  EXPECT_EQ(data->FormatAt(2, 2).fillColorIndex, kColorIndexNone);
  EXPECT_EQ(data->Store().FormatId(2, 2), FormatTable::kPlainId);

  data->Cells()->Clear();
  EXPECT_FALSE(data->Store().UsedRect().has_value());
  EXPECT_EQ(data->DefaultFormatId(), 0u);
  EXPECT_EQ(data->FormatAt(1, 1), CellFormat{});
}

TEST_F(RangeTest, CopyAndPasteAllAcrossWorkbooks) {
  auto src = data->GetRange("A1:B2");
  src->SetValue(Variant(Block(2, 2, 0)));
  data->Cells(1, 1)->SetValue(Variant("label"));
  data->Cells(1, 1)->SetBold(true);
  data->Store().SetFormula(2, 2, "A2+1");
  src->Copy();
  auto other = app->Workbooks()->Add("Book2");
  auto target = other->SheetList().front();
  target->Cells(5, 3)->PasteSpecial(kPasteAll);
  EXPECT_EQ(target->Store().Get(5, 3), Variant("label"));
  EXPECT_EQ(target->Store().Get(6, 4), Variant(22.0));
  ASSERT_NE(target->Store().Formula(6, 4), nullptr);
  EXPECT_EQ(*target->Store().Formula(6, 4), "C6+1");
  EXPECT_TRUE(target->FormatAt(5, 3).bold);
  EXPECT_EQ(app->Selection()->Address(), "$C$5:$D$6");
}

TEST_F(RangeTest, PasteValuesAndPasteFormatsCarryOnlyTheirPart) {
  data->Cells(1, 1)->SetValue(Variant(1.0));
  data->Cells(1, 1)->SetInteriorColorIndex(15);
  data->Cells(1, 1)->Copy();
  auto sheet2 = book->Worksheets()->Add();
  sheet2->Cells(1, 1)->SetValue(Variant("keep"));
  sheet2->Cells(1, 1)->SetBold(true);
  sheet2->Cells(1, 1)->PasteSpecial(kPasteValues);
  EXPECT_EQ(sheet2->Store().Get(1, 1), Variant(1.0));
  EXPECT_TRUE(sheet2->FormatAt(1, 1).bold);
  EXPECT_EQ(sheet2->FormatAt(1, 1).fillColorIndex, kColorIndexNone);

  sheet2->Cells(2, 1)->SetValue(Variant("stays"));
  sheet2->Cells(2, 1)->PasteSpecial(kPasteFormats);
  EXPECT_EQ(sheet2->Store().Get(2, 1), Variant("stays"));
  EXPECT_EQ(sheet2->FormatAt(2, 1).fillColorIndex, 15);
  EXPECT_FALSE(sheet2->FormatAt(2, 1).bold);
}

TEST_F(RangeTest, PastedCellsShowTheSourceSheetFormat) {
  // The scratch-sheet case: a whole-sheet fill on the source travels with the cells.
  auto scratch = app->Workbooks()->Item("nml2007.xlam")->Worksheets()->Item("Results");
  scratch->Cells()->SetInteriorColorIndex(2);
  scratch->Cells(1, 1)->SetValue(Variant("Title"));
  scratch->GetRange("A1:B2")->Copy();
  data->Cells(3, 3)->PasteSpecial(kPasteAll);
  EXPECT_EQ(data->FormatAt(4, 4).fillColorIndex, 2);
  EXPECT_EQ(data->FormatAt(5, 5).fillColorIndex, kColorIndexNone);
  EXPECT_EQ(data->Store().Get(3, 3), Variant("Title"));
}

TEST_F(RangeTest, PasteFailures) {
  EXPECT_EQ(Catch([&] { data->Cells(1, 1)->PasteSpecial(kPasteAll); }).number, 1004);
  data->GetRange("A1:A3")->Copy();
  EXPECT_EQ(Catch([&] { data->Cells(kMaxRows - 1, 1)->PasteSpecial(kPasteAll); }).number, 1004);
  EXPECT_EQ(Catch([&] { data->Cells(1, 2)->PasteSpecial(12); }).number, 1004);
  EXPECT_EQ(Catch([&] { data->GetRange("A1,B2")->Copy(); }).number, 1004);
}

TEST_F(RangeTest, SelectMovesFocusButNotIntoTheAddin) {
  auto other = app->Workbooks()->Add("Book2");
  data->GetRange("C3")->Select();
  EXPECT_EQ(app->ActiveWorkbook(), book);
  EXPECT_EQ(app->ActiveSheet(), data);
  EXPECT_EQ(app->Selection()->Address(), "$C$3");
  auto scratch = app->Workbooks()->Item("nml2007.xlam")->Worksheets()->Item("Results");
  EXPECT_EQ(Catch([&] { scratch->Cells(1, 1)->Select(); }).number, 1004);
}

}  // namespace
}  // namespace nml::host
