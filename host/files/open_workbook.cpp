#include "host/files/open_workbook.h"

#include <filesystem>

#include "common/ascii_text.h"
#include "host/files/csv_reader.h"
#include "host/files/file_errors.h"
#include "host/files/xlsx_reader.h"

namespace nml::host::files {

host::WorkbookRef OpenWorkbook(host::Application& app, const std::string& path) {
  const std::string ext = AsciiLowerCopy(std::filesystem::path(path).extension().string());
  if (ext == ".csv") return ReadCsv(app, path);
  if (ext == ".xlsx" || ext == ".xlsm") return ReadXlsx(app, path);
  const std::string name = FileNameOf(path);
  if (ext == ".xls")
    RaiseFileError(kUnsupportedFileType, name + ": the legacy .xls format is not read; save the file as .xlsx");
  RaiseFileError(kUnsupportedFileType,
                 name + ": unsupported file type" + (ext.empty() ? std::string() : " \"" + ext + "\"") +
                     " (open a .csv, .xlsx or .xlsm file)");
}

}  // namespace nml::host::files
