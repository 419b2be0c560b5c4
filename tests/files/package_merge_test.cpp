#include "host/files/package_merge.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "files_test_support.h"

namespace nml::host::files {
namespace {

const std::string kRelsNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const std::string kWorksheet = kRelsNs + "/worksheet";

std::string Rels(const std::vector<std::pair<std::string, std::string>>& idTarget, const std::string& type) {
  std::string out = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  for (const auto& [id, target] : idTarget)
    out += "<Relationship Id=\"" + id + "\" Type=\"" + (target == "styles.xml" ? kRelsNs + "/styles" : type) +
           "\" Target=\"" + target + "\"/>";
  return out + "</Relationships>";
}

// A package as another program writes it: sheets A (selected) and B, a name
// local to B, a custom number format, an opaque part; and optionally a chart
// sheet named "Report".
std::string Source(bool chartSheet) {
  const std::string chart = chartSheet ? "<sheet name=\"Report\" sheetId=\"3\" r:id=\"rId9\"/>" : "";
  return testing::MakeZip({
      {"[Content_Types].xml", "<Types xmlns=\"x\"><Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>"},
      {"_rels/.rels", Rels({{"rId1", "xl/workbook.xml"}}, kRelsNs + "/officeDocument")},
      {"xl/workbook.xml",
       "<workbook xmlns:r=\"" + kRelsNs + "\"><bookViews><workbookView activeTab=\"0\"/></bookViews><sheets>"
       "<sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"B\" sheetId=\"2\" r:id=\"rId2\"/>" + chart +
       "</sheets><definedNames><definedName name=\"Local\" localSheetId=\"1\">B!$A$1</definedName></definedNames>"
       "</workbook>"},
      {"xl/_rels/workbook.xml.rels",
       Rels({{"rId1", "worksheets/sheet1.xml"}, {"rId2", "worksheets/sheet2.xml"}, {"rId3", "styles.xml"}}, kWorksheet)},
      {"xl/styles.xml",
       "<styleSheet><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"0.0%\"/></numFmts>"
       "<fonts count=\"2\"><font/><font><b/></font></fonts><fills count=\"2\"><fill/><fill/></fills>"
       "<borders count=\"1\"><border/></borders><cellXfs count=\"3\"><xf/><xf fontId=\"1\"/><xf numFmtId=\"164\"/>"
       "</cellXfs></styleSheet>"},
      {"xl/worksheets/sheet1.xml", "<worksheet><sheetViews><sheetView tabSelected=\"1\"/></sheetViews></worksheet>"},
      {"xl/worksheets/sheet2.xml", "<worksheet><sheetData/></worksheet>"},
      {"xl/media/blob.bin", std::string("\x00\x01\xFF opaque", 9)},
  });
}

// The package written from the workbook: the report sheet first and active.
std::string Ours() {
  return testing::MakeZip({
      {"[Content_Types].xml",
       "<Types><Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"sheet+xml\"/></Types>"},
      {"xl/workbook.xml", "<workbook><bookViews><workbookView activeTab=\"0\"/></bookViews><sheets>"
                          "<sheet name=\"Report\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"a\" sheetId=\"2\" "
                          "r:id=\"rId2\"/><sheet name=\"B\" sheetId=\"3\" r:id=\"rId3\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels", Rels({{"rId1", "worksheets/sheet1.xml"}, {"rId2", "worksheets/sheet2.xml"},
                                           {"rId3", "worksheets/sheet3.xml"}}, kWorksheet)},
      {"xl/styles.xml",
       "<styleSheet><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"0.0000\"/></numFmts>"
       "<fonts count=\"1\"><font><b/><sz val=\"14\"/></font></fonts><fills count=\"1\"><fill/></fills>"
       "<borders count=\"1\"><border/></borders><cellXfs count=\"2\"><xf/><xf numFmtId=\"164\" fontId=\"0\" "
       "fillId=\"0\" borderId=\"0\"/></cellXfs></styleSheet>"},
      {"xl/worksheets/sheet1.xml", "<worksheet><cols><col min=\"1\" style=\"1\"/></cols><sheetData><row r=\"1\">"
                                   "<c r=\"A1\" s=\"1\"><is><t>x s=\"1\"</t></is></c></row></sheetData></worksheet>"},
      {"xl/worksheets/sheet2.xml", "<worksheet/>"},
      {"xl/worksheets/sheet3.xml", "<worksheet/>"},
  });
}

TEST(PackageMerge, NewSheetJoinsTheSourcePackageUnlessAChartSheetHasItsName) {
  const std::string sourceBytes = Source(false), ourBytes = Ours();
  ZipArchive source = ZipArchive::OpenBytes(sourceBytes, "book.xlsx");
  ZipArchive ours = ZipArchive::OpenBytes(ourBytes, "parts");
  std::string why;
  const auto merge = PackageMerge::Plan(source, ours, why);
  ASSERT_TRUE(merge) << why;
  // Only the new sheet is taken, under a name the source does not use, with
  // its cell and column formats moved past the source's three.
  EXPECT_EQ(merge->NewName("xl/worksheets/sheet2.xml"), nullptr);
  ASSERT_NE(merge->NewName("xl/worksheets/sheet1.xml"), nullptr);
  EXPECT_EQ(*merge->NewName("xl/worksheets/sheet1.xml"), "xl/worksheets/sheet3.xml");
  EXPECT_EQ(merge->Rewrite("xl/worksheets/sheet1.xml", ours.Read("xl/worksheets/sheet1.xml")),
            "<worksheet><cols><col min=\"1\" style=\"4\"/></cols><sheetData><row r=\"1\">"
            "<c r=\"A1\" s=\"4\"><is><t>x s=\"1\"</t></is></c></row></sheetData></worksheet>");

  test::TempFolder dir;
  const std::string path = dir.File("out.xlsx");
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  {
    ZipPackageWriter out(fd, "out.xlsx");
    merge->WriteSource(source, out);
    out.Finish();
  }
  ::close(fd);
  auto parts = testing::ZipEntries(path);
  const std::string& workbook = parts["xl/workbook.xml"];
  // The new sheet comes first, so B's local name moves to index 2 and the
  // view opens on the new sheet, which alone is selected.
  EXPECT_NE(workbook.find("<sheets><sheet name=\"Report\" sheetId=\"3\" r:id=\"rIdNml1\"/><sheet name=\"A\""),
            std::string::npos) << workbook;
  EXPECT_NE(workbook.find("localSheetId=\"2\""), std::string::npos) << workbook;
  EXPECT_NE(workbook.find("activeTab=\"0\""), std::string::npos) << workbook;
  EXPECT_EQ(parts["xl/worksheets/sheet1.xml"],
            "<worksheet><sheetViews><sheetView tabSelected=\"0\"/></sheetViews></worksheet>");
  EXPECT_NE(parts["xl/_rels/workbook.xml.rels"].find("Id=\"rIdNml1\" Type=\"" + kWorksheet +
                                                     "\" Target=\"worksheets/sheet3.xml\""),
            std::string::npos);
  EXPECT_NE(parts["[Content_Types].xml"].find("PartName=\"/xl/worksheets/sheet3.xml\" ContentType=\"sheet+xml\""),
            std::string::npos);
  // Styles: ours appended and re-indexed; our number format gets a free id.
  EXPECT_EQ(parts["xl/styles.xml"],
            "<styleSheet><numFmts count=\"2\"><numFmt numFmtId=\"164\" formatCode=\"0.0%\"/>"
            "<numFmt numFmtId=\"165\" formatCode=\"0.0000\"/></numFmts>"
            "<fonts count=\"3\"><font/><font><b/></font><font><b/><sz val=\"14\"/></font></fonts>"
            "<fills count=\"3\"><fill/><fill/><fill/></fills><borders count=\"2\"><border/><border/></borders>"
            "<cellXfs count=\"5\"><xf/><xf fontId=\"1\"/><xf numFmtId=\"164\"/><xf xfId=\"0\"/>"
            "<xf numFmtId=\"165\" fontId=\"2\" fillId=\"2\" borderId=\"1\" xfId=\"0\"/></cellXfs></styleSheet>");
  // The rest byte for byte.
  EXPECT_EQ(parts["xl/media/blob.bin"], std::string("\x00\x01\xFF opaque", 9));
  EXPECT_EQ(parts["xl/worksheets/sheet2.xml"], "<worksheet><sheetData/></worksheet>");
  EXPECT_EQ(parts.size(), 8u);

  // A new sheet named like a chart sheet of the source is refused.
  const std::string chartSourceBytes = Source(true);
  ZipArchive chartSource = ZipArchive::OpenBytes(chartSourceBytes, "book.xlsx");
  EXPECT_FALSE(PackageMerge::Plan(chartSource, ours, why));
  EXPECT_NE(why.find("chart"), std::string::npos) << why;
}

}  // namespace
}  // namespace nml::host::files
