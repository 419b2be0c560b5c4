// CSV input: RFC 4180 files in UTF-8 (with or without a byte-order mark, CRLF,
// LF or CR line ends) read into a new workbook of the worksheet host.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "host/application.h"
#include "host/workbook.h"
#include "nmlcorrelation/variant.h"

namespace nml::host::files {

/// Largest CSV file read (1 GiB).
inline constexpr std::uint64_t kMaxCsvBytes = std::uint64_t{1} << 30;

/// Receives one non-empty field: its 1-based row and column and its text,
/// with quotes removed and doubled quotes undone. The text is valid only
/// during the call.
using CsvFieldSink = std::function<void(std::int32_t row, std::int32_t column, std::string_view text)>;

/// Splits CSV text into fields. Every line is a row (an empty line is an empty
/// row); every line that is not empty must have as many fields as the first
/// one. Raises, naming fileName and the line: kCsvInvalidUtf8, kCsvRaggedRow,
/// kCsvUnclosedQuote, kCsvBadQuote, kCsvTooManyRows, kCsvTooManyColumns.
void ParseCsv(std::string_view bytes, const std::string& fileName, const CsvFieldSink& sink);

/// The cell value of a field: a Double when the text, without surrounding
/// spaces and tabs and an optional leading "+", is a finite number in the C
/// locale ("12", " 12 ", "-1.5", "1e5", ".5"); otherwise the text itself
/// ("-", "1,5", "inf", "0x1A", "12%").
Variant CsvFieldValue(std::string_view text);

/// Reads CSV text as a new workbook named fileName with one sheet named after
/// the file's stem (made a valid sheet name), made active with its sheet.
/// Nothing changes in app when the text is rejected.
host::WorkbookRef ReadCsvText(host::Application& app, std::string_view bytes, const std::string& fileName);

/// Reads the CSV file at path (see ReadCsvText); the workbook is named after
/// the file ("data.csv"). Also raises kCannotOpenFile and kFileTooLarge.
host::WorkbookRef ReadCsv(host::Application& app, const std::string& path);

}  // namespace nml::host::files
