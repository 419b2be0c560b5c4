// What both readers share: reading a file into memory, and building a
// workbook out of sight of the application so that a reader that fails half
// way leaves the application exactly as it was.
#pragma once

#include <cstdint>
#include <string>

#include "host/application.h"
#include "host/workbook.h"

namespace nml::host::files {

/// Reads a whole file. A missing or unreadable file raises kCannotOpenFile,
/// one larger than maxBytes raises kFileTooLarge; displayName names the file
/// in the description.
std::string ReadWholeFile(const std::string& path, const std::string& displayName, std::uint64_t maxBytes);

/// A new empty workbook (no sheets) belonging to app but not yet open in it.
/// Raises kWorkbookAlreadyOpen when a workbook of that name (ignoring case) is open.
host::WorkbookRef NewDetachedWorkbook(host::Application& app, const std::string& name);

/// Opens a workbook made by NewDetachedWorkbook: adds it to the open
/// workbooks, makes it the active workbook and its first sheet the active sheet.
void AttachWorkbook(host::Application& app, const host::WorkbookRef& book);

}  // namespace nml::host::files
