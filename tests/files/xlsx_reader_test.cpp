// Workbooks written by three other writers: one made part by part
// (handmade.xlsx), one by openpyxl, one by LibreOffice (see data/make_fixtures.py);
// and broken or hostile ones, each of which gets a numbered error naming the
// file and the problem, never a crash, and leaves the application as it was.
#include "host/files/xlsx_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "files_test_support.h"
#include "host/application.h"
#include "host/cell_format.h"
#include "host/files/open_workbook.h"
#include "host/files/xlsx_styles.h"
#include "host/files/xlsx_writer.h"

namespace nml::host::files {
namespace {

using testing::ExpectFileError;

class XlsxFixture : public ::testing::Test {
 protected:
  host::WorkbookRef Open(const std::string& name) { return OpenWorkbook(*app_, testing::FixturePath(name)); }
  const host::CellFormat& FormatAt(const host::WorksheetRef& s, int r, int c) {
    return app_->Formats().Get(s->Store().FormatId(r, c));
  }
  static std::string FormulaAt(const host::WorksheetRef& s, int r, int c) {
    const std::string* f = s->Store().Formula(r, c);
    return f ? *f : std::string("<none>");
  }
  std::shared_ptr<host::Application> app_ = host::Application::Create();
};

TEST_F(XlsxFixture, HandmadeValuesFormulasFormatsAndColumnWidths) {
  const auto book = Open("handmade.xlsx");
  ASSERT_EQ(book->SheetList().size(), 2u);
  const auto s = book->SheetList()[0];
  EXPECT_EQ(s->Name(), "Data & Notes");
  EXPECT_EQ(book->SheetList()[1]->Name(), "Zweites Blatt");
  EXPECT_EQ(app_->ActiveSheet(), s);
  const std::vector<std::tuple<int, int, Variant, const char*>> cells{
      {1, 1, Variant("alpha"), "<none>"},                  // shared string
      {1, 2, Variant("beta "), "<none>"},                  // rich runs joined, phonetic guide left out
      {1, 3, Variant("inline text"), "<none>"},
      {5, 2, Variant("rich inline"), "<none>"},
      {2, 6, Variant("line1\r\nline2 <&> caf\xC3\xA9 \xE2\x98\xBA"), "<none>"},  // _x000D_ and entities
      {3, 6, Variant("<raw> & text"), "<none>"},           // CDATA
      {8, 2, Variant("plain str"), "<none>"},
      {1, 4, Variant::Boolean(true), "<none>"},
      {1, 6, Variant::Boolean(false), "<none>"},
      {1, 5, Variant::ErrorValue(2007), "<none>"},         // #DIV/0!
      {5, 1, Variant(-0.001), "<none>"},
      {5, 5, Variant(1e300), "<none>"},
      {5, 6, Variant(7.0), "<none>"},                      // placed after E5 although it names no cell
      {4, 1, Variant(45351.0), "<none>"},                  // 2024-02-29
      {4, 2, Variant(1.5), "<none>"},                      // 1900-01-01 noon
      {2, 2, Variant(3.0), "A2*2"},                        // formulas keep text and cached result
      {2, 3, Variant("ALPHA"), "UPPER(A1)"},
      {2, 5, Variant::ErrorValue(2042), "NA()"},
      {2, 4, Variant(6.0), "A2+$A$2*B$2"},                 // a shared formula, spelled out for every cell
      {3, 4, Variant(4.75), "A3+$A$2*B$2"},
  };
  for (const auto& [r, c, value, formula] : cells) {
    EXPECT_EQ(s->Store().Get(r, c), value) << r << "," << c;
    EXPECT_EQ(FormulaAt(s, r, c), formula) << r << "," << c;
  }
  EXPECT_EQ(s->Store().UsedRect(), (host::CellRect{1, 1, 8, 6}));
  EXPECT_EQ(book->SheetList()[1]->Store().Get(2, 2), Variant(42.0));  // prefixed elements
  EXPECT_EQ(book->SheetList()[1]->Store().Get(2, 3), Variant("alpha"));
  EXPECT_EQ(FormatAt(s, 2, 1).numberFormat, "0.000");
  EXPECT_EQ(FormatAt(s, 3, 1).numberFormat, "0.00%");
  // FFFF99 is palette colour 36, indexed 22 palette colour 15.
  EXPECT_EQ(FormatAt(s, 1, 2),
            (host::CellFormat{.bold = true, .border = true, .fillColorIndex = 36, .horizontalAlignment = host::kAlignCenter}));
  EXPECT_EQ(FormatAt(s, 4, 5), (host::CellFormat{.fillColorIndex = 15, .horizontalAlignment = host::kAlignLeft}));
  EXPECT_EQ(s->Store().FormatId(1, 1), 0u);
  // Widths as shown: the file's widths include 5 pixels of margins, digits are 7 pixels.
  EXPECT_EQ(s->ColumnWidth(1), 19.71);  // 20.5 in the file: 143 pixels
  EXPECT_EQ(s->ColumnWidth(2), 0.0);
  EXPECT_EQ(s->ColumnWidth(3), 11.29);  // 12 in the file: 84 pixels
  EXPECT_EQ(s->ColumnWidth(4), 11.29);
}

TEST_F(XlsxFixture, WhatOpenpyxlAndLibreOfficeWrite) {
  // LibreOffice saved openpyxl's workbook again, adding the formula's result.
  for (const auto& [file, cachedResult] :
       {std::pair{"openpyxl.xlsx", Variant()}, std::pair{"libreoffice.xlsx", Variant(20.0)}}) {
    const auto book = Open(file);
    ASSERT_EQ(book->SheetList().size(), 2u) << file;
    const auto s = book->SheetList()[0];
    EXPECT_EQ(s->Name(), "Messwerte") << file;
    const host::CellStore& st = s->Store();
    EXPECT_EQ(st.Get(2, 1), Variant("Ann")) << file;
    EXPECT_EQ(st.Get(3, 3), Variant(81.25)) << file;
    EXPECT_EQ(st.Get(2, 4), Variant::Boolean(true)) << file;
    EXPECT_TRUE(st.Get(4, 3).IsEmpty()) << file;
    EXPECT_EQ(st.Get(4, 4), Variant::ErrorValue(2042)) << file;
    EXPECT_EQ(FormatAt(s, 2, 2).numberFormat, "0.00") << file;
    EXPECT_EQ(FormatAt(s, 3, 3).numberFormat, "#,##0.0") << file;
    const auto second = book->SheetList()[1];
    EXPECT_EQ(second->Store().Get(5, 3), Variant("far away")) << file;
    EXPECT_EQ(FormulaAt(second, 2, 1), "A1*2") << file;
    EXPECT_EQ(second->Store().Get(2, 1), cachedResult) << file;
  }
  const auto s = app_->Workbooks()->Item("openpyxl.xlsx")->SheetList()[0];
  EXPECT_EQ(FormatAt(s, 1, 1),
            (host::CellFormat{.bold = true, .border = true, .fillColorIndex = 15, .horizontalAlignment = host::kAlignRight}));
  EXPECT_EQ(s->ColumnWidth(1), 14.29);  // openpyxl stores 15, which shows as 14.29
}

using testing::MakeZip;
using Entries = std::vector<std::pair<std::string, std::string>>;

const char* const kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const std::string kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string SheetXml(const std::string& rows) {
  return std::string("<?xml version=\"1.0\"?><worksheet xmlns=\"") + kMain + "\"><sheetData>" + rows +
         "</sheetData></worksheet>";
}

/// The parts of a workbook with the sheets given (name, worksheet XML), and a
/// shared string table and a style sheet if given; no package relationships,
/// so the workbook is found where it usually is.
Entries Workbook(const Entries& sheets, const std::string& sst = {}, const std::string& styles = {}) {
  std::string workbook = std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + kRel + "\"><sheets>";
  std::string rels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  Entries entries;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    workbook += "<sheet name=\"" + sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + kRel + "/worksheet\" Target=\"worksheets/sheet" + n +
            ".xml\"/>";
    entries.emplace_back("xl/worksheets/sheet" + n + ".xml", sheets[i].second);
  }
  if (!sst.empty()) {
    rels += "<Relationship Id=\"rIdS\" Type=\"" + kRel + "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    entries.emplace_back("xl/sharedStrings.xml", sst);
  }
  if (!styles.empty()) {
    rels += "<Relationship Id=\"rIdT\" Type=\"" + kRel + "/styles\" Target=\"styles.xml\"/>";
    entries.emplace_back("xl/styles.xml", std::string("<styleSheet xmlns=\"") + kMain + "\">" + styles + "</styleSheet>");
  }
  entries.emplace_back("xl/workbook.xml", workbook + "</sheets></workbook>");
  entries.emplace_back("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
  return entries;
}

/// A worksheet part of about `bytes` bytes that deflates to almost nothing.
std::string PaddedSheet(std::size_t bytes) {
  return SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>" + std::string(bytes, ' '));
}

class HostileTest : public ::testing::Test {
 protected:
  void Read(const std::string& bytes, InflateLimits limits = {}) { ReadXlsxBytes(*app_, bytes, "evil.xlsx", limits); }
  void Refused(const std::string& bytes, std::int32_t code, std::vector<std::string> parts, InflateLimits limits = {}) {
    ExpectFileError([&] { Read(bytes, limits); }, code, std::move(parts));
  }
  void TearDown() override { EXPECT_EQ(app_->Workbooks()->Count(), 0) << "a failed read opened a workbook"; }
  std::shared_ptr<host::Application> app_ = host::Application::Create();
};

TEST_F(HostileTest, NotAZipOrAZipWithoutAWorkbook) {
  const std::string whole = MakeZip(Workbook({{"S", PaddedSheet(10)}}));  // cut in half: no directory
  Entries noSheetPart = Workbook({{"S", SheetXml("")}});
  noSheetPart.erase(noSheetPart.begin());
  Refused("name,value\n1,2\n", kNotAZipArchive, {"evil.xlsx", "not a zip archive"});
  Refused(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'), kNotAZipArchive,
          {"evil.xlsx", "encrypted"});
  Refused("", kNotAZipArchive, {"evil.xlsx"});
  Refused(whole.substr(0, whole.size() / 2), kNotAZipArchive, {"evil.xlsx"});
  Refused(MakeZip({{"readme.txt", "hello"}}), kMissingPart, {"evil.xlsx", "no workbook part"});
  Refused(MakeZip(noSheetPart), kMissingPart, {"xl/worksheets/sheet1.xml"});
  Refused(MakeZip(Workbook({})), kNoWorksheets, {"evil.xlsx", "no worksheet"});
  Refused(MakeZip({{"xl/workbook.xml", "<workbook><sheets>"}}), kMalformedXml, {"evil.xlsx: xl/workbook.xml", "malformed XML"});
}

TEST_F(HostileTest, BadWorksheetParts) {
  std::string deep, wide = "<row r=\"1\">";
  for (int i = 0; i < 1000; ++i) deep += "<a>";
  for (int i = 0; i <= host::kMaxColumns; ++i) wide += "<c><v>1</v></c>";
  const std::string sst = "<sst><si><t>only</t></si></sst>";
  struct Case {
    std::string sheet;
    std::int32_t code;
    std::vector<std::string> parts;
    std::string sst = {};
  };
  const std::vector<Case> cases{
      // Malformed XML.
      {SheetXml("<row>\n<c r=\"A1\"><v>1</c></row>"), kMalformedXml,
       {"evil.xlsx: xl/worksheets/sheet1.xml", "line 2", "</c>"}},
      {SheetXml("<row><c r=\"A1\" t=\"n><v>1</v></c></row>"), kMalformedXml, {}},
      {SheetXml("<row><c r=\"A1\"><v>1 &bogus; </v></c></row>"), kMalformedXml, {"&bogus;"}},
      {SheetXml("<row><c r=\"A1\"><v>&#0;</v></c></row>"), kMalformedXml, {"character reference"}},
      {"<worksheet><sheetData>", kMalformedXml, {"ends inside"}},
      {SheetXml("") + "<second/>", kMalformedXml, {"second root"}},
      {SheetXml("<row><c r=\"A1\" t=\"inlineStr\"><is><t>\xC3\x28</t></is></c></row>"), kMalformedXml, {"not UTF-8"}},
      {"<!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;\">]><worksheet><sheetData><row><c "
       "t=\"inlineStr\"><is><t>&lol2;</t></is></c></row></sheetData></worksheet>",
       kMalformedXml, {"document type"}},  // entity expansion needs a document type declaration
      {"<worksheet>" + deep, kMalformedXml, {"nested too deeply"}},
      // Cells that claim places past the grid.
      {SheetXml("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"), kCellOutsideGrid,
       {"evil.xlsx: xl/worksheets/sheet1.xml", "XFE1", "outside the grid"}},
      {SheetXml("<row r=\"1\"><c r=\"A1048577\"><v>1</v></c></row>"), kCellOutsideGrid, {"A1048577"}},
      {SheetXml("<row r=\"1\"><c r=\"A99999999999999999999\"><v>1</v></c></row>"), kCellOutsideGrid, {}},
      {SheetXml("<row r=\"1048577\"><c><v>1</v></c></row>"), kCellOutsideGrid, {"row 1048577"}},
      {SheetXml(wide + "</row>"), kCellOutsideGrid, {"16,384"}},
      // Values that do not match their type.
      {SheetXml("<row r=\"1\"><c r=\"1A\"><v>1</v></c></row>"), kBadCellValue, {"bad cell reference"}},
      {SheetXml("<row><c r=\"B3\"><v>12abc</v></c></row>"), kBadCellValue, {"cell B3", "not a number"}},
      {SheetXml("<row><c r=\"A1\"><v>nan</v></c></row>"), kBadCellValue, {}},
      {SheetXml("<row><c r=\"A1\" t=\"s\"><v>0</v></c></row>"), kBadCellValue, {"shared string"}},
      {SheetXml("<row><c r=\"A1\" t=\"s\"><v>1</v></c></row>"), kBadCellValue, {"shared string \"1\""}, sst},
      {SheetXml("<row><c r=\"A1\" t=\"b\"><v>2</v></c></row>"), kBadCellValue, {"boolean"}},
      {SheetXml("<row><c r=\"A1\" t=\"zz\"><v>2</v></c></row>"), kBadCellValue, {"unknown cell type"}},
      {SheetXml("<row><c r=\"A1\" t=\"d\"><v>2024-13-01</v></c></row>"), kBadCellValue, {"not a date"}},
  };
  for (const Case& c : cases) Refused(MakeZip(Workbook({{"S", c.sheet}}, c.sst)), c.code, c.parts);
}

/// Rewrites the uncompressed size the zip headers claim for one entry.
std::string ClaimSize(std::string zip, const std::string& name, std::uint32_t claimed) {
  auto patch = [&](const std::string& signature, std::size_t sizeAt, std::size_t nameAt) {
    for (std::size_t at = zip.find(signature); at != std::string::npos; at = zip.find(signature, at + 4)) {
      if (zip.compare(at + nameAt, name.size(), name) != 0) continue;
      for (int k = 0; k < 4; ++k) zip[at + sizeAt + k] = static_cast<char>((claimed >> (8 * k)) & 0xFF);
    }
  };
  patch("PK\x03\x04", 22, 30);  // local header
  patch("PK\x01\x02", 24, 46);  // central directory
  return zip;
}

// A small file whose text, spelled out into cells or styles, would take far
// more memory than the file holds: refused before it is built.
TEST_F(HostileTest, RepeatedSharedStringsAndNumberFormats) {
  const std::string big(std::size_t{1} << 20, '0');  // 1 MiB that deflates to almost nothing
  std::string rows;
  for (int r = 1; r <= 200; ++r) rows += "<row r=\"" + std::to_string(r) + "\"><c t=\"s\"><v>0</v></c></row>";
  Refused(MakeZip(Workbook({{"S", SheetXml(rows)}}, "<sst><si><t>" + big + "</t></si></sst>")), kInflateLimit,
          {"shared strings", "four times"});

  std::string xfs;
  for (const char* align : {"left", "center", "right", "general"})
    xfs += std::string("<xf numFmtId=\"164\"><alignment horizontal=\"") + align + "\"/></xf>";
  const std::string styles =
      "<numFmts><numFmt numFmtId=\"164\" formatCode=\"" + big + "\"/></numFmts><cellXfs>" + xfs + "</cellXfs>";
  Refused(MakeZip(Workbook({{"S", SheetXml("")}}, {}, styles)), kInflateLimit, {"xl/styles.xml", "number formats"});
}

TEST_F(HostileTest, DecompressionBombs) {
  const InflateLimits small{1 << 20, 3 << 19};  // 1 MiB a part, 1.5 MiB in all
  const std::string bomb = MakeZip(Workbook({{"S", PaddedSheet(8 << 20)}}));
  ASSERT_LT(bomb.size(), 64u << 10);
  Refused(bomb, kInflateLimit, {"evil.xlsx", "xl/worksheets/sheet1.xml", "1 MiB"}, small);
  // Parts each under the limit, together over it; the same parts pass limits that allow them.
  const std::string many = MakeZip(Workbook({{"A", PaddedSheet(900 << 10)}, {"B", PaddedSheet(900 << 10)}}));
  Refused(many, kInflateLimit, {"1536 KiB in all"}, small);
  EXPECT_NO_THROW(Read(many, InflateLimits{1 << 20, 2 << 20}));
  app_->Workbooks()->Close(app_->ActiveWorkbook());
  // A part of real numbers (packing about 3 to 1) may pass the per-part
  // limit up to the total one; padding of the same size may not.
  std::string numbers;
  std::uint64_t x = 12345;
  for (int r = 1; numbers.size() < (3u << 20); ++r) {
    x = x * 6364136223846793005u + 1442695040888963407u;
    numbers += "<row r=\"" + std::to_string(r) + "\"><c><v>" + std::to_string(x >> 11) + "</v></c></row>";
  }
  const InflateLimits roomy{1 << 20, 8 << 20};
  EXPECT_NO_THROW(Read(MakeZip(Workbook({{"N", SheetXml(numbers)}})), roomy));
  app_->Workbooks()->Close(app_->ActiveWorkbook());
  Refused(MakeZip(Workbook({{"S", PaddedSheet(3 << 20)}})), kInflateLimit, {"1 MiB"}, roomy);

  // The bytes inflated are counted, not the size claimed.
  Refused(ClaimSize(bomb, "xl/worksheets/sheet1.xml", 200), kInflateLimit, {"xl/worksheets/sheet1.xml", "1 MiB"},
          {1 << 20, 2 << 20});
}

TEST_F(HostileTest, SharedFormulasThatGrowTooLarge) {
  // One formula of 1,000 characters shared by 5,000 cells: 5 MB of formulas from a part of about 150 KB.
  std::string formula = "$A$1";
  while (formula.size() < 1000) formula += "+$A$1";
  std::string rows = "<row r=\"1\"><c r=\"B1\"><f t=\"shared\" ref=\"B1:B5000\" si=\"0\">" + formula + "</f></c></row>";
  for (int r = 2; r <= 5000; ++r) {
    const std::string n = std::to_string(r);
    rows += "<row r=\"" + n + "\"><c r=\"B" + n + "\"><f t=\"shared\" si=\"0\"/></c></row>";
  }
  const std::string file = MakeZip(Workbook({{"S", SheetXml(rows)}}));
  Refused(file, kInflateLimit, {"xl/worksheets/sheet1.xml", "formulas grow past"}, {1 << 20, 4 << 20});
  EXPECT_NO_THROW(Read(file, InflateLimits{8 << 20, 16 << 20}));
  app_->Workbooks()->Close(app_->ActiveWorkbook());
}

TEST_F(HostileTest, DamagedEntriesAndImpossibleStructures) {
  std::string zip = MakeZip(Workbook({{"S", PaddedSheet(100000)}}));
  const std::size_t data = zip.find("PK\x03\x04") + 30 + std::string("xl/worksheets/sheet1.xml").size() + 20;
  for (std::size_t k = 0; k < 8; ++k) zip[data + k] = static_cast<char>(~zip[data + k]);
  Refused(zip, kCorruptArchive, {"evil.xlsx", "xl/worksheets/sheet1.xml", "damaged"});

  Entries shared = Workbook({{"A", SheetXml("")}});
  const std::string one = "<sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/>";
  for (auto& [name, content] : shared)
    if (name == "xl/workbook.xml")
      content.replace(content.find(one), one.size(), one + "<sheet name=\"B\" sheetId=\"2\" r:id=\"rId1\"/>");
  Refused(MakeZip(shared), kBadStructure, {"evil.xlsx", "two sheets share", "sheet1.xml"});

  Entries sheets;
  for (int i = 0; i <= 10000; ++i) sheets.emplace_back(std::string("S").append(std::to_string(i)), "<worksheet/>");
  Refused(MakeZip(Workbook(sheets), true), kBadStructure, {"more than 10000 worksheets"});
}

// Repaired or rounded: overlapping column records, bad sheet names, numbers too small for a double.
using HostileRepairs = XlsxFixture;

TEST_F(HostileRepairs, OverlappingColumnRecordsBadSheetNamesAndTinyNumbers) {
  std::string cols = "<cols><col min=\"1\" max=\"16384\" width=\"9.7109375\"/>";
  for (int i = 0; i < 20000; ++i) cols += "<col min=\"2\" max=\"16384\" width=\"30\"/>";
  const std::string smiley = "\xF0\x9F\x98\x80";
  const Entries sheets{{"Data", std::string("<worksheet xmlns=\"") + kMain + "\">" + cols + "</cols></worksheet>"},
                       {"data", SheetXml("<row r=\"1\"><c r=\"A1\"><v>1e-400</v></c><c r=\"B1\"><v>3e-324</v></c>"
                                         "<c r=\"C1\"><v>-2.5E-330</v></c></row>")},
                       {"a/b:c", SheetXml("")},
                       {"A name much longer than thirty-one characters", SheetXml("")},
                       {"", SheetXml("")},
                       {std::string(29, 'a') + smiley + smiley, SheetXml("")}};
  const auto book = ReadXlsxBytes(*app_, MakeZip(Workbook(sheets)), "repairs.xlsx");
  EXPECT_EQ(book->SheetList()[0]->ColumnWidth(2), 9.0);  // later records overlapping the first are skipped
  EXPECT_EQ(book->SheetList()[0]->ColumnWidth(16384), 9.0);
  // Too small for a double: the value they round to.
  const host::CellStore& tiny = book->SheetList()[1]->Store();
  EXPECT_EQ(tiny.Get(1, 1), Variant(0.0));
  EXPECT_EQ(tiny.Get(1, 2), Variant(4.9406564584124654e-324));  // the smallest subnormal
  EXPECT_EQ(tiny.Get(1, 3), Variant(-0.0));
  std::vector<std::string> names;
  for (const auto& s : book->SheetList()) names.push_back(s->Name());
  // 31 characters counted as the spreadsheet counts them: U+1F600 takes two.
  EXPECT_EQ(names, (std::vector<std::string>{"Data", "data (2)", "a_b_c", "A name much longer than thirty-", "Sheet5",
                                             std::string(29, 'a') + smiley}));
}

using DateSystems = XlsxFixture;

TEST_F(DateSystems, A1904WorkbookKeepsItsDatesWhenSavedAndReadBack) {
  // Styles: 0 General, 1 a built-in date (14), 2 a built-in time (20), 3 a
  // custom format with a quoted "d" that is not a date.
  const std::string styles = "<numFmts><numFmt numFmtId=\"164\" formatCode=\"0&quot; days&quot;\"/></numFmts>"
                             "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"20\"/>"
                             "<xf numFmtId=\"164\"/></cellXfs>";
  Entries parts = Workbook({{"Dates", SheetXml("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>0</v></c>"
                                               "<c r=\"B1\" s=\"1\"><v>43000</v></c><c r=\"C1\" s=\"2\"><v>0.5</v></c>"
                                               "<c r=\"D1\"><v>5</v></c><c r=\"E1\" s=\"3\"><v>7</v></c>"
                                               "<c r=\"F1\" t=\"d\"><v>2024-02-29T12:45:00Z</v></c></row>")}},
                           {}, styles);
  for (auto& [name, text] : parts)
    if (name == "xl/workbook.xml") text.replace(text.find("<sheets>"), 8, "<workbookPr date1904=\"1\"/><sheets>");

  // Serials of the 1900 date system, as the spreadsheet shows them: 1904-01-01
  // is 1462, 2021-09-21 (43000 days after 1904-01-01) is 44462, 2024-02-29 is
  // 45351 (12:45 is 17/32 of a day). Times, plain numbers and formats that
  // only quote a "d" stay.
  const double expected[] = {1462, 44462, 0.5, 5, 7, 45351.53125};
  const auto book = ReadXlsxBytes(*app_, MakeZip(parts), "mac.xlsx");
  test::TempFolder dir;
  SaveWorkbook(*book, dir.File("saved.xlsx"));
  const auto back = OpenWorkbook(*app_, dir.File("saved.xlsx"));
  for (const auto& b : {book, back})
    for (int c = 1; c <= 6; ++c) EXPECT_EQ(b->SheetList()[0]->Store().Get(1, c).ToDouble(), expected[c - 1]) << b->Name() << " column " << c;

  for (const char* date : {"mm-dd-yy", "d-mmm", "mmm", "yyyy", "[$-409]mmmm d", "DD/MM/YYYY"}) EXPECT_TRUE(IsDateFormat(date)) << date;
  for (const char* other : {"General", "0.00", "h:mm", "mm:ss", "[h]:mm", "0\" days\"", "[Red]0", "\\d0", "0.00E+00"})
    EXPECT_FALSE(IsDateFormat(other)) << other;
}

}  // namespace
}  // namespace nml::host::files
