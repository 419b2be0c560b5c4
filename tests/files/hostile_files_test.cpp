// Broken and hostile workbook files: each gets a numbered error naming the
// file and the problem, never a crash, and the application is left as it was.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "files_test_support.h"
#include "host/application.h"
#include "host/files/sheet_names.h"
#include "host/files/xlsx_reader.h"

namespace nml::files {
namespace {

using testing::ExpectFileError;
using testing::MakeZip;
using Entries = std::vector<std::pair<std::string, std::string>>;

const char* const kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

std::string SheetXml(const std::string& rows) {
  return std::string("<?xml version=\"1.0\"?><worksheet xmlns=\"") + kMain + "\"><sheetData>" + rows +
         "</sheetData></worksheet>";
}

/// The parts of a workbook with the sheets given (name, worksheet XML); no
/// package relationships, so the workbook is found where it usually is.
Entries Workbook(const std::vector<std::pair<std::string, std::string>>& sheets, const std::string& sst = {}) {
  std::string workbook = std::string("<workbook xmlns=\"") + kMain +
                         "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>";
  std::string rels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  Entries entries;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    workbook += "<sheet name=\"" + sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n +
            "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
            "Target=\"worksheets/sheet" + n + ".xml\"/>";
    entries.emplace_back("xl/worksheets/sheet" + n + ".xml", sheets[i].second);
  }
  if (!sst.empty()) {
    rels += "<Relationship Id=\"rIdS\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
            "Target=\"sharedStrings.xml\"/>";
    entries.emplace_back("xl/sharedStrings.xml", sst);
  }
  entries.emplace_back("xl/workbook.xml", workbook + "</sheets></workbook>");
  entries.emplace_back("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
  return entries;
}

class HostileTest : public ::testing::Test {
 protected:
  void Read(const std::string& bytes, InflateLimits limits = {}) { ReadXlsxBytes(*app_, bytes, "evil.xlsx", limits); }
  void ReadSheet(const std::string& sheetXml) { Read(MakeZip(Workbook({{"S", sheetXml}}))); }
  void TearDown() override {
    // Whatever failed, nothing was opened.
    EXPECT_EQ(app_->Workbooks()->Count(), 0);
  }
  std::shared_ptr<host::Application> app_ = host::Application::Create();
};

TEST_F(HostileTest, NotAZipArchive) {
  ExpectFileError([&] { Read("name,value\n1,2\n"); }, kNotAZipArchive, {"evil.xlsx", "not a zip archive"});
  ExpectFileError([&] { Read(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0')); },
                  kNotAZipArchive, {"evil.xlsx", "encrypted"});
  ExpectFileError([&] { Read(""); }, kNotAZipArchive, {"evil.xlsx"});
  // A real archive cut in half: its directory, at the end, is gone.
  const std::string whole = MakeZip(Workbook({{"S", SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")}}));
  ExpectFileError([&] { Read(whole.substr(0, whole.size() / 2)); }, kNotAZipArchive, {"evil.xlsx"});
}

TEST_F(HostileTest, AZipWithoutAWorkbook) {
  ExpectFileError([&] { Read(MakeZip({{"readme.txt", "hello"}})); }, kMissingPart,
                  {"evil.xlsx", "no workbook part"});
  Entries entries = Workbook({{"S", SheetXml("")}});
  entries.erase(entries.begin());  // the sheet's part
  ExpectFileError([&] { Read(MakeZip(entries)); }, kMissingPart, {"xl/worksheets/sheet1.xml"});
  ExpectFileError([&] { Read(MakeZip(Workbook({}))); }, kNoWorksheets, {"evil.xlsx", "no worksheet"});
}

TEST_F(HostileTest, MalformedXml) {
  ExpectFileError([&] { Read(MakeZip({{"xl/workbook.xml", "<workbook><sheets>"}})); }, kMalformedXml,
                  {"evil.xlsx: xl/workbook.xml", "malformed XML"});
  ExpectFileError([&] { ReadSheet(SheetXml("<row>\n<c r=\"A1\"><v>1</c></row>")); }, kMalformedXml,
                  {"evil.xlsx: xl/worksheets/sheet1.xml", "line 2", "</c>"});
  ExpectFileError([&] { ReadSheet(SheetXml("<row><c r=\"A1\" t=\"n><v>1</v></c></row>")); }, kMalformedXml, {});
  ExpectFileError([&] { ReadSheet(SheetXml("<row><c r=\"A1\"><v>1 &bogus; </v></c></row>")); }, kMalformedXml,
                  {"&bogus;"});
  ExpectFileError([&] { ReadSheet(SheetXml("<row><c r=\"A1\"><v>&#0;</v></c></row>")); }, kMalformedXml,
                  {"character reference"});
  ExpectFileError([&] { ReadSheet("<worksheet><sheetData>"); }, kMalformedXml, {"ends inside"});
  ExpectFileError([&] { ReadSheet(SheetXml("") + "<second/>"); }, kMalformedXml, {"second root"});
  ExpectFileError([&] { ReadSheet(SheetXml("<row><c r=\"A1\" t=\"inlineStr\"><is><t>\xC3\x28</t></is></c></row>")); },
                  kMalformedXml, {"not UTF-8"});
  // An entity expansion attack needs a document type declaration: refused.
  ExpectFileError(
      [&] {
        ReadSheet("<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 "
                  "\"&lol;&lol;&lol;&lol;&lol;\">]><worksheet><sheetData><row><c t=\"inlineStr\"><is><t>&lol2;</t></is>"
                  "</c></row></sheetData></worksheet>");
      },
      kMalformedXml, {"document type"});
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "<a>";
  ExpectFileError([&] { ReadSheet("<worksheet>" + deep); }, kMalformedXml, {"nested too deeply"});
}

TEST_F(HostileTest, CellsPastTheGrid) {
  ExpectFileError([&] { ReadSheet(SheetXml("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>")); }, kCellOutsideGrid,
                  {"evil.xlsx: xl/worksheets/sheet1.xml", "XFE1", "outside the grid"});
  ExpectFileError([&] { ReadSheet(SheetXml("<row r=\"1\"><c r=\"A1048577\"><v>1</v></c></row>")); },
                  kCellOutsideGrid, {"A1048577"});
  ExpectFileError([&] { ReadSheet(SheetXml("<row r=\"1\"><c r=\"A99999999999999999999\"><v>1</v></c></row>")); },
                  kCellOutsideGrid, {});
  ExpectFileError([&] { ReadSheet(SheetXml("<row r=\"1048577\"><c><v>1</v></c></row>")); }, kCellOutsideGrid,
                  {"row 1048577"});
  std::string wide = "<row r=\"1\">";
  for (int i = 0; i <= host::kMaxColumns; ++i) wide += "<c><v>1</v></c>";
  ExpectFileError([&] { ReadSheet(SheetXml(wide + "</row>")); }, kCellOutsideGrid, {"16,384"});
  ExpectFileError([&] { ReadSheet(SheetXml("<row r=\"1\"><c r=\"1A\"><v>1</v></c></row>")); }, kBadCellValue,
                  {"bad cell reference"});
}

TEST_F(HostileTest, ValuesThatDoNotMatchTheirType) {
  ExpectFileError([&] { ReadSheet(SheetXml("<row><c r=\"B3\"><v>12abc</v></c></row>")); }, kBadCellValue,
                  {"cell B3", "not a number"});
  ExpectFileError([&] { ReadSheet(SheetXml("<row><c r=\"A1\"><v>nan</v></c></row>")); }, kBadCellValue, {});
  ExpectFileError([&] { ReadSheet(SheetXml("<row><c r=\"A1\" t=\"s\"><v>0</v></c></row>")); }, kBadCellValue,
                  {"shared string"});
  ExpectFileError([&] { Read(MakeZip(Workbook({{"S", SheetXml("<row><c r=\"A1\" t=\"s\"><v>1</v></c></row>")}},
                                               "<sst><si><t>only</t></si></sst>"))); },
                  kBadCellValue, {"shared string \"1\""});
  ExpectFileError([&] { ReadSheet(SheetXml("<row><c r=\"A1\" t=\"b\"><v>2</v></c></row>")); }, kBadCellValue,
                  {"boolean"});
  ExpectFileError([&] { ReadSheet(SheetXml("<row><c r=\"A1\" t=\"zz\"><v>2</v></c></row>")); }, kBadCellValue,
                  {"unknown cell type"});
  ExpectFileError([&] { ReadSheet(SheetXml("<row><c r=\"A1\" t=\"d\"><v>2024-13-01</v></c></row>")); },
                  kBadCellValue, {"not a date"});
}

/// A worksheet part of about `bytes` bytes that deflates to almost nothing.
std::string PaddedSheet(std::size_t bytes) {
  return SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>" + std::string(bytes, ' '));
}

TEST_F(HostileTest, DecompressionBombs) {
  InflateLimits small{1 << 20, 3 << 19};  // 1 MiB a part, 1.5 MiB in all
  const std::string bomb = MakeZip(Workbook({{"S", PaddedSheet(8 << 20)}}));
  ASSERT_LT(bomb.size(), 64u << 10);
  ExpectFileError([&] { Read(bomb, small); }, kInflateLimit, {"evil.xlsx", "xl/worksheets/sheet1.xml", "1 MiB"});
  // Parts each under the limit, together over it.
  const std::string many = MakeZip(Workbook({{"A", PaddedSheet(900 << 10)}, {"B", PaddedSheet(900 << 10)}}));
  ExpectFileError([&] { Read(many, small); }, kInflateLimit, {"1536 KiB in all"});
  // The same parts within limits that allow them.
  EXPECT_NO_THROW(Read(many, InflateLimits{1 << 20, 2 << 20}));
  app_->Workbooks()->Close(app_->ActiveWorkbook());
}

/// Rewrites the uncompressed size the zip headers claim for one entry.
std::string ClaimSize(std::string zip, const std::string& name, std::uint32_t claimed) {
  auto patch = [&](const std::string& signature, std::size_t sizeAt, std::size_t nameLengthAt, std::size_t nameAt) {
    for (std::size_t at = zip.find(signature); at != std::string::npos; at = zip.find(signature, at + 4)) {
      const auto length = static_cast<std::size_t>(static_cast<unsigned char>(zip[at + nameLengthAt]) |
                                                   (static_cast<unsigned char>(zip[at + nameLengthAt + 1]) << 8));
      if (zip.compare(at + nameAt, length, name) != 0) continue;
      for (int k = 0; k < 4; ++k) zip[at + sizeAt + k] = static_cast<char>((claimed >> (8 * k)) & 0xFF);
    }
  };
  patch("PK\x03\x04", 22, 26, 30);  // local header
  patch("PK\x01\x02", 24, 28, 46);  // central directory
  return zip;
}

TEST_F(HostileTest, ABombWhoseHeadersLieAboutItsSize) {
  const std::string lying = ClaimSize(MakeZip(Workbook({{"S", PaddedSheet(8 << 20)}})), "xl/worksheets/sheet1.xml", 200);
  // The bytes inflated are counted, not the size claimed.
  ExpectFileError([&] { Read(lying, InflateLimits{1 << 20, 2 << 20}); }, kInflateLimit,
                  {"xl/worksheets/sheet1.xml", "1 MiB"});
}

TEST_F(HostileTest, ADamagedEntry) {
  std::string zip = MakeZip(Workbook({{"S", PaddedSheet(100000)}}));
  const std::size_t data = zip.find("PK\x03\x04") + 30 + std::string("xl/worksheets/sheet1.xml").size() + 20;
  for (std::size_t k = 0; k < 8; ++k) zip[data + k] = static_cast<char>(~zip[data + k]);
  ExpectFileError([&] { Read(zip); }, kCorruptArchive, {"evil.xlsx", "xl/worksheets/sheet1.xml", "damaged"});
}

TEST_F(HostileTest, SharedFormulasThatGrowTooLarge) {
  // One formula of 1,000 characters shared by 5,000 cells: 5 MB of formulas
  // from a part of about 150 KB.
  std::string formula = "$A$1";
  while (formula.size() < 1000) formula += "+$A$1";
  std::string rows = "<row r=\"1\"><c r=\"B1\"><f t=\"shared\" ref=\"B1:B5000\" si=\"0\">" + formula + "</f></c></row>";
  for (int r = 2; r <= 5000; ++r)
    rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"B" + std::to_string(r) + "\"><f t=\"shared\" si=\"0\"/></c></row>";
  const std::string file = MakeZip(Workbook({{"S", SheetXml(rows)}}));
  ExpectFileError([&] { Read(file, InflateLimits{1 << 20, 4 << 20}); }, kInflateLimit,
                  {"xl/worksheets/sheet1.xml", "formulas grow past"});
  EXPECT_NO_THROW(Read(file, InflateLimits{8 << 20, 16 << 20}));
  app_->Workbooks()->Close(app_->ActiveWorkbook());
}

TEST_F(HostileTest, SheetsSharingOnePart) {
  Entries entries = Workbook({{"A", SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")}});
  for (auto& [name, content] : entries) {
    if (name == "xl/workbook.xml") {
      const std::string one = "<sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/>";
      content.replace(content.find(one), one.size(), one + "<sheet name=\"B\" sheetId=\"2\" r:id=\"rId1\"/>");
    }
  }
  ExpectFileError([&] { Read(MakeZip(entries)); }, kBadStructure, {"evil.xlsx", "two sheets share", "sheet1.xml"});
}

TEST_F(HostileTest, MoreSheetsThanAnyWorkbookHolds) {
  std::vector<std::pair<std::string, std::string>> sheets;
  for (int i = 0; i <= 10000; ++i) sheets.emplace_back(std::string("S").append(std::to_string(i)), "<worksheet/>");
  ExpectFileError([&] { Read(MakeZip(Workbook(sheets), true)); }, kBadStructure, {"more than 10000 worksheets"});
}

TEST(HostileColumns, OverlappingColumnRecordsAreSkipped) {
  std::string cols = "<cols><col min=\"1\" max=\"16384\" width=\"9.7109375\"/>";
  for (int i = 0; i < 20000; ++i) cols += "<col min=\"2\" max=\"16384\" width=\"30\"/>";
  const std::string sheet = std::string("<worksheet xmlns=\"") + kMain + "\">" + cols + "</cols><sheetData/></worksheet>";
  auto app = host::Application::Create();
  const auto book = ReadXlsxBytes(*app, MakeZip(Workbook({{"S", sheet}})), "cols.xlsx");
  EXPECT_EQ(book->SheetList()[0]->ColumnWidth(2), 9.0);
  EXPECT_EQ(book->SheetList()[0]->ColumnWidth(16384), 9.0);
}

TEST(HostileSheetNames, AreRepairedNotRefused) {
  auto app = host::Application::Create();
  const auto book = ReadXlsxBytes(
      *app,
      MakeZip(Workbook({{"Data", SheetXml("")}, {"data", SheetXml("")}, {"a/b:c", SheetXml("")},
                        {"A name much longer than thirty-one characters", SheetXml("")}, {"", SheetXml("")}})),
      "names.xlsx");
  std::vector<std::string> names;
  for (const auto& s : book->SheetList()) names.push_back(s->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Data", "data (2)", "a_b_c", "A name much longer than thirty-", "Sheet5"}));
}

TEST(SheetNamer, NumbersCopiesAndKeepsEveryNameValid) {
  SheetNamer namer;
  EXPECT_EQ(namer.Take("Data"), "Data");
  EXPECT_EQ(namer.Take("DATA"), "DATA (2)");
  EXPECT_EQ(namer.Take("Data (2)"), "Data (2) (2)");
  EXPECT_EQ(namer.Take("data"), "data (3)");
  for (int i = 4; i <= 3000; ++i) EXPECT_EQ(namer.Take("Data"), "Data (" + std::to_string(i) + ")");
  const std::string longName(40, 'x');
  EXPECT_EQ(namer.Take(longName), std::string(31, 'x'));
  EXPECT_EQ(namer.Take(longName), std::string(27, 'x') + " (2)");
  EXPECT_EQ(namer.Take("bad\xFF" "byte"), "bad_byte");
  EXPECT_EQ(namer.Take("tab\there"), "tab_here");
  // 31 characters counted as the spreadsheet counts them: U+1F600 takes two.
  const std::string smileys = std::string(29, 'a') + "\xF0\x9F\x98\x80\xF0\x9F\x98\x80";
  EXPECT_EQ(namer.Take(smileys), std::string(29, 'a') + "\xF0\x9F\x98\x80");
  EXPECT_TRUE(IsValidSheetName(std::string(29, 'a') + "\xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidSheetName(smileys));
  EXPECT_FALSE(IsValidSheetName("'quoted'"));
  EXPECT_FALSE(IsValidSheetName("a[1]"));
}

}  // namespace
}  // namespace nml::files
