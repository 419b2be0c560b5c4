#include "host/files/csv_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "files_test_support.h"
#include "host/application.h"
#include "host/files/open_workbook.h"

namespace nml::host::files {
namespace {

using testing::ExpectFileError;

class CsvTest : public ::testing::Test {
 protected:
  host::WorksheetRef Read(const std::string& text, const std::string& name = "data.csv") {
    return ReadCsvText(*app_, text, name)->SheetList().front();
  }
  std::shared_ptr<host::Application> app_ = host::Application::Create();
};

TEST_F(CsvTest, EdgeCasesOfTheFormat) {
  const Variant empty;
  struct Case {
    const char* what;
    std::string text;
    host::CellRect used;
    std::vector<std::tuple<int, int, Variant>> cells;
  };
  const std::vector<Case> cases{
      {"quoted commas, quotes and line breaks (one record on three lines, CRLF read as LF)",
       "\"a,b\",\"say \"\"hi\"\"\",c\n\"line1\r\nline2\nline3\",\"\",x\nlast,\"\"\"\",\"1,5\"\n",
       {1, 1, 3, 3},
       {{1, 1, Variant("a,b")}, {1, 2, Variant("say \"hi\"")}, {2, 1, Variant("line1\nline2\nline3")},
        {2, 2, empty}, {2, 3, Variant("x")}, {3, 2, Variant("\"")}, {3, 3, Variant("1,5")}}},
      {"byte order mark and CRLF, CR and LF line ends", "\xEF\xBB\xBFx,y\r\n1,2\r3,4\n5,6", {1, 1, 4, 2},
       {{1, 1, Variant("x")}, {2, 2, Variant(2.0)}, {3, 1, Variant(3.0)}, {4, 2, Variant(6.0)}}},
      {"empty fields and empty lines", "1,,3\n,,\n\n4,5,\n\n", {1, 1, 4, 3},
       {{1, 1, Variant(1.0)}, {1, 2, empty}, {2, 2, empty}, {3, 1, empty}, {4, 2, Variant(5.0)}, {4, 3, empty}}},
      {"a quote inside an unquoted field is kept", "5\" disk,x\n", {1, 1, 1, 2}, {{1, 1, Variant("5\" disk")}}},
      {"UTF-8 text", "caf\xC3\xA9,\xE6\x97\xA5\xE6\x9C\xAC,\xF0\x9F\x98\x80\n", {1, 1, 1, 3},
       {{1, 1, Variant("caf\xC3\xA9")}, {1, 3, Variant("\xF0\x9F\x98\x80")}}},
      {"a row as wide as the grid", "1" + std::string(host::kMaxColumns - 2, ',') + ",2\n",
       {1, 1, 1, host::kMaxColumns}, {{1, 1, Variant(1.0)}, {1, host::kMaxColumns, Variant(2.0)}}},
  };
  for (const Case& c : cases) {
    app_ = host::Application::Create();
    const auto s = Read(c.text);
    EXPECT_EQ(s->Store().UsedRect(), c.used) << c.what;
    for (const auto& [r, col, v] : c.cells) EXPECT_EQ(s->Store().Get(r, col), v) << c.what << " at " << r << "," << col;
  }
}

TEST(CsvFieldValue, NumbersInTheCLocaleOtherwiseText) {
  for (const auto& [text, number] : std::vector<std::pair<const char*, double>>{
           {"1e5", 1e5}, {" 12 ", 12}, {"\t-1.5", -1.5}, {"+5", 5}, {".5", 0.5}, {"007", 7}, {"1E-3", 0.001},
           {"123456789012345678", 123456789012345678.0},
           // Too small for a double: the value it rounds to.
           {"1e-400", 0.0}, {"-1e-400", -0.0}, {"2e-324", 0.0}, {"3e-324", 4.9406564584124654e-324},
           {"1e-310", 1e-310}, {"0.00000000001e-300", 1e-311}}) {
    EXPECT_EQ(CsvFieldValue(text), Variant(number)) << text;
  }
  for (const char* text : {"-", "+", "1,5", "inf", "-Infinity", "nan", "0x1A", "1e400", "12%", "1.2.3", "e5", "1e",
                           "++5", "$5", "1 000", " ", "TRUE", "\xD9\xA1\xD9\xA2"}) {
    EXPECT_EQ(CsvFieldValue(text), Variant(text)) << text;
  }
}

TEST_F(CsvTest, BrokenFilesAreRejectedNamingTheLineAndLeaveTheApplicationAsItWas) {
  const auto mine = app_->Workbooks()->Add("Mine");
  struct Case {
    std::string text;
    std::int32_t code;
    std::vector<std::string> parts;
  };
  const std::vector<Case> cases{
      {"a,b,c\n1,2,3\n4,5\n", kCsvRaggedRow, {"data.csv line 3: 2 fields, but line 1 has 3"}},
      {"a,b\n1,2,3\n", kCsvRaggedRow, {"data.csv line 2: 3 fields"}},
      // Line numbers count physical lines, including those inside quoted fields.
      {"\"x\ny\",b\n1\n", kCsvRaggedRow, {"data.csv line 3: 1 field, but line 1 has 2"}},
      {"a,b\n1,2\nbad\xFF,3\n", kCsvInvalidUtf8, {"data.csv line 3: invalid UTF-8", "0xFF"}},
      {"\xC0\xAF\n", kCsvInvalidUtf8, {"line 1"}},              // overlong "/"
      {"x\n\"\n\xED\xA0\x80\"\n", kCsvInvalidUtf8, {"line 3"}},  // a surrogate
      {"ok\ncut \xE6\x97", kCsvInvalidUtf8, {"line 2"}},         // truncated at the end
      {std::string("\xFF\xFEx\0,\0", 6), kCsvInvalidUtf8, {"line 1", "UTF-16"}},
      {std::string("a,b\n1,\"x\0y\"\n", 12), kCsvNulCharacter, {"data.csv line 2", "NUL"}},
      {"a,b\n1,\"open\n2,3\n", kCsvUnclosedQuote, {"data.csv line 2", "not closed"}},
      {"\"ab\"c,d\n", kCsvBadQuote, {"data.csv line 1", "field 1"}},
      {"x,y\n1,\"2\" \n", kCsvBadQuote, {"line 2", "field 2"}},
      {std::string(host::kMaxColumns, ',') + "\n", kCsvTooManyColumns, {"line 1", "16,384"}},
      {std::string(host::kMaxRows, '\n') + "1\n", kCsvTooManyRows, {"line 1048577", "1,048,576"}},
  };
  for (const Case& c : cases) ExpectFileError([&] { Read(c.text); }, c.code, c.parts);
  EXPECT_EQ(app_->Workbooks()->Count(), 1);
  EXPECT_EQ(app_->ActiveWorkbook(), mine);
}

// A file opens as a workbook named after it, with one sheet named after its
// stem (made valid as a sheet name; long names are cut as in the workbook
// reader's repairs), by its extension, and once.
TEST(OpenWorkbook, DispatchesOnTheExtensionNamesAfterTheFileAndRefusesASecondOpening) {
  test::TempFolder dir;
  auto app = host::Application::Create();
  testing::WriteFile(dir.File("UPPER.CSV"), "7\n");
  const auto first = OpenWorkbook(*app, dir.File("UPPER.CSV"));
  EXPECT_EQ(first->Name(), "UPPER.CSV");
  EXPECT_EQ(first->SheetList().front()->Name(), "UPPER");
  EXPECT_EQ(app->ActiveSheet(), first->SheetList().front());
  EXPECT_EQ(first->SheetList().front()->Store().Get(1, 1), Variant(7.0));
  ExpectFileError([&] { OpenWorkbook(*app, dir.File("UPPER.CSV")); }, kWorkbookAlreadyOpen, {"UPPER.CSV"});
  testing::WriteFile(dir.File("notes.txt"), "7\n");
  ExpectFileError([&] { OpenWorkbook(*app, dir.File("notes.txt")); }, kUnsupportedFileType, {"notes.txt", ".txt"});
  ExpectFileError([&] { OpenWorkbook(*app, dir.File("old.xls")); }, kUnsupportedFileType, {"old.xls", ".xlsx"});
  ExpectFileError([&] { OpenWorkbook(*app, dir.File("missing.csv")); }, kCannotOpenFile, {"missing.csv"});
  ExpectFileError([&] { OpenWorkbook(*app, dir.File("missing.xlsx")); }, kCannotOpenFile, {"missing.xlsx"});
  EXPECT_EQ(app->Workbooks()->Count(), 1);
  EXPECT_EQ(app->ActiveWorkbook(), first);
  for (const auto& [file, sheet] : std::vector<std::pair<std::string, std::string>>{
           {"My:Data[1]?.csv", "My_Data_1__"},
           {"'quoted'.csv", "_quoted_"},
           {".csv", ".csv"}}) {  // a dot file: its whole name is the stem
    EXPECT_EQ(ReadCsvText(*app, "1\n", file)->SheetList().front()->Name(), sheet) << file;
  }
}

}  // namespace
}  // namespace nml::host::files
