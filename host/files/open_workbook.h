// Opening a data file as a workbook, by its extension.
#pragma once

#include <string>

#include "host/application.h"
#include "host/workbook.h"

namespace nml::host::files {

/// Opens a .csv (ReadCsv) or .xlsx / .xlsm (ReadXlsx) file, the extension
/// compared ignoring case, as a new workbook named after the file, made
/// active with its first sheet active. Any other extension raises
/// kUnsupportedFileType; the readers' errors pass through.
///
///   auto app = host::Application::Create();
///   host::WorkbookRef book = files::OpenWorkbook(*app, "data.csv");
host::WorkbookRef OpenWorkbook(host::Application& app, const std::string& path);

}  // namespace nml::host::files
