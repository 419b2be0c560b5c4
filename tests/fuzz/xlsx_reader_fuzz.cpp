// libFuzzer target for the workbook reader. The first byte picks what the
// rest of the input is:
//   0: a whole .xlsx file (the zip container and everything in it);
//   1: the XML of the one worksheet of an otherwise valid workbook;
//   2: its shared strings part (the sheet refers to strings 0 to 3);
//   3: its styles part (the sheet's cells use formats 0 to 4).
// Modes 1 to 3 wrap the bytes into a valid archive (stored, so no checksum
// stands between the mutations and the XML readers). Every input must either
// become a workbook or raise a numbered error naming the file.
#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/application.h"
#include "host/files/xlsx_reader.h"
#include "nmlcorrelation/error.h"

namespace {

constexpr const char* kWorkbook =
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
    "<sheet name=\"Fuzz\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
constexpr const char* kRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
    "Target=\"sharedStrings.xml\"/>"
    "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/></Relationships>";
constexpr const char* kSheet =
    "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\" s=\"1\"><v>0</v></c><c t=\"s\" s=\"2\"><v>3</v></c>"
    "<c s=\"4\"><v>1.5</v></c><c s=\"3\"><f>A1</f><v>2</v></c></row></sheetData></worksheet>";
constexpr const char* kStrings = "<sst><si><t>a</t></si><si><t>b</t></si><si><t>c</t></si><si><t>d</t></si></sst>";
constexpr const char* kStyles =
    "<styleSheet><cellXfs><xf/><xf numFmtId=\"2\"/><xf numFmtId=\"10\"/><xf/><xf/></cellXfs></styleSheet>";

/// A stored (uncompressed) archive of the parts, with one part replaced.
std::string Package(const std::string& replaced, std::string_view bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(buffer);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  const std::pair<std::string, std::string_view> parts[] = {
      {"xl/workbook.xml", kWorkbook},           {"xl/_rels/workbook.xml.rels", kRels},
      {"xl/worksheets/sheet1.xml", kSheet},     {"xl/sharedStrings.xml", kStrings},
      {"xl/styles.xml", kStyles},
  };
  for (const auto& [name, content] : parts) {
    const std::string_view use = name == replaced ? bytes : content;
    zip_source_t* data = zip_source_buffer(archive, use.data(), use.size(), 0);
    const zip_int64_t index = zip_file_add(archive, name.c_str(), data, 0);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  zip_close(archive);
  zip_stat_t st;
  zip_source_stat(buffer, &st);
  std::string out(static_cast<std::size_t>(st.size), '\0');
  zip_source_open(buffer);
  zip_source_read(buffer, out.data(), st.size);
  zip_source_close(buffer);
  zip_source_free(buffer);
  zip_error_fini(&error);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto app = nml::host::Application::CreateBare();
  if (size < 1) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string file;
  switch (data[0] % 4) {
    case 0: file.assign(rest); break;
    case 1: file = Package("xl/worksheets/sheet1.xml", rest); break;
    case 2: file = Package("xl/sharedStrings.xml", rest); break;
    default: file = Package("xl/styles.xml", rest); break;
  }
  // Small limits keep every run quick; they are checked like the real ones.
  const nml::host::files::InflateLimits limits{std::uint64_t{16} << 20, std::uint64_t{32} << 20};
  try {
    const auto book = nml::host::files::ReadXlsxBytes(*app, file, "fuzz.xlsx", limits);
    if (app->ActiveWorkbook() != book || book->SheetList().empty()) __builtin_trap();
    app->Workbooks()->Close(book);
  } catch (const nml::Error& e) {
    if (e.Description().find("fuzz.xlsx") == std::string::npos) __builtin_trap();
  }
  return 0;
}
