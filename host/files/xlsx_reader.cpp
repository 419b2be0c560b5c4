#include "host/files/xlsx_reader.h"

#include <pugixml.hpp>

#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/ascii_text.h"
#include "common/number_text.h"
#include "host/cell_rect.h"
#include "host/error_values.h"
#include "host/formula_shift.h"
#include "host/reference_endpoint.h"
#include "host/reference_parser.h"
#include "host/files/file_errors.h"
#include "host/files/relationship_target.h"
#include "host/files/sheet_names.h"
#include "common/utf8.h"
#include "host/files/workbook_builder.h"
#include "host/files/xlsx_styles.h"
#include "host/files/xml_scanner.h"
#include "host/format_table.h"

namespace nml::host::files {
namespace {

// More worksheets than any spreadsheet program keeps in one workbook.
constexpr std::size_t kMaxSheets = 10000;
// Text that cells may copy from shared strings beyond four times the bytes
// inflated from the file.
constexpr std::uint64_t kSharedTextSlack = std::uint64_t{64} << 20;

// ---------------------------------------------------------------------------
// Part names and relationships

std::string_view LocalName(const char* qname) {
  const char* colon = std::strrchr(qname, ':');
  return colon ? std::string_view(colon + 1) : std::string_view(qname);
}

pugi::xml_attribute Attr(const pugi::xml_node& node, std::string_view local) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
    if (LocalName(a.name()) == local) return a;
  return {};
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view local) {
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element && LocalName(c.name()) == local) return c;
  return {};
}

struct Relationship {
  std::string id;
  std::string type;    // the last segment of the type URI ("worksheet", "styles", ...)
  std::string target;  // archive entry name
};

// ---------------------------------------------------------------------------
// Cell values

std::optional<double> ParseNumber(std::string_view v) { return TextToNumber(v); }

std::optional<std::int64_t> ParseInteger(std::string_view v) {
  std::int64_t out = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
  if (v.empty() || ec != std::errc() || end != v.data() + v.size()) return std::nullopt;
  return out;
}

/// Undoes the _xHHHH_ escapes that workbook files use for control characters
/// in text ("_x000D_" is a carriage return, "_x005F_" a literal underscore).
void UnescapeText(std::string& s) {
  if (s.find("_x") == std::string::npos) return;
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] == '_' && i + 7 <= s.size() && s[i + 1] == 'x' && s[i + 6] == '_') {
      std::uint32_t cp = 0;
      const auto [end, ec] = std::from_chars(s.data() + i + 2, s.data() + i + 6, cp, 16);
      if (ec == std::errc() && end == s.data() + i + 6 && cp != 0 && (cp < 0xD800 || cp > 0xDFFF)) {
        AppendUtf8(out, cp);
        i += 7;
        continue;
      }
    }
    out.push_back(s[i++]);
  }
  s = std::move(out);
}

/// The width a user sees, in digits of the default font, of a column whose
/// file width is given: files store widths with the cell margins included
/// (Calibri 11 digits are 7 pixels wide, the margins 5 pixels).
double DisplayWidth(double fileWidth) {
  const double pixels = std::floor((256.0 * fileWidth + std::floor(128.0 / 7.0)) / 256.0 * 7.0);
  const double chars = pixels <= 12 ? pixels / 12.0 : (pixels - 5.0) / 7.0;
  return std::round(chars * 100.0) / 100.0;
}

/// Days from 1970-01-01 to a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

/// Days from the 1900 date system's day 0 to the 1904 system's: 1 January
/// 1904 is day 0 of the one and day 1462 of the other.
constexpr double kDays1900To1904 = 1462;

/// The serial number of an ISO 8601 date or date-time ("2024-02-29",
/// "2024-02-29T13:45:00", "13:45:00" alone), counted in the 1900 date system.
std::optional<double> ParseIsoDate(std::string_view v) {
  auto num = [&](std::size_t at, std::size_t len) -> std::optional<int> {
    if (at + len > v.size()) return std::nullopt;
    int out = 0;
    for (std::size_t k = at; k < at + len; ++k) {
      if (v[k] < '0' || v[k] > '9') return std::nullopt;
      out = out * 10 + (v[k] - '0');
    }
    return out;
  };
  double serial = 0;
  std::size_t at = 0;
  if (v.size() >= 10 && v[4] == '-' && v[7] == '-') {
    const auto y = num(0, 4), m = num(5, 2), d = num(8, 2);
    if (!y || !m || !d || *m < 1 || *m > 12 || *d < 1 || *d > 31) return std::nullopt;
    const std::int64_t days = DaysFromCivil(*y, static_cast<unsigned>(*m), static_cast<unsigned>(*d));
    serial = static_cast<double>(days - DaysFromCivil(1899, 12, 30));
    if (serial < 61) serial -= 1;  // the spreadsheet's 29 February 1900 comes before March
    at = 10;
    if (at < v.size() && v[at] == 'T') ++at;
  }
  if (at < v.size()) {
    const auto h = num(at, 2), mi = num(at + 3, 2);
    if (!h || !mi || v[at + 2] != ':' || *h > 24 || *mi > 59) return std::nullopt;
    double seconds = 0;
    std::size_t end = at + 5;
    if (end < v.size() && v[end] == ':') {
      std::size_t stop = end + 1;
      while (stop < v.size() && ((v[stop] >= '0' && v[stop] <= '9') || v[stop] == '.')) ++stop;
      const auto s = ParseNumber(v.substr(end + 1, stop - end - 1));
      if (!s || *s >= 61) return std::nullopt;
      seconds = *s;
      end = stop;
    }
    if (end < v.size() && v.substr(end) != "Z") return std::nullopt;
    serial += (*h * 3600.0 + *mi * 60.0 + seconds) / 86400.0;
  }
  if (at == 0 && v.empty()) return std::nullopt;
  return serial;
}

// ---------------------------------------------------------------------------

class XlsxReader {
 public:
  XlsxReader(host::Application& app, ZipArchive& zip, std::string fileName)
      : app_(app), zip_(zip), fileName_(std::move(fileName)) {}

  host::WorkbookRef Read();

 private:
  std::string Context(const std::string& part) const { return fileName_ + ": " + part; }
  pugi::xml_document LoadXml(const std::string& part, const std::string& xml) const;
  std::vector<Relationship> ReadRelationships(const std::string& sourcePart);
  void ReadSharedStrings(const std::string& part);
  void ReadSheet(const std::string& part, host::Worksheet& sheet);
  void ReadCell(XmlScanner& scanner, host::Worksheet& sheet, const std::string& part, std::int32_t rowNumber,
                std::int32_t& nextColumn);
  // The parts of ReadCell: where the cell is, what its value is (a number
  // apart, so that it is stored without a Variant), and its formula text.
  void CellPosition(std::string_view reference, const std::string& part, std::int32_t& row, std::int32_t& column) const;
  struct CellValue {
    Variant value;
    bool isNumber = false;
    double number = 0;
  };
  template <class Bad>
  CellValue ValueOfCell(bool hasValue, bool hasFormula, bool hasInline, std::uint32_t formatId, const Bad& bad);
  std::string FormulaOfCell(std::int32_t row, std::int32_t column, std::optional<std::int64_t> sharedIndex);
  static void ReadRichText(XmlScanner& scanner, std::string& out);

  host::Application& app_;
  ZipArchive& zip_;
  std::string fileName_;
  std::vector<std::string> sharedStrings_;
  std::vector<std::uint32_t> formatIds_;
  bool date1904_ = false;
  std::uint64_t formulaBytes_ = 0;  // formula text held so far
  std::uint64_t sharedTextBytes_ = 0;  // text copied from shared strings into cells so far

  // Per sheet: the anchor cell and text of each shared formula.
  struct SharedFormula {
    std::string text;
    std::int32_t row;
    std::int32_t column;
  };
  std::unordered_map<std::int64_t, SharedFormula> sharedFormulas_;
  // Scratch buffers reused for every cell.
  std::string value_, formula_, inline_, type_, formulaType_;
};

pugi::xml_document XlsxReader::LoadXml(const std::string& part, const std::string& xml) const {
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    RaiseFileError(kMalformedXml, Context(part) + ": malformed XML at byte " + std::to_string(parsed.offset) + ": " +
                                      parsed.description());
  }
  if (!doc.document_element()) RaiseFileError(kMalformedXml, Context(part) + ": malformed XML: no root element");
  return doc;
}

std::vector<Relationship> XlsxReader::ReadRelationships(const std::string& sourcePart) {
  const std::string relsPart = RelationshipsPartOf(sourcePart);
  const std::optional<std::string> xml = zip_.ReadIfPresent(relsPart);
  std::vector<Relationship> out;
  if (!xml) return out;
  const pugi::xml_document doc = LoadXml(relsPart, *xml);
  const std::string baseDir = PartFolder(sourcePart);
  for (pugi::xml_node n = doc.document_element().first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_element || LocalName(n.name()) != "Relationship") continue;
    if (std::string_view(Attr(n, "TargetMode").value()) == "External") continue;
    const std::string_view type = Attr(n, "Type").value();
    const std::size_t slash = type.rfind('/');
    out.push_back({Attr(n, "Id").value(), std::string(slash == std::string_view::npos ? type : type.substr(slash + 1)),
                   ResolveRelationshipTarget(baseDir, Attr(n, "Target").value())});
  }
  return out;
}

void XlsxReader::ReadRichText(XmlScanner& scanner, std::string& out) {
  const std::size_t depth = scanner.Depth();
  for (;;) {
    const XmlScanner::Token t = scanner.Next();
    if (t == XmlScanner::Token::kEnd && scanner.Depth() == depth) return;
    if (t != XmlScanner::Token::kStart) continue;
    if (scanner.LocalName() == "t") {
      scanner.AppendElementText(out);
    } else if (scanner.LocalName() == "rPh" || scanner.LocalName() == "phoneticPr") {
      scanner.SkipElement();  // phonetic guides are not part of the text
    }
  }
}

void XlsxReader::ReadSharedStrings(const std::string& part) {
  const std::optional<std::string> xml = zip_.ReadIfPresent(part);
  if (!xml) return;
  XmlScanner scanner(*xml, Context(part));
  std::string text;
  for (;;) {
    const XmlScanner::Token t = scanner.Next();
    if (t == XmlScanner::Token::kEndOfDocument) break;
    if (t == XmlScanner::Token::kStart && scanner.LocalName() == "si" && scanner.Depth() == 2) {
      text.clear();
      ReadRichText(scanner, text);
      UnescapeText(text);
      sharedStrings_.push_back(text);
    }
  }
}

void XlsxReader::CellPosition(std::string_view reference, const std::string& part, std::int32_t& row,
                              std::int32_t& column) const {
  // A cell reference as the reference parser reads it ("B7"), relative.
  const auto cell = host::detail::TokenEndpoint(reference);
  if (cell && cell->IsCell() && !cell->colAbsolute && !cell->rowAbsolute) {
    row = cell->row;
    column = cell->col;
    return;
  }
  // Letters and a row number, but past the last row or column, is a cell
  // outside the grid; anything else is no cell reference at all.
  std::size_t letters = 0;
  while (letters < reference.size() && reference[letters] >= 'A' && reference[letters] <= 'Z') ++letters;
  const std::string_view digits = reference.substr(letters);
  const bool number = !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos &&
                      digits.find_first_not_of('0') != std::string_view::npos;
  const std::string shown(reference.substr(0, 20));
  if (letters > 0 && number)
    RaiseFileError(kCellOutsideGrid,
                   Context(part) + ": cell " + shown + " lies outside the grid (1,048,576 rows by 16,384 columns)");
  RaiseFileError(kBadCellValue, Context(part) + ": bad cell reference \"" + shown + "\"");
}

template <class Bad>
XlsxReader::CellValue XlsxReader::ValueOfCell(bool hasValue, bool hasFormula, bool hasInline, std::uint32_t formatId,
                                              const Bad& bad) {
  Variant value;
  bool isNumber = false;
  double number = 0;
  if (type_ == "n") {
    if (hasValue && !value_.empty()) {
      const std::optional<double> d = ParseNumber(value_);
      if (!d) bad("\"" + value_.substr(0, 40) + "\" is not a number");
      isNumber = true;
      number = *d;
      // The host counts dates from 1900 only, as the written file does: a
      // date of a workbook counting from 1904 moves to the same day's serial.
      if (date1904_ && formatId != 0 && IsDateFormat(app_.Formats().Get(formatId).numberFormat))
        number += kDays1900To1904;
    }
  } else if (type_ == "s") {
    const std::optional<std::int64_t> index = ParseInteger(value_);
    if (!index || *index < 0 || static_cast<std::size_t>(*index) >= sharedStrings_.size())
      bad("shared string \"" + value_.substr(0, 40) + "\" does not exist");
    const std::string& shared = sharedStrings_[static_cast<std::size_t>(*index)];
    // Every cell holds its own copy of its text, so a long shared string
    // named by many cells is refused before it is spelled out into far more
    // memory than the file holds.
    sharedTextBytes_ += shared.size();
    if (sharedTextBytes_ > kSharedTextSlack + 4 * zip_.TotalInflated())
      RaiseFileError(kInflateLimit, zip_.DisplayName() + ": shared strings repeated in cells come to more than four "
                                                         "times the workbook's size (a decompression bomb?)");
    value = Variant(shared);
  } else if (type_ == "inlineStr") {
    std::string& text = hasInline ? inline_ : value_;
    UnescapeText(text);
    value = Variant(text);
  } else if (type_ == "str") {
    UnescapeText(value_);
    // An empty result is a formula not calculated yet. A formula whose cached
    // result is an error literal stored as text (as writers that cannot store
    // error results do) keeps its error.
    const std::optional<std::int32_t> code = hasFormula ? host::ErrorValueCode(value_) : std::nullopt;
    if (code) {
      value = Variant::ErrorValue(*code);
    } else if (!value_.empty() || !hasFormula) {
      value = Variant(value_);
    }
  } else if (type_ == "b") {
    if (value_ == "1" || value_ == "true") {
      value = Variant::Boolean(true);
    } else if (value_ == "0" || value_ == "false") {
      value = Variant::Boolean(false);
    } else if (hasValue) {
      bad("\"" + value_.substr(0, 40) + "\" is not a boolean");
    }
  } else if (type_ == "e") {
    const std::optional<std::int32_t> code = host::ErrorValueCode(value_);
    value = code ? Variant::ErrorValue(*code) : Variant(value_);
  } else if (type_ == "d") {
    if (hasValue && !value_.empty()) {
      const std::optional<double> d = ParseIsoDate(value_);
      if (!d) bad("\"" + value_.substr(0, 40) + "\" is not a date");
      isNumber = true;
      number = *d;
    }
  } else {
    bad("unknown cell type \"" + type_.substr(0, 20) + "\"");
  }

  return {std::move(value), isNumber, number};
}

std::string XlsxReader::FormulaOfCell(std::int32_t row, std::int32_t column, std::optional<std::int64_t> sharedIndex) {
  // Shared formulas are stored once, at their anchor cell.
  if (formulaType_ == "shared" && sharedIndex) {
    if (!formula_.empty()) {
      sharedFormulas_[*sharedIndex] = SharedFormula{formula_, row, column};
      return formula_;
    }
    if (const auto it = sharedFormulas_.find(*sharedIndex); it != sharedFormulas_.end())
      return host::ShiftFormula(it->second.text, row - it->second.row, column - it->second.column);
    return {};
  }
  return formulaType_ != "dataTable" ? formula_ : std::string();
}

void XlsxReader::ReadCell(XmlScanner& scanner, host::Worksheet& sheet, const std::string& part,
                          std::int32_t rowNumber, std::int32_t& nextColumn) {
  // Attributes first: their text is valid only until the scanner moves.
  std::int32_t row = rowNumber;
  std::int32_t column = nextColumn;
  std::string reference;
  if (const auto r = scanner.Attribute("r")) {
    reference = std::string(*r);
    CellPosition(reference, part, row, column);
  } else {
    if (row < 1) RaiseFileError(kBadCellValue, Context(part) + ": a cell outside any row");
    if (column > host::kMaxColumns)
      RaiseFileError(kCellOutsideGrid, Context(part) + ": row " + std::to_string(row) +
                                           " holds more than 16,384 cells");
  }
  nextColumn = column + 1;

  std::uint32_t formatId = 0;
  if (const auto s = scanner.Attribute("s")) {
    const std::optional<std::int64_t> xf = ParseInteger(*s);
    if (xf && *xf >= 0 && static_cast<std::size_t>(*xf) < formatIds_.size())
      formatId = formatIds_[static_cast<std::size_t>(*xf)];
  }
  type_.assign(scanner.Attribute("t").value_or("n"));

  value_.clear();
  formula_.clear();
  inline_.clear();
  formulaType_.clear();
  bool hasValue = false, hasFormula = false, hasInline = false;
  std::optional<std::int64_t> sharedIndex;
  const std::size_t depth = scanner.Depth();
  for (;;) {
    const XmlScanner::Token t = scanner.Next();
    if (t == XmlScanner::Token::kEnd && scanner.Depth() == depth) break;
    if (t != XmlScanner::Token::kStart) continue;
    const std::string_view name = scanner.LocalName();
    if (name == "v") {
      hasValue = true;
      scanner.AppendElementText(value_);
    } else if (name == "f") {
      hasFormula = true;
      formulaType_.assign(scanner.Attribute("t").value_or("normal"));
      if (const auto si = scanner.Attribute("si")) sharedIndex = ParseInteger(*si);
      scanner.AppendElementText(formula_);
    } else if (name == "is") {
      hasInline = true;
      ReadRichText(scanner, inline_);
    } else {
      scanner.SkipElement();
    }
  }

  auto bad = [&](const std::string& what) {
    const std::string cell = reference.empty() ? host::ColumnLetters(column) + std::to_string(row) : reference.substr(0, 20);
    RaiseFileError(kBadCellValue, Context(part) + ": cell " + cell + ": " + what);
  };

  auto [value, isNumber, number] = ValueOfCell(hasValue, hasFormula, hasInline, formatId, bad);
  std::string formula = hasFormula ? FormulaOfCell(row, column, sharedIndex) : std::string();
  // A formula that is nothing but an error literal stands for an error cell.
  if (!formula.empty()) {
    if (const std::optional<std::int32_t> code = host::ErrorValueCode(formula)) {
      value = Variant::ErrorValue(*code);
      formula.clear();
    }
  }

  host::CellStore& store = sheet.Store();
  if (isNumber) {
    store.SetDouble(row, column, number);
  } else if (!value.IsEmpty()) {
    store.Set(row, column, value);
  }
  if (!formula.empty()) {
    // Shared formulas are stored once and spelled out per cell: bound what
    // they may grow to, as for inflated parts.
    formulaBytes_ += formula.size();
    if (formulaBytes_ > zip_.Limits().maxPartBytes)
      RaiseFileError(kInflateLimit, Context(part) + ": the formulas grow past the limit of " +
                                        std::to_string(zip_.Limits().maxPartBytes >> 20) + " MiB when spelled out");
    store.SetFormula(row, column, std::move(formula));
  }
  // A cell's own format is relative to the sheet's: 0 follows the sheet.
  const std::uint32_t own = host::OwnFormatId(formatId, sheet.DefaultFormatId());
  if (own != 0) store.SetFormatId(row, column, own);
}

void XlsxReader::ReadSheet(const std::string& part, host::Worksheet& sheet) {
  const std::string xml = zip_.Read(part);
  XmlScanner scanner(xml, Context(part));
  sharedFormulas_.clear();
  std::int32_t rowNumber = 0;
  std::int32_t nextColumn = 1;
  bool inSheetData = false;
  std::int64_t lastColumnRecord = 0;  // last column of the column records so far
  std::uint32_t columnFormat = 0;     // the format of the formatted columns so far
  std::int32_t formattedColumns = 0;  // columns 1 to this one carry it (-1: they do not)
  for (;;) {
    const XmlScanner::Token t = scanner.Next();
    if (t == XmlScanner::Token::kEndOfDocument) break;
    if (t == XmlScanner::Token::kEnd) {
      if (scanner.LocalName() == "sheetData" && scanner.Depth() == 2) inSheetData = false;
      continue;
    }
    if (t != XmlScanner::Token::kStart) continue;
    const std::string_view name = scanner.LocalName();
    if (name == "sheetData" && scanner.Depth() == 2) {
      inSheetData = true;
    } else if (inSheetData && name == "row") {
      if (const auto r = scanner.Attribute("r")) {
        const std::optional<std::int64_t> value = ParseInteger(*r);
        if (!value || *value < 1)
          RaiseFileError(kBadCellValue, Context(part) + ": bad row number \"" + std::string(r->substr(0, 20)) + "\"");
        if (*value > host::kMaxRows)
          RaiseFileError(kCellOutsideGrid, Context(part) + ": row " + std::to_string(*value) +
                                               " lies outside the grid (1,048,576 rows)");
        rowNumber = static_cast<std::int32_t>(*value);
      } else {
        if (rowNumber == host::kMaxRows)
          RaiseFileError(kCellOutsideGrid, Context(part) + ": more than 1,048,576 rows");
        ++rowNumber;
      }
      nextColumn = 1;
    } else if (inSheetData && name == "c") {
      ReadCell(scanner, sheet, part, rowNumber, nextColumn);
    } else if (name == "col" && !inSheetData) {
      const auto min = ParseInteger(scanner.Attribute("min").value_or(""));
      const auto max = ParseInteger(scanner.Attribute("max").value_or(""));
      const auto width = ParseNumber(scanner.Attribute("width").value_or(""));
      const auto style = ParseInteger(scanner.Attribute("style").value_or(""));
      // Column records come in order and do not overlap; others are skipped,
      // which also bounds the work to one pass over the columns.
      if (!min || !max || *min <= lastColumnRecord || *min > *max || *min > host::kMaxColumns) continue;
      const std::int64_t last = std::min<std::int64_t>(*max, host::kMaxColumns);
      lastColumnRecord = last;
      if (width && *width > 0 && *width <= 255) {
        const double shown = DisplayWidth(*width);
        for (std::int64_t c = *min; c <= last; ++c) sheet.SetColumnWidth(static_cast<std::int32_t>(c), shown);
      }
      // Columns that all carry one format amount to a format of the whole sheet.
      const std::uint32_t id =
          (style && *style >= 0 && static_cast<std::size_t>(*style) < formatIds_.size()) ? formatIds_[*style] : 0;
      if (id != 0 && (columnFormat == 0 || columnFormat == id) && *min == formattedColumns + 1) {
        columnFormat = id;
        formattedColumns = static_cast<std::int32_t>(last);
      } else {
        formattedColumns = -1;  // not one format for the whole sheet
      }
      if (formattedColumns == host::kMaxColumns) sheet.SetDefaultFormatId(columnFormat);
    }
  }
}

host::WorkbookRef XlsxReader::Read() {
  // The main part, from the package relationships (or where it usually is).
  std::string workbookPart;
  for (const Relationship& rel : ReadRelationships(""))
    if (rel.type == "officeDocument") workbookPart = rel.target;
  if (workbookPart.empty() || !zip_.Contains(workbookPart)) workbookPart = "xl/workbook.xml";
  if (!zip_.Contains(workbookPart))
    RaiseFileError(kMissingPart, fileName_ + ": not an xlsx workbook (no workbook part " + workbookPart + ")");

  const pugi::xml_document workbookDoc = LoadXml(workbookPart, zip_.Read(workbookPart));
  const pugi::xml_node workbookRoot = workbookDoc.document_element();
  if (LocalName(workbookRoot.name()) != "workbook")
    RaiseFileError(kMalformedXml, Context(workbookPart) + ": the root element is not a workbook");
  const std::string_view date1904 = Attr(Child(workbookRoot, "workbookPr"), "date1904").value();
  date1904_ = date1904 == "1" || date1904 == "true";

  std::unordered_map<std::string, Relationship> relationships;
  for (Relationship& rel : ReadRelationships(workbookPart)) {
    if (rel.type == "sharedStrings" && sharedStrings_.empty()) ReadSharedStrings(rel.target);
    if (rel.type == "styles" && formatIds_.empty())
      if (const auto styles = zip_.ReadIfPresent(rel.target))
        formatIds_ = ReadCellFormats(*styles, app_.Formats(), Context(rel.target));
    relationships.emplace(rel.id, std::move(rel));
  }

  host::WorkbookRef book = NewDetachedWorkbook(app_, fileName_);
  SheetNamer names;
  std::unordered_set<std::string> partsRead;
  std::size_t count = 0;
  for (pugi::xml_node s = Child(Child(workbookRoot, "sheets"), "sheet"); s; s = s.next_sibling()) {
    if (s.type() != pugi::node_element || LocalName(s.name()) != "sheet") continue;
    const auto rel = relationships.find(Attr(s, "id").value());
    if (rel == relationships.end()) {
      RaiseFileError(kMissingPart, fileName_ + ": the sheet \"" + std::string(Attr(s, "name").value()).substr(0, 40) +
                                       "\" has no part");
    }
    if (rel->second.type != "worksheet") continue;  // chart sheets and dialog sheets
    if (++count > kMaxSheets)
      RaiseFileError(kBadStructure, fileName_ + ": more than " + std::to_string(kMaxSheets) + " worksheets");
    // Each sheet has its own part; one part read again and again would
    // multiply a small archive into a huge workbook.
    const std::string key = AsciiLowerCopy(rel->second.target);
    if (!partsRead.insert(key).second)
      RaiseFileError(kBadStructure, fileName_ + ": two sheets share the part " + rel->second.target);
    host::WorksheetRef sheet = book->AppendSheet(names.Take(Attr(s, "name").value(), "Sheet" + std::to_string(count)));
    ReadSheet(rel->second.target, *sheet);
  }
  if (book->SheetList().empty()) RaiseFileError(kNoWorksheets, fileName_ + ": the workbook holds no worksheet");
  AttachWorkbook(app_, book);
  return book;
}

}  // namespace

host::WorkbookRef ReadXlsx(host::Application& app, const std::string& path, InflateLimits limits) {
  const std::string name = FileNameOf(path);
  ZipArchive zip = ZipArchive::OpenFile(path, name, limits);
  return XlsxReader(app, zip, name).Read();
}

host::WorkbookRef ReadXlsxBytes(host::Application& app, std::string_view bytes, const std::string& fileName,
                                InflateLimits limits) {
  ZipArchive zip = ZipArchive::OpenBytes(bytes, fileName, limits);
  return XlsxReader(app, zip, fileName).Read();
}

}  // namespace nml::host::files
