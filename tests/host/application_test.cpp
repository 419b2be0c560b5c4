#include "host/application.h"

#include <gtest/gtest.h>

#include "host_fixture.h"

namespace nml::host {
namespace {

using testing::Catch;

class ApplicationTest : public testing::HostTest {};

TEST(Application, StartsWithTheAddinOpenButNoUserWorkbook) {
  auto app = Application::Create();
  EXPECT_EQ(app->Workbooks()->Count(), 0);
  auto addin = app->Workbooks()->Item("NML2007.XLAM");  // by name, ignoring case
  EXPECT_TRUE(addin->IsAddin());
  EXPECT_EQ(addin->Worksheets()->Item("Results")->Parent(), addin);
  EXPECT_EQ(Catch([&] { app->ActiveWorkbook(); }).number, 91);
  EXPECT_EQ(Catch([&] { app->Workbooks()->Item(1); }).number, 9);
  EXPECT_EQ(Catch([&] { app->GetRange("A1"); }).number, 1004);
  EXPECT_TRUE(app->ScreenUpdating());
}

TEST(Application, BareStartHasNoAddin) {
  auto app = Application::CreateBare();
  EXPECT_EQ(Catch([&] { app->Workbooks()->Item("nml2007.xlam"); }).number, 9);
  auto fallback = app->Workbooks()->AddAddin("Numerolith.xla");
  fallback->AppendSheet("Results");
  EXPECT_EQ(app->Workbooks()->Count(), 0);
  EXPECT_EQ(app->Workbooks()->Item("numerolith.xla"), fallback);
  EXPECT_EQ(Catch([&] { fallback->Activate(); }).number, 1004);
  EXPECT_EQ(Catch([&] { app->Workbooks()->AddAddin("Numerolith.xla"); }).number, 1004);
}

TEST_F(ApplicationTest, AddinStaysOutOfCountAndEnumeration) {
  auto second = app->Workbooks()->Add();
  EXPECT_EQ(second->Name(), "Book2");
  EXPECT_EQ(app->Workbooks()->Count(), 2);
  EXPECT_EQ(app->Workbooks()->Item(1), book);
  EXPECT_EQ(app->Workbooks()->Item(2), second);
  EXPECT_EQ(app->ActiveWorkbook(), second);
  EXPECT_EQ(Catch([&] { app->Workbooks()->Add("book1"); }).number, 1004);
  app->Workbooks()->Close(second);
  EXPECT_EQ(app->Workbooks()->Count(), 1);
  EXPECT_EQ(app->ActiveWorkbook(), book);
}

TEST_F(ApplicationTest, RangeTextResolvesOnTheActiveOrNamedSheet) {
  auto other = book->AppendSheet("My data");
  auto r = app->GetRange("b2:c3");
  EXPECT_EQ(r->Worksheet(), data);
  EXPECT_EQ(r->Address(), "$B$2:$C$3");
  r = app->GetRange("'my DATA'!A1:B9");
  EXPECT_EQ(r->Worksheet(), other);
  r = app->GetRange("Data!A1:B20,Data!D1:D20");
  EXPECT_EQ(r->AreaCount(), 2);
  EXPECT_EQ(r->Worksheet(), data);
  r = app->GetRange("Data!A1, C1");  // the unqualified area is on the active sheet, Data
  EXPECT_EQ(r->AreaCount(), 2);
}

TEST_F(ApplicationTest, RangeTextFailuresRaise1004) {
  book->AppendSheet("Other");
  for (const char* bad : {"Nowhere!A1", "Data!A1,Other!B2", "A1:XFE1", "hello", "", "Results!A1"}) {
    const auto c = Catch([&] { app->GetRange(bad); });
    EXPECT_EQ(c.number, 1004) << bad;
    EXPECT_EQ(c.description, "Method 'Range' of object '_Global' failed") << bad;
  }
}

TEST_F(ApplicationTest, RectangleBetweenTwoCells) {
  auto r = app->GetRange(*data->Cells(9, 3), *data->Cells(2, 1));
  EXPECT_EQ(r->Address(), "$A$2:$C$9");
  auto other = book->AppendSheet("Other");
  EXPECT_EQ(Catch([&] { app->GetRange(*data->Cells(1, 1), *other->Cells(2, 2)); }).number, 1004);
}

TEST_F(ApplicationTest, ChartsDoNotKeepTheApplicationAlive) {
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
