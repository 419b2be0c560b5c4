#include "host/files/file_errors.h"

#include <filesystem>

namespace nml::host::files {

std::string_view FileErrorMeaning(std::int32_t code) {
  switch (code) {
    case kCannotOpenFile: return "the file does not exist or cannot be read";
    case kUnsupportedFileType: return "the file type is not supported (only .csv, .xlsx and .xlsm)";
    case kWorkbookAlreadyOpen: return "a workbook with the same file name is already open";
    case kFileTooLarge: return "the file is larger than the reader accepts";
    case kCsvInvalidUtf8: return "a CSV line holds bytes that are not UTF-8";
    case kCsvRaggedRow: return "a CSV line has a different number of fields than the first line";
    case kCsvUnclosedQuote: return "a quoted CSV field is not closed before the end of the file";
    case kCsvBadQuote: return "text follows a closing quote in a CSV field";
    case kCsvTooManyRows: return "the CSV file has more lines than the grid has rows";
    case kCsvTooManyColumns: return "a CSV line has more fields than the grid has columns";
    case kNotAZipArchive: return "the file is not an xlsx workbook (not a zip archive)";
    case kMissingPart: return "a part the workbook needs is missing";
    case kMalformedXml: return "a part of the workbook is not well-formed XML";
    case kCellOutsideGrid: return "a cell or row lies outside the grid";
    case kInflateLimit: return "the workbook inflates past the size limit (possible decompression bomb)";
    case kCorruptArchive: return "the zip archive is damaged";
    case kBadCellValue: return "a cell value does not match its type";
    case kNoWorksheets: return "the workbook holds no worksheet";
    case kBadStructure: return "the parts of the workbook do not fit together";
    case kWriteFailed: return "the workbook file could not be written";
    case kAddinNotWritable: return "the add-in workbook cannot be saved";
    case kChartNotWritable: return "a chart refers to cells the file cannot reference";
    case kCellNotWritable: return "a cell holds a value the file format cannot store";
    default: return {};
  }
}

void RaiseFileError(std::int32_t code, std::string description, std::source_location where) {
  throw Error(ComponentError(code), std::move(description), {}, where);
}

std::string FileNameOf(const std::string& path) {
  std::string name = std::filesystem::path(path).filename().string();
  return name.empty() ? path : name;
}

}  // namespace nml::host::files
