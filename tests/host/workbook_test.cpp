#include "host/workbook.h"

#include <gtest/gtest.h>

#include "host_fixture.h"

namespace nml::host {
namespace {

using testing::Catch;

class WorkbookTest : public testing::HostTest {};

std::vector<std::string> Names(const WorkbookRef& book) {
  std::vector<std::string> names;
  for (const auto& s : book->SheetList()) names.push_back(s->Name());
  return names;
}

TEST_F(WorkbookTest, AddGivesAUniqueNameBeforeTheActiveSheetAndActivatesIt) {
  book->AppendSheet("Sheet3");
  auto added = app->Worksheets()->Add();
  EXPECT_EQ(added->Name(), "Sheet4");  // Sheet3 is taken
  EXPECT_EQ(Names(book), (std::vector<std::string>{"Sheet4", "Data", "Sheet3"}));
  EXPECT_EQ(app->ActiveSheet(), added);
  EXPECT_EQ(book->Worksheets()->Count(), 3);
  EXPECT_EQ(added->Store().UsedRect(), std::nullopt);
}

TEST_F(WorkbookTest, AddThenMoveAfterTheLastSheetPlacesItLast) {
  book->AppendSheet("Notes");
  auto sheets = app->Worksheets();
  auto added = sheets->Add();
  added->Move(added->Parent()->Worksheets()->Item(added->Parent()->Worksheets()->Count()));
  EXPECT_EQ(Names(book), (std::vector<std::string>{"Data", "Notes", "Sheet3"}));
  EXPECT_EQ(sheets->Item(3), added);
}

TEST_F(WorkbookTest, MoveReordersWithinTheWorkbookOnly) {
  auto b = book->AppendSheet("B");
  auto c = book->AppendSheet("C");
  c->Move(data);
  EXPECT_EQ(Names(book), (std::vector<std::string>{"Data", "C", "B"}));
  data->Move(b);
  EXPECT_EQ(Names(book), (std::vector<std::string>{"C", "B", "Data"}));
  c->Move(c);
  EXPECT_EQ(Names(book), (std::vector<std::string>{"C", "B", "Data"}));
  auto other = app->Workbooks()->Add("Other");
  EXPECT_EQ(Catch([&] { c->Move(other->SheetList().front()); }).number, 1004);
  EXPECT_EQ(Catch([&] { c->Move(nullptr); }).number, 91);
}

TEST_F(WorkbookTest, SheetsByIndexAndNameWithErrorNine) {
  EXPECT_EQ(book->Worksheets()->Item("data"), data);
  EXPECT_EQ(book->Worksheets()->Item(1), data);
  EXPECT_EQ(Catch([&] { book->Worksheets()->Item(2); }).number, 9);
  EXPECT_EQ(Catch([&] { book->Worksheets()->Item(0); }).number, 9);
  EXPECT_EQ(Catch([&] { book->Worksheets()->Item("Missing"); }).number, 9);
  EXPECT_EQ(Catch([&] { book->AppendSheet("DATA"); }).number, 1004);
  EXPECT_EQ(book->Worksheets()->Count(), 1);
}

TEST_F(WorkbookTest, ActivationFollowsWorkbooksAndSheets) {
  auto other = app->Workbooks()->Add("Other");
  EXPECT_EQ(app->ActiveWorkbook(), other);
  auto second = book->AppendSheet("Second");
  second->Activate();
  EXPECT_EQ(app->ActiveWorkbook(), book);
  EXPECT_EQ(app->ActiveSheet(), second);
  other->Activate();
  EXPECT_EQ(app->ActiveSheet(), other->SheetList().front());
  EXPECT_EQ(book->Parent(), app);
}

}  // namespace
}  // namespace nml::host
