// Error numbers raised by the file readers and the workbook writer.
//
// They use the object-error band (0x80040000 + code) with codes 6100 to 6149,
// which neither the component (5000 to 5101) nor the support library (6001 to
// 6099) uses. Every error carries a description that names the file and the
// problem, for example "data.csv line 7: invalid UTF-8" or
// "book.xlsx: xl/worksheets/sheet1.xml: cell XFE1 lies outside the grid".
#pragma once

#include <cstdint>
#include <source_location>
#include <string>
#include <string_view>

#include "nmlcorrelation/error.h"

namespace nml::host::files {

// Any file.
inline constexpr std::int32_t kCannotOpenFile = 6100;        // the file does not exist or cannot be read
inline constexpr std::int32_t kUnsupportedFileType = 6101;   // the extension is neither .csv nor .xlsx/.xlsm
inline constexpr std::int32_t kWorkbookAlreadyOpen = 6102;   // a workbook of the same file name is already open
inline constexpr std::int32_t kFileTooLarge = 6103;          // the file is larger than the reader accepts

// CSV files.
inline constexpr std::int32_t kCsvInvalidUtf8 = 6110;        // a byte sequence that is not UTF-8 (the line is named)
inline constexpr std::int32_t kCsvRaggedRow = 6111;          // a line with a different number of fields than the first
inline constexpr std::int32_t kCsvUnclosedQuote = 6112;      // a quoted field still open at the end of the file
inline constexpr std::int32_t kCsvBadQuote = 6113;           // text between a closing quote and the next separator
inline constexpr std::int32_t kCsvTooManyRows = 6114;        // more lines than the grid's 1,048,576 rows
inline constexpr std::int32_t kCsvTooManyColumns = 6115;     // more fields than the grid's 16,384 columns

// Workbook (.xlsx) files.
inline constexpr std::int32_t kNotAZipArchive = 6120;        // not a zip archive (or an encrypted/legacy .xls file)
inline constexpr std::int32_t kMissingPart = 6121;           // a required part (workbook, a sheet) is missing
inline constexpr std::int32_t kMalformedXml = 6122;          // a part is not well-formed XML
inline constexpr std::int32_t kCellOutsideGrid = 6123;       // a cell or row reference past 1,048,576 rows / 16,384 columns
inline constexpr std::int32_t kInflateLimit = 6124;          // a part, or all parts together, inflate past the limit
inline constexpr std::int32_t kCorruptArchive = 6125;        // a damaged zip entry (bad checksum, truncated data)
inline constexpr std::int32_t kBadCellValue = 6126;          // a cell value that does not match its type
inline constexpr std::int32_t kNoWorksheets = 6127;          // the workbook holds no worksheet
inline constexpr std::int32_t kBadStructure = 6128;          // parts that do not fit together (two sheets on one part, too many sheets)

// Writing workbooks.
inline constexpr std::int32_t kWriteFailed = 6140;           // the file could not be written or moved into place
inline constexpr std::int32_t kAddinNotWritable = 6141;      // the add-in workbook is never written
inline constexpr std::int32_t kChartNotWritable = 6142;      // a chart whose anchor or series cannot be expressed
inline constexpr std::int32_t kCellNotWritable = 6143;       // a cell the file format cannot hold (text over 32,767 characters)

/// Short meaning of a code of this band, as listed above ("" for other codes).
std::string_view FileErrorMeaning(std::int32_t code);

/// Raises ComponentError(code) with the description given.
[[noreturn]] void RaiseFileError(std::int32_t code, std::string description,
                                 std::source_location where = std::source_location::current());

/// The last component of a path ("data.csv" for "/tmp/data.csv"), used to name
/// files in error descriptions and workbooks.
std::string FileNameOf(const std::string& path);

}  // namespace nml::host::files
