#include "host/files/xlsx_writer.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <array>
#include <regex>
#include <string>

#include "files_test_support.h"
#include "host/application.h"
#include "host/cell_format.h"
#include "host/chart_maker.h"
#include "host/format_table.h"
#include "host/files/xlsx_reader.h"

namespace nml::files {
namespace {

using testing::ExpectFileError;

/// A user workbook with a data sheet (values, formulas, formats) and a
/// report sheet (styled cells and charts over the data), saved and read back.
class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    book_ = app_->Workbooks()->Add("Results.xlsx");
    data_ = book_->SheetList().front();
    data_->SetName("It's data");
    report_ = book_->AppendSheet("Report");
    host::CellStore& d = data_->Store();
    d.Set(1, 1, Variant("x"));
    d.Set(1, 2, Variant("y"));
    for (int r = 2; r <= 6; ++r) {
      d.SetDouble(r, 1, r - 1);
      d.SetDouble(r, 2, (r - 1) * (r - 1) + 0.5);
    }
    d.Set(7, 1, Variant::Boolean(true));
    d.Set(7, 2, Variant::ErrorValue(2042));
    d.SetDouble(8, 1, 10.0);
    d.SetFormula(8, 1, "SUM(A2:A6)");  // cached 15 would be right; the file keeps what it is given
    d.Set(8, 2, Variant("Y"));
    d.SetFormula(8, 2, "UPPER(B1)");
    d.Set(8, 3, Variant::ErrorValue(2007));
    d.SetFormula(8, 3, "1/0");
    d.SetFormula(8, 4, "NOW()");  // not calculated: no cached value
    data_->GetRange("B2:B6")->SetNumberFormat("0.000");
  }

  host::WorkbookRef SaveAndRead(const std::string& name = "out.xlsx") {
    SaveWorkbook(*book_, dir_.File(name));
    return ReadXlsx(*readApp_, dir_.File(name));
  }

  std::shared_ptr<host::Application> app_ = host::Application::Create();
  std::shared_ptr<host::Application> readApp_ = host::Application::Create();
  testing::ScratchDir dir_;
  host::WorkbookRef book_;
  host::WorksheetRef data_, report_;
};

TEST_F(WriterTest, ValuesFormulasAndSheetNamesSurviveARoundTrip) {
  const auto back = SaveAndRead();
  ASSERT_EQ(back->SheetList().size(), 2u);
  EXPECT_EQ(back->SheetList()[0]->Name(), "It's data");
  EXPECT_EQ(back->SheetList()[1]->Name(), "Report");
  const host::CellStore& original = data_->Store();
  const host::CellStore& read = back->SheetList()[0]->Store();
  EXPECT_EQ(read.UsedRect(), original.UsedRect());
  original.ForEachCell([&](std::int32_t r, std::int32_t c, const Variant& v, std::uint32_t) {
    EXPECT_EQ(read.Get(r, c), v) << "row " << r << " column " << c;
    const std::string* f = original.Formula(r, c);
    const std::string* g = read.Formula(r, c);
    EXPECT_EQ(f != nullptr, g != nullptr) << "row " << r << " column " << c;
    if (f && g) {
      EXPECT_EQ(*f, *g);
    }
  });
  EXPECT_TRUE(read.Get(8, 4).IsEmpty());
  ASSERT_NE(read.Formula(8, 4), nullptr);
  EXPECT_EQ(*read.Formula(8, 4), "NOW()");
}

TEST_F(WriterTest, ReportStylesSurviveARoundTrip) {
  auto strip = report_->GetRange("A1:C1");
  strip->SetValue(Variant("Heading"));
  strip->SetBold(true);
  strip->SetBorder(true);
  strip->SetInteriorColorIndex(15);
  strip->SetHorizontalAlignment(host::kAlignCenter);
  auto body = report_->GetRange("A2:C3");
  body->SetValue(Variant(0.123456));
  body->SetNumberFormat("0.0000");
  report_->GetRange("A4")->SetValue(Variant("left"));
  report_->GetRange("A4")->SetHorizontalAlignment(host::kAlignLeft);
  report_->GetRange("B4")->SetValue(Variant(12.0));
  report_->GetRange("B4")->SetNumberFormat("0");
  report_->GetRange("C4")->SetHorizontalAlignment(host::kAlignRight);  // formatted but empty

  const auto back = SaveAndRead()->SheetList()[1];
  report_->Store().ForEachCell([&](std::int32_t r, std::int32_t c, const Variant& v, std::uint32_t id) {
    EXPECT_EQ(back->Store().Get(r, c), v) << "row " << r << " column " << c;
    EXPECT_EQ(readApp_->Formats().Get(back->Store().FormatId(r, c)), app_->Formats().Get(id))
        << "row " << r << " column " << c;
  });
  host::CellFormat heading;
  heading.bold = true;
  heading.border = true;
  heading.fillColorIndex = 15;
  heading.horizontalAlignment = host::kAlignCenter;
  EXPECT_EQ(readApp_->Formats().Get(back->Store().FormatId(1, 2)), heading);
  EXPECT_EQ(readApp_->Formats().Get(back->Store().FormatId(3, 3)).numberFormat, "0.0000");
}

TEST_F(WriterTest, AWholeSheetFormatSurvivesARoundTrip) {
  report_->Cells()->SetInteriorColorIndex(19);  // the whole sheet: light yellow
  report_->Store().Set(1, 1, Variant("follows the sheet"));
  report_->Store().Set(1, 2, Variant("plain"));
  report_->GetRange("B1")->SetInteriorColorIndex(host::kColorIndexNone);
  report_->Store().Set(2, 1, Variant("bold"));
  report_->GetRange("A2")->SetBold(true);
  const auto back = SaveAndRead()->SheetList()[1];
  auto shown = [&](int r, int c) {
    return readApp_->Formats().Get(host::EffectiveFormatId(back->Store().FormatId(r, c), back->DefaultFormatId()));
  };
  host::CellFormat yellow;
  yellow.fillColorIndex = 19;
  EXPECT_EQ(readApp_->Formats().Get(back->DefaultFormatId()), yellow);
  EXPECT_EQ(shown(1, 1), yellow);
  EXPECT_EQ(shown(1, 2), host::CellFormat{});
  host::CellFormat boldYellow = yellow;
  boldYellow.bold = true;
  EXPECT_EQ(shown(2, 1), boldYellow);
  EXPECT_EQ(shown(500, 300), yellow);  // never written, yet formatted
}

TEST_F(WriterTest, ColumnWidthsFromTheSheetOrFromTheLongestEntry) {
  host::CellStore& r = report_->Store();
  r.Set(1, 1, Variant("A title far longer than the column, spilling over empty cells"));
  r.Set(2, 1, Variant("Sixteen chars ok"));  // 16 characters, followed by a value
  r.SetDouble(2, 2, 1.5);
  r.Set(3, 1, Variant(std::string(200, 'w')));
  r.SetDouble(3, 2, 2.5);
  r.SetDouble(4, 3, 1234567.125);
  report_->GetRange("C4")->SetNumberFormat("#,##0.0000");  // "1,234,567.1250": 14 characters
  r.Set(5, 4, Variant("short"));
  r.SetDouble(5, 5, 1.0);
  report_->SetColumnWidth(5, 30.25);
  r.Set(1, 6, Variant("Centred heading text"));  // 20 characters, centred: it cannot spill to the right
  report_->GetRange("F1")->SetHorizontalAlignment(host::kAlignCenter);

  // Widths go through whole pixels (digits 7 pixels wide), so they come back
  // to within a seventh of a character.
  const auto back = SaveAndRead()->SheetList()[1];
  EXPECT_EQ(back->ColumnWidth(1), 60.0);                  // bounded, though one entry has 200 characters
  EXPECT_NEAR(back->ColumnWidth(3), 15.5, 1.0 / 7);       // 14 characters and a margin
  EXPECT_EQ(back->ColumnWidth(4), 0.0);                   // short entries keep the default width
  EXPECT_NEAR(back->ColumnWidth(5), 30.25, 1.0 / 7);      // the sheet's own width wins
  EXPECT_NEAR(back->ColumnWidth(6), 21.5, 1.0 / 7);
  r.Set(3, 1, Variant("x"));
  const auto again = SaveAndRead("again.xlsx")->SheetList()[1];
  EXPECT_NEAR(again->ColumnWidth(1), 17.5, 1.0 / 7);  // the title spills over; the 16-character label counts
  // Read widths are written back as they are.
  const auto third = SaveAndRead("third.xlsx");
  SaveWorkbook(*third, dir_.File("fourth.xlsx"));
  const auto fourth = ReadXlsx(*readApp_, dir_.File("fourth.xlsx"))->SheetList()[1];
  for (int c = 1; c <= 6; ++c) EXPECT_EQ(fourth->ColumnWidth(c), third->SheetList()[1]->ColumnWidth(c)) << c;
}

TEST_F(WriterTest, ChartsAreNativeScatterChartsReferringToTheCells) {
  auto makeChart = [&](int left, int top, int width, int height, const std::string& title, int ycol) {
    support::ChartMaker maker;
    maker.Anchor = report_->Cells(1, 8);  // H1
    maker.Left = left;
    maker.Top = top;
    maker.Width = width;
    maker.Height = height;
    maker.Title = title;
    maker.FirstAxisTitle = "x";
    maker.SecondAxisTitle = "y";
    maker.FirstSeries = data_->GetRange("A2:A6");
    maker.SecondSeries = data_->GetRange(ycol == 2 ? "B2:B6" : "A2:A6");
    maker.Build();
  };
  makeChart(0, 0, 170, 150, "Scatter Plot", 2);
  makeChart(150, 150, 130, 130, "", 1);
  makeChart(-10, 0, 150, 150, "=not a reference", 2);
  const std::string path = dir_.File("charts.xlsx");
  SaveWorkbook(*book_, path);

  EXPECT_EQ(testing::CountZipEntries(path, "xl/charts/chart"), 3);
  const std::string chart1 = testing::ZipEntry(path, "xl/charts/chart1.xml");
  EXPECT_NE(chart1.find("<c:scatterChart>"), std::string::npos);
  EXPECT_NE(chart1.find("<c:f>'It''s data'!$A$2:$A$6</c:f>"), std::string::npos) << chart1;
  EXPECT_NE(chart1.find("<c:f>'It''s data'!$B$2:$B$6</c:f>"), std::string::npos) << chart1;
  EXPECT_LT(chart1.find("$A$2:$A$6"), chart1.find("$B$2:$B$6"));  // x values come first
  EXPECT_NE(chart1.find("Scatter Plot"), std::string::npos);
  EXPECT_NE(chart1.find("<c:marker>"), std::string::npos);
  EXPECT_EQ(chart1.find("<c:numCache>"), std::string::npos);  // the data stays in the cells
  EXPECT_EQ(chart1.find("<c:legend>"), std::string::npos);  // one series needs no legend
  const std::string chart3 = testing::ZipEntry(path, "xl/charts/chart3.xml");
  EXPECT_NE(chart3.find("=not a reference"), std::string::npos);

  // Placement: 1 point is 4/3 pixel; columns are 64 pixels and rows 20 pixels
  // wide by default, and every cell right of G is empty here.
  const std::string drawing = testing::ZipEntry(path, "xl/drawings/drawing1.xml");
  const std::regex from(
      "<xdr:from><xdr:col>(\\d+)</xdr:col><xdr:colOff>(\\d+)</xdr:colOff><xdr:row>(\\d+)</xdr:row><xdr:rowOff>(\\d+)"
      "</xdr:rowOff></xdr:from>");
  std::vector<std::array<long, 4>> anchors;
  for (auto it = std::sregex_iterator(drawing.begin(), drawing.end(), from); it != std::sregex_iterator(); ++it)
    anchors.push_back({std::stol((*it)[1]), std::stol((*it)[2]), std::stol((*it)[3]), std::stol((*it)[4])});
  ASSERT_EQ(anchors.size(), 3u);
  EXPECT_EQ(anchors[0], (std::array<long, 4>{7, 0, 0, 0}));               // H1
  EXPECT_EQ(anchors[1], (std::array<long, 4>{10, 8 * 9525, 10, 0}));      // 200 px right, 200 px down
  EXPECT_EQ(anchors[2], (std::array<long, 4>{6, (64 - 13) * 9525, 0, 0}));  // 13 px left of H1
  // The far corner: the chart's size in pixels.
  const std::regex to(
      "<xdr:to><xdr:col>(\\d+)</xdr:col><xdr:colOff>(\\d+)</xdr:colOff><xdr:row>(\\d+)</xdr:row><xdr:rowOff>(\\d+)"
      "</xdr:rowOff></xdr:to>");
  std::smatch corner;
  ASSERT_TRUE(std::regex_search(drawing, corner, to));
  EXPECT_NEAR((std::stol(corner[1]) - 7) * 64 + std::stol(corner[2]) / 9525.0, 170 * 4.0 / 3.0, 1.0);
  EXPECT_NEAR(std::stol(corner[3]) * 20 + std::stol(corner[4]) / 9525.0, 150 * 4.0 / 3.0, 1.0);
}

TEST_F(WriterTest, AChartOverAnotherWorkbookIsRefusedAndTheOldFileKept) {
  const std::string path = dir_.File("kept.xlsx");
  testing::WriteFile(path, "the previous contents");
  auto other = app_->Workbooks()->Add("Other.xlsx");
  support::ChartMaker maker;
  maker.Anchor = report_->Cells(1, 1);
  maker.FirstSeries = other->SheetList()[0]->GetRange("A1:A3");
  maker.SecondSeries = other->SheetList()[0]->GetRange("B1:B3");
  maker.Build();
  ExpectFileError([&] { SaveWorkbook(*book_, path); }, kChartNotWritable, {"kept.xlsx", "Report", "another workbook"});
  EXPECT_EQ(testing::ReadFile(path), "the previous contents");
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), std::filesystem::directory_iterator()), 1);
}

TEST_F(WriterTest, FailuresAreNumberedAndNamed) {
  ExpectFileError([&] { SaveWorkbook(*app_->Workbooks()->Item("nml2007.xlam"), dir_.File("addin.xlsx")); },
                  kAddinNotWritable, {"nml2007.xlam"});
  EXPECT_FALSE(std::filesystem::exists(dir_.File("addin.xlsx")));
  ExpectFileError([&] { SaveWorkbook(*book_, dir_.File("no-such-folder/out.xlsx")); }, kWriteFailed, {"out.xlsx"});
  // The limit counts characters, not bytes.
  std::string accents;
  for (int i = 0; i < 32767; ++i) accents += "\xC3\xA9";
  data_->Store().Set(20, 1, Variant(accents));
  EXPECT_NO_THROW(SaveWorkbook(*book_, dir_.File("accents.xlsx")));
  data_->Store().Set(20, 1, Variant(std::string(32768, 'a')));
  ExpectFileError([&] { SaveWorkbook(*book_, dir_.File("long.xlsx")); }, kCellNotWritable,
                  {"long.xlsx", "It's data", "A20", "32,767"});
  EXPECT_FALSE(std::filesystem::exists(dir_.File("long.xlsx")));
}

TEST_F(WriterTest, ReplacesAnExistingFileKeepingItsPermissions) {
  const std::string path = dir_.File("replace.xlsx");
  testing::WriteFile(path, "old");
  ::chmod(path.c_str(), 0640);
  SaveWorkbook(*book_, path);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(ReadXlsx(*readApp_, path)->SheetList()[0]->Store().Get(2, 2), Variant(1.5));
}

TEST_F(WriterTest, BothWritingModesGiveTheSameWorkbook) {
  report_->Store().Set(1, 1, Variant("shared"));
  report_->Store().Set(2, 1, Variant("shared"));
  SaveWorkbook(*book_, dir_.File("stream.xlsx"), SaveOptions{true});
  SaveWorkbook(*book_, dir_.File("memory.xlsx"), SaveOptions{false});
  auto a = ReadXlsx(*readApp_, dir_.File("stream.xlsx"));
  auto b = ReadXlsx(*readApp_, dir_.File("memory.xlsx"));
  for (std::size_t i = 0; i < 2; ++i) {
    const host::CellStore& sa = a->SheetList()[i]->Store();
    const host::CellStore& sb = b->SheetList()[i]->Store();
    EXPECT_EQ(sa.UsedRect(), sb.UsedRect());
    sa.ForEachCell([&](std::int32_t r, std::int32_t c, const Variant& v, std::uint32_t) { EXPECT_EQ(sb.Get(r, c), v); });
  }
}

}  // namespace
}  // namespace nml::files
