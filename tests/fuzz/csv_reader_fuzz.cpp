// libFuzzer target: arbitrary bytes read as a CSV file. Every input must
// either become a workbook or raise a numbered error; nothing else.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/application.h"
#include "host/files/csv_reader.h"
#include "nmlcorrelation/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto app = nml::host::Application::CreateBare();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const auto book = nml::host::files::ReadCsvText(*app, bytes, "fuzz.csv");
    // The workbook is open and active with one sheet; close it for the next input.
    if (app->ActiveWorkbook() != book || book->SheetList().size() != 1) __builtin_trap();
    app->Workbooks()->Close(book);
  } catch (const nml::Error& e) {
    if (e.Description().find("fuzz.csv") == std::string::npos) __builtin_trap();
  }
  return 0;
}
