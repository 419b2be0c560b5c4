#include "host/files/csv_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "files_test_support.h"
#include "host/application.h"
#include "host/files/file_errors.h"
#include "host/files/open_workbook.h"

namespace nml::files {
namespace {

using testing::ExpectFileError;

/// Reads CSV text into a fresh application and returns its only sheet.
class CsvTest : public ::testing::Test {
 protected:
  host::WorksheetRef Read(const std::string& text, const std::string& name = "data.csv") {
    book_ = ReadCsvText(*app_, text, name);
    return book_->SheetList().front();
  }
  static Variant Cell(const host::WorksheetRef& s, int r, int c) { return s->Store().Get(r, c); }

  std::shared_ptr<host::Application> app_ = host::Application::Create();
  host::WorkbookRef book_;
};

TEST_F(CsvTest, QuotedFieldsKeepCommasQuotesAndLineBreaks) {
  const auto s = Read("\"a,b\",\"say \"\"hi\"\"\",c\n\"line1\r\nline2\nline3\",\"\",x\nlast,\"\"\"\",\"1,5\"\n");
  EXPECT_EQ(Cell(s, 1, 1), Variant("a,b"));
  EXPECT_EQ(Cell(s, 1, 2), Variant("say \"hi\""));
  EXPECT_EQ(Cell(s, 1, 3), Variant("c"));
  // A record spanning three physical lines is one row; its CRLF reads as LF.
  EXPECT_EQ(Cell(s, 2, 1), Variant("line1\nline2\nline3"));
  EXPECT_TRUE(Cell(s, 2, 2).IsEmpty());
  EXPECT_EQ(Cell(s, 2, 3), Variant("x"));
  EXPECT_EQ(Cell(s, 3, 2), Variant("\""));
  EXPECT_EQ(Cell(s, 3, 3), Variant("1,5"));  // quoted, so never split, and not a number
  EXPECT_EQ(s->Store().UsedRect(), (host::CellRect{1, 1, 3, 3}));
}

TEST_F(CsvTest, ByteOrderMarkAndLineEndsOfEveryKind) {
  const auto s = Read("\xEF\xBB\xBFx,y\r\n1,2\r3,4\n5,6");
  EXPECT_EQ(Cell(s, 1, 1), Variant("x"));  // no mark left in the first name
  EXPECT_EQ(Cell(s, 2, 2), Variant(2.0));
  EXPECT_EQ(Cell(s, 3, 1), Variant(3.0));
  EXPECT_EQ(Cell(s, 4, 2), Variant(6.0));
  EXPECT_EQ(s->Store().UsedRect(), (host::CellRect{1, 1, 4, 2}));
}

TEST_F(CsvTest, EmptyFieldsAndEmptyLinesLeaveEmptyCells) {
  const auto s = Read("1,,3\n,,\n\n4,5,\n\n");
  EXPECT_EQ(Cell(s, 1, 1), Variant(1.0));
  EXPECT_TRUE(Cell(s, 1, 2).IsEmpty());
  for (int c = 1; c <= 3; ++c) EXPECT_TRUE(Cell(s, 2, c).IsEmpty());
  EXPECT_TRUE(Cell(s, 3, 1).IsEmpty());  // an empty line is an empty row, not a ragged one
  EXPECT_EQ(Cell(s, 4, 2), Variant(5.0));
  EXPECT_TRUE(Cell(s, 4, 3).IsEmpty());
  EXPECT_EQ(s->Store().UsedRect(), (host::CellRect{1, 1, 4, 3}));
}

TEST(CsvFieldValue, NumbersInTheCLocaleOtherwiseText) {
  struct Case {
    const char* text;
    double number;
  };
  for (const Case& c : {Case{"1e5", 100000.0}, Case{" 12 ", 12.0}, Case{"\t-1.5", -1.5}, Case{"+5", 5.0},
                        Case{".5", 0.5}, Case{"007", 7.0}, Case{"1E-3", 0.001}, Case{"-0.25", -0.25},
                        Case{"123456789012345678", 123456789012345678.0}}) {
    EXPECT_EQ(CsvFieldValue(c.text), Variant(c.number)) << c.text;
  }
  for (const char* text : {"-", "+", "1,5", "inf", "-Infinity", "nan", "0x1A", "1e400", "12%", "1.2.3", "e5",
                           "1e", "++5", "+-5", "$5", "1 000", " ", "TRUE", "\xD9\xA1\xD9\xA2"}) {
    EXPECT_EQ(CsvFieldValue(text), Variant(text)) << text;
  }
}

TEST_F(CsvTest, RaggedLinesAreRejectedNamingTheLine) {
  ExpectFileError([&] { Read("a,b,c\n1,2,3\n4,5\n"); }, kCsvRaggedRow, {"data.csv line 3: 2 fields, but line 1 has 3"});
  ExpectFileError([&] { Read("a,b\n1,2,3\n"); }, kCsvRaggedRow, {"data.csv line 2: 3 fields"});
  // Line numbers count physical lines, including those inside quoted fields.
  ExpectFileError([&] { Read("\"x\ny\",b\n1\n"); }, kCsvRaggedRow, {"data.csv line 3: 1 field, but line 1 has 2"});
}

TEST_F(CsvTest, InvalidUtf8IsRejectedNamingTheLine) {
  ExpectFileError([&] { Read("a,b\n1,2\nbad\xFF,3\n"); }, kCsvInvalidUtf8, {"data.csv line 3: invalid UTF-8", "0xFF"});
  ExpectFileError([&] { Read("\xC0\xAF\n"); }, kCsvInvalidUtf8, {"line 1"});            // overlong "/"
  ExpectFileError([&] { Read("x\n\"\n\xED\xA0\x80\"\n"); }, kCsvInvalidUtf8, {"line 3"});  // a surrogate
  ExpectFileError([&] { Read("ok\ncut \xE6\x97"); }, kCsvInvalidUtf8, {"line 2"});       // truncated at the end
  ExpectFileError([&] { Read("\xFF\xFEx\0,\0"); }, kCsvInvalidUtf8, {"line 1", "UTF-16"});
  const auto s = Read("caf\xC3\xA9,\xE6\x97\xA5\xE6\x9C\xAC,\xF0\x9F\x98\x80\n");
  EXPECT_EQ(Cell(s, 1, 2), Variant("\xE6\x97\xA5\xE6\x9C\xAC"));
}

TEST_F(CsvTest, BrokenQuotingIsRejected) {
  ExpectFileError([&] { Read("a,b\n1,\"open\n2,3\n"); }, kCsvUnclosedQuote, {"data.csv line 2", "not closed"});
  ExpectFileError([&] { Read("\"ab\"c,d\n"); }, kCsvBadQuote, {"data.csv line 1", "field 1"});
  ExpectFileError([&] { Read("x,y\n1,\"2\" \n"); }, kCsvBadQuote, {"line 2", "field 2"});
  // A quote inside an unquoted field is kept, as spreadsheets do.
  const auto s = Read("5\" disk,x\n");
  EXPECT_EQ(Cell(s, 1, 1), Variant("5\" disk"));
}

TEST_F(CsvTest, TheGridBoundsRowsAndColumns) {
  std::string wide;
  for (int i = 0; i < host::kMaxColumns; ++i) wide += "1,";
  ExpectFileError([&] { Read(wide + "1\n"); }, kCsvTooManyColumns, {"line 1", "16,384"});
  wide.pop_back();
  EXPECT_EQ(Read(wide + "\n")->Store().UsedRect(), (host::CellRect{1, 1, 1, host::kMaxColumns}));
  app_ = host::Application::Create();
  ExpectFileError([&] { Read(std::string(host::kMaxRows, '\n') + "1\n"); }, kCsvTooManyRows,
                  {"line 1048577", "1,048,576"});
}

TEST_F(CsvTest, AFailedReadLeavesTheApplicationAsItWas) {
  const auto before = app_->Workbooks()->Add("Mine");
  ExpectFileError([&] { Read("a,b\n1\n"); }, kCsvRaggedRow, {});
  EXPECT_EQ(app_->Workbooks()->Count(), 1);
  EXPECT_EQ(app_->ActiveWorkbook(), before);
}

TEST_F(CsvTest, TheWorkbookIsNamedAfterTheFileAndMadeActive) {
  const auto s = Read("1\n", "My:Data[1]?.csv");
  EXPECT_EQ(book_->Name(), "My:Data[1]?.csv");
  EXPECT_EQ(s->Name(), "My_Data_1__");
  EXPECT_EQ(app_->ActiveWorkbook(), book_);
  EXPECT_EQ(app_->ActiveSheet(), s);
  EXPECT_EQ(book_->SheetList().size(), 1u);
  EXPECT_EQ(Read("1\n", "a-rather-long-file-name-for-a-sheet-tab.csv")->Name(), "a-rather-long-file-name-for-a-s");
  EXPECT_EQ(Read("1\n", "'quoted'.csv")->Name(), "_quoted_");
  EXPECT_EQ(Read("", ".csv")->Name(), ".csv");  // a dot file: its whole name is the stem
}

TEST_F(CsvTest, OpeningTheSameFileTwiceIsRefused) {
  testing::ScratchDir dir;
  testing::WriteFile(dir.File("twice.csv"), "1,2\n");
  const auto first = OpenWorkbook(*app_, dir.File("twice.csv"));
  ExpectFileError([&] { OpenWorkbook(*app_, dir.File("twice.csv")); }, kWorkbookAlreadyOpen, {"twice.csv"});
  EXPECT_EQ(app_->Workbooks()->Count(), 1);
  EXPECT_EQ(app_->ActiveWorkbook(), first);
}

TEST_F(CsvTest, ReadsTheLongleyFile) {
  // Known values of the Longley data: the first and last years.
  const auto book = OpenWorkbook(*app_, std::string(NML_TEST_DATA) + "/longley.csv");
  const auto s = book->SheetList().front();
  EXPECT_EQ(book->Name(), "longley.csv");
  EXPECT_EQ(s->Name(), "longley");
  EXPECT_EQ(Cell(s, 1, 1), Variant("GNP.deflator"));
  EXPECT_EQ(Cell(s, 1, 7), Variant("Employed"));
  EXPECT_EQ(Cell(s, 2, 1), Variant(83.0));
  EXPECT_EQ(Cell(s, 2, 2), Variant(234.289));
  EXPECT_EQ(Cell(s, 2, 6), Variant(1947.0));
  EXPECT_EQ(Cell(s, 17, 6), Variant(1962.0));
  EXPECT_EQ(Cell(s, 17, 7), Variant(70.551));
  EXPECT_EQ(s->Store().UsedRect(), (host::CellRect{1, 1, 17, 7}));
}

TEST(OpenWorkbook, DispatchesOnTheExtension) {
  testing::ScratchDir dir;
  auto app = host::Application::Create();
  testing::WriteFile(dir.File("UPPER.CSV"), "7\n");
  EXPECT_EQ(OpenWorkbook(*app, dir.File("UPPER.CSV"))->SheetList().front()->Store().Get(1, 1), Variant(7.0));
  testing::WriteFile(dir.File("notes.txt"), "7\n");
  ExpectFileError([&] { OpenWorkbook(*app, dir.File("notes.txt")); }, kUnsupportedFileType, {"notes.txt", ".txt"});
  ExpectFileError([&] { OpenWorkbook(*app, dir.File("old.xls")); }, kUnsupportedFileType, {"old.xls", ".xlsx"});
  ExpectFileError([&] { OpenWorkbook(*app, dir.File("missing.csv")); }, kCannotOpenFile, {"missing.csv"});
  ExpectFileError([&] { OpenWorkbook(*app, dir.File("missing.xlsx")); }, kCannotOpenFile, {"missing.xlsx"});
}

}  // namespace
}  // namespace nml::files
