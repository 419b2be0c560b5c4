#include "host/files/xlsx_writer.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "files_test_support.h"
#include "host/application.h"
#include "host/cell_format.h"
#include "support/chart_maker.h"
#include "host/files/xlsx_reader.h"
#include "host/format_table.h"

namespace nml::host::files {
namespace {

using testing::ExpectFileError;

/// A user workbook with a data sheet (values, formulas, formats) and a
/// report sheet, saved and read back into a second application.
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
  host::WorkbookRef SaveAndRead(const std::string& name = "out.xlsx", SaveOptions options = {}) {
    SaveWorkbook(*book_, dir_.File(name), options);
    return ReadXlsx(*readApp_, dir_.File(name));
  }
  /// The format a cell read back shows (its own, or its sheet's).
  const host::CellFormat& ReadFormat(const host::WorksheetRef& s, int r, int c) {
    return readApp_->Formats().Get(host::EffectiveFormatId(s->Store().FormatId(r, c), s->DefaultFormatId()));
  }
  /// Every cell of the sheet, read back: value, formula and format.
  void ExpectSameCells(const host::WorksheetRef& original, const host::WorksheetRef& read) {
    EXPECT_EQ(read->Store().UsedRect(), original->Store().UsedRect());
    original->Store().ForEachCell([&](std::int32_t r, std::int32_t c, const Variant& v, std::uint32_t id) {
      EXPECT_EQ(read->Store().Get(r, c), v) << "row " << r << " column " << c;
      const std::string* f = original->Store().Formula(r, c);
      const std::string* g = read->Store().Formula(r, c);
      EXPECT_EQ(f ? *f : "", g ? *g : "") << "row " << r << " column " << c;
      EXPECT_EQ(ReadFormat(read, r, c), app_->Formats().Get(id)) << "row " << r << " column " << c;
    });
  }
  /// A scatter chart of the default size, left and top points off its anchor cell.
  static void AddChart(host::RangeRef anchor, host::RangeRef first, host::RangeRef second,
                       const std::string& title = "", int left = 0, int top = 0) {
    support::ChartMaker{.Left = left, .Top = top, .Title = title, .FirstAxisTitle = "", .SecondAxisTitle = "",
                        .Anchor = anchor, .FirstSeries = first, .SecondSeries = second}.Build();
  }

  std::shared_ptr<host::Application> app_ = host::Application::Create();
  std::shared_ptr<host::Application> readApp_ = host::Application::Create();
  test::TempFolder dir_;
  host::WorkbookRef book_;
  host::WorksheetRef data_, report_;
};

TEST_F(WriterTest, ValuesFormulasAndSheetNamesSurviveARoundTripInBothWritingModes) {
  report_->Store().Set(1, 1, Variant("shared"));
  report_->Store().Set(2, 1, Variant("shared"));
  for (bool streaming : {true, false}) {
    const auto back = SaveAndRead(streaming ? "stream.xlsx" : "memory.xlsx", SaveOptions{streaming, {}, {}, {}});
    ASSERT_EQ(back->SheetList().size(), 2u);
    EXPECT_EQ(back->SheetList()[0]->Name(), "It's data");
    EXPECT_EQ(back->SheetList()[1]->Name(), "Report");
    for (std::size_t i = 0; i < 2; ++i) ExpectSameCells(book_->SheetList()[i], back->SheetList()[i]);
  }
}

TEST_F(WriterTest, NumbersAreWrittenWithADecimalPointUnderAnyProcessLocale) {
  struct CommaLocale {
    bool set = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
  } locale;
  if (!locale.set) GTEST_SKIP() << "no de_DE locale installed (Debian: locales-all)";
  data_->SetColumnWidth(3, 12.5);
  const auto back = SaveAndRead();
  for (int r = 2; r <= 6; ++r) EXPECT_EQ(back->SheetList()[0]->Store().Get(r, 2).ToDouble(), (r - 1) * (r - 1) + 0.5);
  EXPECT_NEAR(back->SheetList()[0]->ColumnWidth(3), 12.5, 0.1);  // kept, within the pixel rounding of widths
}

TEST_F(WriterTest, PlainRowsKeepEveryBitTheirFormatsAndTheirPlace) {
  // Rows of numbers, text, booleans and formatted blanks are written apart
  // from the other rows; numbers that need 17 digits, extremes and a
  // formatted cell read back exactly, in order with a row the library writes
  // (it holds a formula) and a gap between them.
  const double plain[] = {0.1 + 0.2, -1e-300, 9007199254740994.0, 1.7976931348623157e308, 5e-324, -0.0, 1e21};
  host::CellStore& s = report_->Store();
  for (int c = 0; c < 7; ++c) s.SetDouble(2, c + 2, plain[c]);
  s.SetDouble(3, 2, 2.5);
  s.Set(3, 3, Variant("formula row"));
  s.SetFormula(3, 4, "B3*2");
  s.Set(5, 1, Variant(" a & <b> "));
  for (int c = 0; c < 7; ++c) s.SetDouble(5, c + 2, -plain[c]);
  s.Set(5, 9, Variant::Boolean(true));
  report_->GetRange("C5")->SetNumberFormat("0.00E+00");
  report_->GetRange("J5")->SetBold(true);
  ExpectSameCells(report_, SaveAndRead()->SheetList()[1]);
}

TEST_F(WriterTest, StylesAndAWholeSheetFormatSurviveARoundTrip) {
  auto strip = report_->GetRange("A1:C1");
  strip->SetValue(Variant("Heading"));
  strip->SetBold(true);
  strip->SetBorder(true);
  strip->SetInteriorColorIndex(15);
  strip->SetHorizontalAlignment(host::kAlignCenter);
  report_->GetRange("A2:C3")->SetValue(Variant(0.123456));
  report_->GetRange("A2:C3")->SetNumberFormat("0.0000");
  report_->GetRange("A4")->SetHorizontalAlignment(host::kAlignLeft);
  report_->GetRange("C4")->SetHorizontalAlignment(host::kAlignRight);  // formatted but empty
  data_->Cells()->SetInteriorColorIndex(19);  // the whole data sheet: light yellow
  data_->GetRange("B1")->SetInteriorColorIndex(host::kColorIndexNone);
  data_->GetRange("A2")->SetBold(true);

  const auto back = SaveAndRead();
  const auto report = back->SheetList()[1];
  ExpectSameCells(report_, report);
  EXPECT_EQ(ReadFormat(report, 1, 2),
            (host::CellFormat{.bold = true, .border = true, .fillColorIndex = 15, .horizontalAlignment = host::kAlignCenter}));
  EXPECT_EQ(ReadFormat(report, 3, 3).numberFormat, "0.0000");

  const auto data = back->SheetList()[0];
  host::CellFormat yellow{.fillColorIndex = 19};
  EXPECT_EQ(ReadFormat(data, 1, 1), yellow);
  EXPECT_EQ(ReadFormat(data, 1, 2), host::CellFormat{});
  EXPECT_EQ(ReadFormat(data, 500, 300), yellow);  // never written, yet formatted
  yellow.bold = true;
  EXPECT_EQ(ReadFormat(data, 2, 1), yellow);
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
  report_->SetColumnWidth(5, 30.25);
  r.Set(1, 6, Variant("Centred heading text"));  // 20 characters, centred: it cannot spill to the right
  report_->GetRange("F1")->SetHorizontalAlignment(host::kAlignCenter);

  // Widths go through whole pixels (digits 7 pixels wide): back to within a seventh of a character.
  const auto back = SaveAndRead()->SheetList()[1];
  EXPECT_EQ(back->ColumnWidth(1), 60.0);              // bounded, though one entry has 200 characters
  EXPECT_NEAR(back->ColumnWidth(3), 15.5, 1.0 / 7);   // 14 characters and a margin
  EXPECT_EQ(back->ColumnWidth(4), 0.0);               // short entries keep the default width
  EXPECT_NEAR(back->ColumnWidth(5), 30.25, 1.0 / 7);  // the sheet's own width wins
  EXPECT_NEAR(back->ColumnWidth(6), 21.5, 1.0 / 7);
  r.Set(3, 1, Variant("x"));
  const auto again = SaveAndRead("again.xlsx");
  EXPECT_NEAR(again->SheetList()[1]->ColumnWidth(1), 17.5, 1.0 / 7);  // the title spills over; the label counts
  // Read widths are written back as they are.
  SaveWorkbook(*again, dir_.File("third.xlsx"));
  const auto third = ReadXlsx(*readApp_, dir_.File("third.xlsx"))->SheetList()[1];
  for (int c = 1; c <= 6; ++c) EXPECT_EQ(third->ColumnWidth(c), again->SheetList()[1]->ColumnWidth(c)) << c;
}

TEST_F(WriterTest, ChartsAreNativeScatterChartsReferringToTheCells) {
  data_->SetName("Q1!'s");  // a quote and a bang to carry into the references
  const auto xs = data_->GetRange("A2:A6"), ys = data_->GetRange("B2:B6");
  AddChart(report_->Cells(1, 8), xs, ys, "Scatter Plot");  // H1
  AddChart(report_->Cells(1, 8), xs, xs, "", 150, 150);
  AddChart(report_->Cells(1, 8), xs, ys, "=not a reference", -10, 0);
  ::testing::internal::CaptureStderr();  // the library has nothing to say
  SaveWorkbook(*book_, dir_.File("charts.xlsx"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  auto parts = testing::ZipEntries(dir_.File("charts.xlsx"));

  EXPECT_EQ(parts.count("xl/charts/chart4.xml"), 0u);  // three charts (the third is read below)
  const std::string& chart1 = parts["xl/charts/chart1.xml"];
  EXPECT_NE(chart1.find("<c:scatterChart>"), std::string::npos);
  const auto x = chart1.find("<c:f>'Q1!''s'!$A$2:$A$6</c:f>");
  const auto y = chart1.find("<c:f>'Q1!''s'!$B$2:$B$6</c:f>");
  EXPECT_NE(y, std::string::npos) << chart1;
  EXPECT_LT(x, y);  // x values come first
  EXPECT_NE(chart1.find("Scatter Plot"), std::string::npos);
  EXPECT_EQ(chart1.find("<c:numCache>"), std::string::npos);  // the data stays in the cells
  EXPECT_NE(parts["xl/charts/chart3.xml"].find("=not a reference"), std::string::npos);

  // Placement: 1 point is 4/3 pixel; columns are 64 pixels and rows 20 pixels by default.
  const std::string& drawing = parts["xl/drawings/drawing1.xml"];
  const std::regex corner("<xdr:(from|to)><xdr:col>(\\d+)</xdr:col><xdr:colOff>(\\d+)</xdr:colOff><xdr:row>(\\d+)"
                          "</xdr:row><xdr:rowOff>(\\d+)</xdr:rowOff>");
  std::vector<std::array<long, 4>> corners;
  for (auto it = std::sregex_iterator(drawing.begin(), drawing.end(), corner); it != std::sregex_iterator(); ++it)
    corners.push_back({std::stol((*it)[2]), std::stol((*it)[3]) / 9525, std::stol((*it)[4]),
                       std::stol((*it)[5]) / 9525});
  ASSERT_EQ(corners.size(), 6u);
  EXPECT_EQ(corners[0], (std::array<long, 4>{7, 0, 0, 0}));       // H1
  EXPECT_EQ(corners[2], (std::array<long, 4>{10, 8, 10, 0}));     // 200 px right, 200 px down
  EXPECT_EQ(corners[4], (std::array<long, 4>{6, 64 - 13, 0, 0}));  // 13 px left of H1
  // The far corner of the first: 200 x 150 points are 266.7 x 200 pixels.
  EXPECT_NEAR((corners[1][0] - 7) * 64 + corners[1][1], 200 * 4.0 / 3.0, 1.0);
  EXPECT_NEAR(corners[1][2] * 20 + corners[1][3], 150 * 4.0 / 3.0, 1.0);
}

// A failed save is numbered, keeps the old file and leaves no temporary file;
// no save, failed or with an empty sheet, leaves a descriptor open (the server
// saves many times in one process).
TEST_F(WriterTest, AFailedSaveIsNumberedAndLeavesTheOldFile) {
  const auto openDescriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
  };
  book_->AppendSheet("Empty");
  const std::string path = dir_.File("kept.xlsx");
  testing::WriteFile(path, "the previous contents");
  // Text over 32,767 characters, counted in characters, not bytes.
  std::string accents;
  for (int i = 0; i < 32767; ++i) accents += "\xC3\xA9";
  data_->Store().Set(20, 1, Variant(accents));
  EXPECT_NO_THROW(SaveWorkbook(*book_, dir_.File("accents.xlsx")));
  const auto before = openDescriptors();
  SaveWorkbook(*book_, dir_.File("accents.xlsx"));
  data_->Store().Set(20, 1, Variant(std::string(32768, 'a')));
  ExpectFileError([&] { SaveWorkbook(*book_, path); }, kCellNotWritable, {"kept.xlsx", "It's data", "A20", "32,767"});
  EXPECT_EQ(testing::ReadFile(path), "the previous contents");
  data_->Store().Set(20, 1, Variant());
  // Names that the file cannot tell apart: nothing on standard error either.
  data_->SetName("A\x01");
  report_->SetName("A\x02");
  ::testing::internal::CaptureStderr();
  ExpectFileError([&] { SaveWorkbook(*book_, path); }, kWriteFailed, {"not accepted"});
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  report_->SetName("Report");
  // A chart over another workbook's cells.
  const auto other = app_->Workbooks()->Add("Other.xlsx")->SheetList()[0];
  AddChart(report_->Cells(1, 1), other->GetRange("A1:A3"), other->GetRange("B1:B3"));
  ExpectFileError([&] { SaveWorkbook(*book_, path); }, kChartNotWritable, {"kept.xlsx", "Report", "another workbook"});
  EXPECT_EQ(testing::ReadFile(path), "the previous contents");
  // No temporary file is left behind: the old file and accents.xlsx only.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), std::filesystem::directory_iterator()), 2);

  ExpectFileError([&] { SaveWorkbook(*app_->Workbooks()->Item("nml2007.xlam"), dir_.File("addin.xlsx")); },
                  kAddinNotWritable, {"nml2007.xlam"});
  EXPECT_FALSE(std::filesystem::exists(dir_.File("addin.xlsx")));
  ExpectFileError([&] { SaveWorkbook(*book_, dir_.File("no-such-folder/out.xlsx")); }, kWriteFailed, {"out.xlsx"});
  EXPECT_EQ(openDescriptors(), before);
}

int RunCommand(const std::string& command) {
  const int status = std::system((command + " > /dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Where a save goes: through links to their targets (keeping the target's
// permissions), never into something that is not a regular file, with the
// mode a new file gets, and with room for the temporary name beside an output
// whose name is at the length limit.
TEST_F(WriterTest, OutputPathsAreResolvedAndCheckedBeforeWriting) {
  namespace fs = std::filesystem;
  const std::string target = dir_.File("target.xlsx");
  testing::WriteFile(target, "old");
  ::chmod(target.c_str(), 0640);
  fs::create_symlink(target, dir_.File("link.xlsx"));
  fs::create_symlink("missing.xlsx", dir_.File("dangling.xlsx"));
  ASSERT_EQ(::mkfifo(dir_.File("fifo.xlsx").c_str(), 0600), 0);
  const std::string longName = std::string(250, 'n') + ".xlsx";  // 255 bytes

  SaveWorkbook(*book_, dir_.File("link.xlsx"));
  EXPECT_TRUE(fs::is_symlink(dir_.File("link.xlsx")));
  EXPECT_EQ(ReadXlsx(*readApp_, target)->SheetList()[0]->Store().Get(2, 2), Variant(1.5));
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  SaveWorkbook(*book_, dir_.File("dangling.xlsx"));
  EXPECT_TRUE(fs::is_symlink(dir_.File("dangling.xlsx")));
  EXPECT_TRUE(fs::is_regular_file(dir_.File("missing.xlsx")));
  ExpectFileError([&] { SaveWorkbook(*book_, dir_.File("fifo.xlsx")); }, kWriteFailed, {"fifo.xlsx", "not a regular"});
  EXPECT_TRUE(fs::is_fifo(dir_.File("fifo.xlsx")));
  ExpectFileError([&] { SaveWorkbook(*book_, "/dev/null"); }, kWriteFailed, {"null", "not a regular"});

  const mode_t mask = ::umask(022);
  SaveWorkbook(*book_, dir_.File(longName));
  ::umask(mask);
  ASSERT_EQ(::stat(dir_.File(longName).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  // A TMPDIR that is no folder is passed over for the output's folder.
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string saved = tmpdir ? tmpdir : "";
  ::setenv("TMPDIR", dir_.File("no-such-folder").c_str(), 1);
  EXPECT_NO_THROW(SaveWorkbook(*book_, dir_.File("tmpdir.xlsx")));
  if (tmpdir) ::setenv("TMPDIR", saved.c_str(), 1); else ::unsetenv("TMPDIR");
  for (const auto& entry : fs::directory_iterator(dir_.Path()))
    EXPECT_EQ(entry.path().filename().string().find(".nmlcorr-"), std::string::npos) << entry.path();
}

// Characters XML cannot hold, in cells (which escape them and read back
// exactly), in a sheet name and chart titles (which replace them): every
// part still parses, for Python's XML parser and for openpyxl.
TEST_F(WriterTest, TextXmlCannotHoldIsEscapedOrReplaced) {
  const std::vector<std::string> texts = {"x\x01y", "tab\there", "p\xEF\xBF\xBEq\xEF\xBF\xBF", "_x0041_", "_X0041_ _x41_",
                                          "a_x005F_b", "\x1F"};
  for (std::size_t i = 0; i < texts.size(); ++i) report_->Store().Set(static_cast<std::int32_t>(i) + 1, 3, Variant(texts[i]));
  report_->SetName("Ctl\x02\xEF\xBF\xBF");
  AddChart(report_->Cells(1, 5), report_->GetRange("A2:A6"), report_->GetRange("B2:B6"), "T\x01\xEF\xBF\xBE");
  for (const bool streaming : {true, false}) {  // inline strings, shared strings
    const auto back = SaveAndRead(streaming ? "ctl.xlsx" : "ctl-shared.xlsx", SaveOptions{streaming, {}, {}, {}});
    ExpectSameCells(report_, back->SheetList()[1]);
    EXPECT_EQ(back->SheetList()[1]->Name(), "Ctl\xEF\xBF\xBD\xEF\xBF\xBD");
  }

  if (RunCommand("/usr/bin/python3 -c 'import openpyxl'") != 0) GTEST_SKIP() << "no /usr/bin/python3 with openpyxl";
  const std::string py =
      "/usr/bin/python3 -c \"import sys, zipfile, openpyxl, xml.etree.ElementTree as ET\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "[ET.fromstring(z.read(n)) for n in z.namelist() if n.endswith(('.xml', '.rels'))]\n"
      "openpyxl.load_workbook(sys.argv[1])\" '" + dir_.File("ctl.xlsx") + "'";
  EXPECT_EQ(RunCommand(py), 0);

  report_->Store().Set(9, 3, Variant(std::string("cut\0here", 8)));
  ExpectFileError([&] { SaveWorkbook(*book_, dir_.File("nul.xlsx")); }, kCellNotWritable, {"C9", "NUL"});
}

}  // namespace
}  // namespace nml::host::files
