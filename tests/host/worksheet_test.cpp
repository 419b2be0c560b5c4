#include "host/worksheet.h"

#include <gtest/gtest.h>

#include "host_fixture.h"

namespace nml::host {
namespace {

using testing::Catch;

class WorksheetTest : public testing::HostTest {};

TEST_F(WorksheetTest, NamesFollowTheSpreadsheetRules) {
  book->AppendSheet("Other");
  for (const char* bad : {"", "a:b", "a/b", "a\\b", "a?b", "a*b", "a[b", "a]b", "'quoted", "other",
                          "12345678901234567890123456789012"}) {
    EXPECT_EQ(Catch([&] { data->SetName(bad); }).number, 1004) << bad;
  }
  EXPECT_EQ(data->Name(), "Data");
  data->SetName("1234567890123456789012345678901");  // 31 characters
  data->SetName("DATA");  // its own name in another case
  EXPECT_EQ(data->Name(), "DATA");
}

TEST_F(WorksheetTest, RangeByAddressStaysOnThisSheet) {
  EXPECT_EQ(data->GetRange("A1:A3")->Address(), "$A$1:$A$3");
  EXPECT_EQ(data->GetRange("data!B2")->Worksheet(), data);
  auto other = book->AppendSheet("Other");
  const auto c = Catch([&] { data->GetRange("Other!A1"); });
  EXPECT_EQ(c.number, 1004);
  EXPECT_EQ(c.description, "Method 'Range' of object '_Worksheet' failed");
  EXPECT_EQ(Catch([&] { data->GetRange("A1:"); }).number, 1004);
  EXPECT_EQ(Catch([&] { data->GetRange(*data->Cells(1, 1), *other->Cells(1, 1)); }).number, 1004);
  EXPECT_EQ(data->GetRange(*data->Cells(4, 4), *data->GetRange("B2:C9"))->Address(), "$B$2:$D$9");
}

TEST_F(WorksheetTest, CellsCoverTheGrid) {
  auto all = data->Cells();
  EXPECT_EQ(all->RowCount(), kMaxRows);
  EXPECT_EQ(all->ColumnCount(), kMaxColumns);
  EXPECT_EQ(data->Cells(kMaxRows, kMaxColumns)->Address(), "$XFD$1048576");
  EXPECT_EQ(Catch([&] { data->Cells(1, 0); }).number, 1004);
}

TEST_F(WorksheetTest, ColumnWidths) {
  EXPECT_EQ(data->ColumnWidth(3), 0.0);
  data->SetColumnWidth(3, 12.5);
  EXPECT_EQ(data->ColumnWidth(3), 12.5);
  EXPECT_EQ(Catch([&] { data->SetColumnWidth(3, -1); }).number, 1004);
  EXPECT_EQ(Catch([&] { data->ColumnWidth(kMaxColumns + 1); }).number, 1004);
}

TEST_F(WorksheetTest, ParentOfASheetWhoseWorkbookIsGone) {
  auto book2 = app->Workbooks()->Add("Gone");
  auto sheet = book2->SheetList().front();
  app->Workbooks()->Close(book2);
  book2.reset();
  EXPECT_EQ(Catch([&] { sheet->Parent(); }).number, 91);
}

}  // namespace
}  // namespace nml::host
