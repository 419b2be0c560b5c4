// Workbook (.xlsx, .xlsm) input: every worksheet with its values, formulas
// (kept as text next to their cached results), number formats and cell
// styles, read into a new workbook of the worksheet host.
#pragma once

#include <string>
#include <string_view>

#include "host/application.h"
#include "host/files/zip_archive.h"
#include "host/workbook.h"

namespace nml::host::files {

/// Reads the workbook at path as a new workbook named after the file
/// ("book.xlsx"), with its worksheets in file order under the names the file
/// gives them, made active with its first sheet active. Cells: numbers as
/// Doubles, shared and inline strings as text, booleans, error cells
/// (#N/A, #DIV/0!, ...) as Variant::ErrorValue, formulas as formula text
/// with their cached result as the value; shared formulas are spelled out per
/// cell. Column widths are kept as the width shown
/// (in digits of the default font, without the cell margins the file counts). Chart sheets and charts are not read.
///
/// Raises (description naming the file and the part): kCannotOpenFile,
/// kNotAZipArchive, kMissingPart, kMalformedXml, kCellOutsideGrid,
/// kInflateLimit, kCorruptArchive, kBadCellValue, kNoWorksheets,
/// kWorkbookAlreadyOpen. Nothing changes in app when reading fails.
host::WorkbookRef ReadXlsx(host::Application& app, const std::string& path, InflateLimits limits = {});

/// The same over the bytes of a file named fileName.
host::WorkbookRef ReadXlsxBytes(host::Application& app, std::string_view bytes, const std::string& fileName,
                                InflateLimits limits = {});

}  // namespace nml::host::files
