// The application, its workbooks and their worksheets.
#include "host/workbook.h"

#include <gtest/gtest.h>

#include "host_fixture.h"
#include "support/error_catch.h"

namespace nml::host {
namespace {

using test::ErrorOf;

class WorkbookTest : public testing::HostTest {
 protected:
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& s : book->SheetList()) names.push_back(s->Name());
    return names;
  }
  // The number and description of the error f raises.
  static std::string Failure(const std::function<void()>& f) {
    const Error e = ErrorOf(f);
    return std::to_string(e.Number()) + " " + e.Description();
  }
};

TEST(Application, TheAddinIsOutOfCountButReachableByName) {
  auto app = Application::Create();
  EXPECT_EQ(app->Workbooks()->Count(), 0);
  auto addin = app->Workbooks()->Item("NML2007.XLAM");  // by name, ignoring case
  EXPECT_EQ(addin->Worksheets()->Item("Results")->Parent(), addin);
  EXPECT_NML_ERROR(app->ActiveWorkbook(), 91);
  EXPECT_NML_ERROR(app->Workbooks()->Item(1), 9);
  EXPECT_NML_ERROR(app->GetRange("A1"), 1004);
  auto book = app->Workbooks()->Add();
  auto second = app->Workbooks()->Add();
  EXPECT_EQ(second->Name(), "Book2");
  EXPECT_EQ(app->Workbooks()->Count(), 2);
  EXPECT_EQ(app->Workbooks()->Item(1), book);
  EXPECT_NML_ERROR(app->Workbooks()->Add("book1"), 1004);
  app->Workbooks()->Close(second);
  EXPECT_EQ(app->Workbooks()->Count(), 1);
  EXPECT_EQ(app->ActiveWorkbook(), book);

  // Without the usual add-in, the older one can stand in, equally out of count.
  auto bare = Application::CreateBare();
  EXPECT_NML_ERROR(bare->Workbooks()->Item("nml2007.xlam"), 9);
  auto fallback = bare->Workbooks()->AddAddin("Numerolith.xla");
  EXPECT_EQ(bare->Workbooks()->Count(), 0);
  EXPECT_EQ(bare->Workbooks()->Item("numerolith.xla"), fallback);
  EXPECT_NML_ERROR(fallback->Activate(), 1004);
  EXPECT_NML_ERROR(bare->Workbooks()->AddAddin("Numerolith.xla"), 1004);
}

TEST_F(WorkbookTest, RangeTextResolvesOnTheActiveOrNamedSheet) {
  auto other = book->AppendSheet("My data");
  EXPECT_EQ(app->GetRange("b2:c3")->Worksheet(), data);
  EXPECT_EQ(app->GetRange("'my DATA'!A1:B9")->Worksheet(), other);
  EXPECT_EQ(app->GetRange("Data!A1, C1")->AreaCount(), 2);  // the unqualified area is on the active sheet, Data
  EXPECT_EQ(app->GetRange(*data->Cells(9, 3), *data->Cells(2, 1))->Address(), "$A$2:$C$9");
  EXPECT_NML_ERROR(app->GetRange(*data->Cells(1, 1), *other->Cells(2, 2)), 1004);
  for (const char* bad : {"Nowhere!A1", "Data!A1,'My data'!B2", "A1:XFE1", "hello", "", "Results!A1"})
    EXPECT_EQ(Failure([&] { app->GetRange(bad); }), "1004 Method 'Range' of object '_Global' failed") << bad;
  // A sheet's own Range stays on that sheet.
  EXPECT_EQ(data->GetRange("data!B2")->Worksheet(), data);
  EXPECT_EQ(Failure([&] { data->GetRange("'My data'!A1"); }), "1004 Method 'Range' of object '_Worksheet' failed");
  EXPECT_NML_ERROR(data->GetRange(*data->Cells(1, 1), *other->Cells(1, 1)), 1004);
  EXPECT_EQ(data->GetRange(*data->Cells(4, 4), *data->GetRange("B2:C9"))->Address(), "$B$2:$D$9");
}

TEST_F(WorkbookTest, AddNamesANewSheetBeforeTheActiveOneAndMoveReordersSheets) {
  book->AppendSheet("Sheet3");
  auto added = app->Worksheets()->Add();
  EXPECT_EQ(added->Name(), "Sheet4");  // Sheet3 is taken
  EXPECT_EQ(Names(), (std::vector<std::string>{"Sheet4", "Data", "Sheet3"}));
  EXPECT_EQ(app->ActiveSheet(), added);
  EXPECT_EQ(added->Store().UsedRect(), std::nullopt);
  added->Move(book->Worksheets()->Item(book->Worksheets()->Count()));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Data", "Sheet3", "Sheet4"}));
  EXPECT_EQ(app->Worksheets()->Item(3), added);
  // Move reorders within the workbook only.
  auto c = book->AppendSheet("C");
  c->Move(data);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Data", "C", "Sheet3", "Sheet4"}));
  data->Move(added);
  EXPECT_EQ(Names(), (std::vector<std::string>{"C", "Sheet3", "Sheet4", "Data"}));
  c->Move(c);
  EXPECT_EQ(Names(), (std::vector<std::string>{"C", "Sheet3", "Sheet4", "Data"}));
  auto other = app->Workbooks()->Add("Other");
  EXPECT_NML_ERROR(c->Move(other->SheetList().front()), 1004);
  EXPECT_NML_ERROR(c->Move(nullptr), 91);
}

TEST_F(WorkbookTest, SheetsByIndexAndNameAndActivation) {
  EXPECT_EQ(book->Worksheets()->Item("data"), data);
  EXPECT_NML_ERROR(book->Worksheets()->Item(2), 9);
  EXPECT_NML_ERROR(book->Worksheets()->Item(0), 9);
  EXPECT_NML_ERROR(book->Worksheets()->Item("Missing"), 9);
  auto other = app->Workbooks()->Add("Other");
  book->AppendSheet("Second")->Activate();
  EXPECT_EQ(app->ActiveWorkbook(), book);
  EXPECT_EQ(app->ActiveSheet()->Name(), "Second");
}

TEST_F(WorkbookTest, SheetNamesFollowTheSpreadsheetRules) {
  book->AppendSheet("Other");
  for (const char* bad : {"", "a:b", "a/b", "a\\b", "a?b", "a*b", "a[b", "a]b", "'quoted", "other",
                          "12345678901234567890123456789012",
                          // 16 characters past U+FFFF: 32 UTF-16 units, one too many
                          "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"
                          "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600",
                          "bad\xFFutf8"}) {
    EXPECT_NML_ERROR(data->SetName(bad), 1004) << bad;
  }
  EXPECT_NML_ERROR(book->AppendSheet("OTHER"), 1004);
  EXPECT_EQ(data->Name(), "Data");
  data->SetName("1234567890123456789012345678901");  // 31 characters
  data->SetName("DATA");                             // its own name in another case
  EXPECT_EQ(data->Name(), "DATA");
}

// A width on the last column of many sheets costs per width set, not a
// width for every column (a dense 128 KB per sheet came to 256 MB here).
TEST_F(WorkbookTest, ColumnWidthsCostWhatIsSet) {
  const std::int64_t before = testing::ResidentBytes();
  for (int i = 0; i < 2000; ++i) {
    // Built in two steps: GCC 12 at -O3 warns (-Wrestrict) about "W" + std::to_string(i).
    std::string name = "W";
    name += std::to_string(i);
    book->AppendSheet(name)->SetColumnWidth(kMaxColumns, 20);
  }
  EXPECT_LT(testing::ResidentBytes() - before, std::int64_t{64} << 20);
  const WorksheetRef last = book->SheetList().back();
  EXPECT_EQ(last->ColumnWidth(kMaxColumns), 20);
  EXPECT_EQ(last->ColumnWidth(kMaxColumns - 1), 0);
  EXPECT_EQ(last->LastColumnWithWidth(), kMaxColumns);
  last->SetColumnWidth(kMaxColumns, 0);
  EXPECT_EQ(last->LastColumnWithWidth(), 0);
}

TEST_F(WorkbookTest, NoOwnershipCyclesAndNoDanglingParents) {
  auto gone = app->Workbooks()->Add("Gone");
  auto sheet = gone->SheetList().front();
  app->Workbooks()->Close(gone);
  gone.reset();
  EXPECT_NML_ERROR(sheet->Parent(), 91);
  // A chart holds ranges of its sheet; that must not keep the application alive.
  std::weak_ptr<Worksheet> watch = data;
  data->Charts().push_back(ChartObject{});
  data->Charts().back().anchor = data->Cells(1, 1);
  data.reset();
  book.reset();
  app.reset();
  EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace nml::host
