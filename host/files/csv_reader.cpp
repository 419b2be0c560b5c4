#include "host/files/csv_reader.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/number_text.h"
#include "host/cell_rect.h"
#include "host/files/file_errors.h"
#include "host/files/sheet_names.h"
#include "common/utf8.h"
#include "host/files/workbook_builder.h"

namespace nml::host::files {
namespace {

[[noreturn]] void LineError(std::int32_t code, const std::string& fileName, std::int64_t line, const std::string& what) {
  RaiseFileError(code, fileName + " line " + std::to_string(line) + ": " + what);
}

/// Checks the whole text before any cell is made, so that the line of the
/// first bad byte is reported and no field needs checking later.
void CheckUtf8(std::string_view text, const std::string& fileName) {
  std::int64_t line = 1;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c == '\n' || (c == '\r' && (i + 1 == n || text[i + 1] != '\n'))) ++line;
      ++i;
      continue;
    }
    char32_t cp = 0;
    const int len = DecodeUtf8(text, i, cp);
    if (len == 0) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X", c);
      LineError(kCsvInvalidUtf8, fileName, line, std::string("invalid UTF-8 (byte ") + hex + ")");
    }
    i += static_cast<std::size_t>(len);
  }
}

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

/// Steps over one line end (CRLF, LF or a lone CR) at text[i].
std::size_t SkipLineEnd(std::string_view text, std::size_t i) {
  if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') return i + 2;
  return i + 1;
}

}  // namespace

void ParseCsv(std::string_view text, const std::string& fileName, const CsvFieldSink& sink) {
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  } else if (text.size() >= 2 && (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF")) {
    LineError(kCsvInvalidUtf8, fileName, 1, "UTF-16 text, not UTF-8 (save the file as CSV UTF-8)");
  }
  CheckUtf8(text, fileName);

  const std::size_t n = text.size();
  std::size_t i = 0;
  std::int64_t line = 1;  // physical line of text[i]
  std::int32_t row = 0;
  std::int32_t expectedFields = -1;
  std::int64_t firstRecordLine = 0;
  std::string quoted;

  while (i < n) {
    const std::int64_t recordLine = line;
    if (row == host::kMaxRows)
      LineError(kCsvTooManyRows, fileName, recordLine, "more than 1,048,576 rows");
    ++row;
    if (IsLineEnd(text[i])) {  // an empty line: an empty row, whatever the width
      i = SkipLineEnd(text, i);
      ++line;
      continue;
    }
    std::int32_t column = 0;
    for (;;) {
      if (column == host::kMaxColumns)
        LineError(kCsvTooManyColumns, fileName, recordLine, "more than 16,384 fields");
      ++column;
      if (i < n && text[i] == '"') {
        const std::int64_t openLine = line;
        quoted.clear();
        ++i;
        for (;;) {
          const std::size_t close = text.find('"', i);
          if (close == std::string_view::npos)
            LineError(kCsvUnclosedQuote, fileName, openLine, "quoted field not closed before the end of the file");
          // Copy the run before the quote; line breaks inside a cell become LF.
          for (std::size_t k = i; k < close; ++k) {
            const char c = text[k];
            if (c == '\r') {
              ++line;
              quoted.push_back('\n');
              if (k + 1 < close && text[k + 1] == '\n') ++k;
            } else {
              if (c == '\n') ++line;
              quoted.push_back(c);
            }
          }
          i = close + 1;
          if (i < n && text[i] == '"') {  // a doubled quote stands for one
            quoted.push_back('"');
            ++i;
            continue;
          }
          break;
        }
        if (i < n && text[i] != ',' && !IsLineEnd(text[i]))
          LineError(kCsvBadQuote, fileName, line, "text after the closing quote of field " + std::to_string(column));
        if (!quoted.empty()) sink(row, column, quoted);
      } else {
        const std::size_t start = i;
        while (i < n && text[i] != ',' && !IsLineEnd(text[i])) ++i;
        if (i > start) sink(row, column, text.substr(start, i - start));
      }
      if (i < n && text[i] == ',') {
        ++i;
        continue;
      }
      if (i < n) {  // a line end closes the record
        i = SkipLineEnd(text, i);
        ++line;
      }
      break;
    }
    if (expectedFields < 0) {
      expectedFields = column;
      firstRecordLine = recordLine;
    } else if (column != expectedFields) {
      LineError(kCsvRaggedRow, fileName, recordLine,
                std::to_string(column) + (column == 1 ? " field" : " fields") + ", but line " +
                    std::to_string(firstRecordLine) + " has " + std::to_string(expectedFields));
    }
  }
}

Variant CsvFieldValue(std::string_view text) {
  if (const auto number = TextToNumber(text)) return Variant(*number);
  return Variant(text);
}

host::WorkbookRef ReadCsvText(host::Application& app, std::string_view bytes, const std::string& fileName) {
  host::WorkbookRef book = NewDetachedWorkbook(app, fileName);
  const std::string stem = std::filesystem::path(fileName).stem().string();
  host::WorksheetRef sheet = book->AppendSheet(SheetNamer().Take(stem, "Sheet1"));
  host::CellStore& store = sheet->Store();
  ParseCsv(bytes, fileName, [&](std::int32_t row, std::int32_t column, std::string_view text) {
    Variant value = CsvFieldValue(text);
    if (value.Kind() == VarKind::kDouble) {
      store.SetDouble(row, column, value.AsDouble());
    } else {
      store.Set(row, column, value);
    }
  });
  AttachWorkbook(app, book);
  return book;
}

host::WorkbookRef ReadCsv(host::Application& app, const std::string& path) {
  const std::string name = FileNameOf(path);
  const std::string bytes = ReadWholeFile(path, name, kMaxCsvBytes);
  return ReadCsvText(app, bytes, name);
}

}  // namespace nml::host::files
