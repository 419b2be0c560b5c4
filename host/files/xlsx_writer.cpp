#include "host/files/xlsx_writer.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <unordered_map>
#include <vector>

#include "common/classic_locale_scope.h"
#include "common/utf8.h"
#include "host/application.h"
#include "host/cell_format.h"
#include "host/cell_rect.h"
#include "host/error_values.h"
#include "host/format_table.h"
#include "host/files/column_widths.h"
#include "host/files/file_errors.h"
#include "host/files/memory_file.h"
#include "host/files/package_merge.h"
#include "host/files/temp_file.h"
#include "host/files/xml_text.h"
#include "host/files/zip_archive.h"
#include "host/files/zip_package_writer.h"
#include "host/range.h"
#include "host/reference_parser.h"
#include "host/worksheet.h"

namespace nml::host::files {
namespace {

constexpr std::size_t kMaxTextLength = 32767;
// Size of a chart before scaling, in pixels.
constexpr double kChartBaseWidthPx = 480.0;
constexpr double kChartBaseHeightPx = 288.0;
constexpr double kPixelsPerPoint = 96.0 / 72.0;

/// Text for a chart or axis title; a leading "=" would make it a cell reference.
std::string TitleText(const std::string& text) {
  const std::string plain = PlainXmlText(text);
  return (!plain.empty() && plain.front() == '=') ? " " + plain : plain;
}

struct WorkbookCloser {
  void operator()(lxw_workbook* wb) const { lxw_workbook_free(wb); }
};

class XlsxWriter {
 public:
  XlsxWriter(const host::Workbook& book, const host::FormatTable& formats, const std::string& fileName,
             const SaveOptions& options)
      : book_(book), formats_(formats), fileName_(fileName), options_(options) {}

  void Write(lxw_workbook* wb);
  /// The library's worksheets, in tab order.
  const std::vector<lxw_worksheet*>& Sheets() const { return sheets_; }
  /// The buffers of the sheets' row files, which must outlive those files.
  std::vector<std::unique_ptr<char[]>> TakeRowFileBuffers() { return std::move(rowFileBuffers_); }

 private:
  struct FormatInfo {
    lxw_format* format = nullptr;
    NumberLook look;
    bool bold = false;
    bool spillsRight = true;  // text laid out from the left edge (general or left alignment)
  };
  const FormatInfo& Format(std::uint32_t id);
  void WriteSheet(const host::Worksheet& sheet, lxw_worksheet* ws);
  void WriteChart(const host::Worksheet& sheet, lxw_worksheet* ws, const host::ChartObject& chart, std::size_t number);
  void WriteColumnWidths(const host::Worksheet& sheet, lxw_worksheet* ws, const ColumnWidths& widths);
  /// A cell of a plain row (numbers, text, booleans, formatted blanks),
  /// waiting with the rest of its row.
  struct PlainCell {
    enum class Kind { kNumber, kText, kBoolean, kBlank };
    std::int32_t col;
    Kind kind;
    double value;      // the number, or 1/0 for a boolean
    std::string text;  // cell text, escapes applied
    const FormatInfo* info;
  };
  void WritePlainRow(lxw_worksheet* ws, std::int32_t row, const std::vector<PlainCell>& cells);
  void Check(lxw_error error, const host::Worksheet& sheet, std::int32_t row, std::int32_t col) const;

  const host::Workbook& book_;
  const host::FormatTable& formats_;
  std::string fileName_;
  const SaveOptions& options_;
  std::int64_t rowsTotal_ = 0, rowsDone_ = 0, nextReport_ = 0;  // rows of all sheets, for the progress
  lxw_workbook* wb_ = nullptr;
  std::vector<lxw_worksheet*> sheets_;
  std::unordered_map<std::uint32_t, FormatInfo> cache_;
  std::vector<std::unique_ptr<char[]>> rowFileBuffers_;
  std::vector<std::string> columnLetters_;  // by column, filled as met
  std::string rowXml_;
};

const XlsxWriter::FormatInfo& XlsxWriter::Format(std::uint32_t id) {
  const auto found = cache_.find(id);
  if (found != cache_.end()) return found->second;
  FormatInfo info;
  if (id != 0) {
    const host::CellFormat& f = formats_.Get(id);
    info.look = LookOf(f.numberFormat);
    info.bold = f.bold;
    info.spillsRight = f.horizontalAlignment == host::kAlignGeneral || f.horizontalAlignment == host::kAlignLeft;
    if (!(f == host::CellFormat{})) {
      lxw_format* format = workbook_add_format(wb_);
      if (!format) RaiseFileError(kWriteFailed, "cannot write " + fileName_ + ": out of memory");
      if (f.bold) format_set_bold(format);
      if (f.fontSize > 0) format_set_font_size(format, f.fontSize);
      if (f.border) format_set_border(format, LXW_BORDER_THIN);
      if (f.fillColorIndex != host::kColorIndexNone) {
        format_set_pattern(format, LXW_PATTERN_SOLID);
        format_set_bg_color(format, static_cast<lxw_color_t>(host::PaletteColor(f.fillColorIndex)));
      }
      if (!f.numberFormat.empty() && f.numberFormat != "General") format_set_num_format(format, f.numberFormat.c_str());
      switch (f.horizontalAlignment) {
        case host::kAlignLeft: format_set_align(format, LXW_ALIGN_LEFT); break;
        case host::kAlignCenter: format_set_align(format, LXW_ALIGN_CENTER); break;
        case host::kAlignRight: format_set_align(format, LXW_ALIGN_RIGHT); break;
        default: break;
      }
      info.format = format;
    }
  }
  return cache_.emplace(id, info).first->second;
}

void XlsxWriter::Check(lxw_error error, const host::Worksheet& sheet, std::int32_t row, std::int32_t col) const {
  if (error == LXW_NO_ERROR) return;
  RaiseFileError(kWriteFailed, "cannot write " + fileName_ + ": sheet \"" + sheet.Name() + "\" cell " +
                                   host::ColumnLetters(col) + std::to_string(row) + ": " + lxw_strerror(error));
}

void XlsxWriter::WriteSheet(const host::Worksheet& sheet, lxw_worksheet* ws) {
  const host::CellStore& store = sheet.Store();
  const std::uint32_t sheetFormat = sheet.DefaultFormatId();
  ColumnWidths widths;
  auto widen = [&](std::int32_t col, double n) { widths.Widen(col, n); };
  auto textWidth = [&](std::int32_t row, std::int32_t col, double n, bool spills) { widths.Text(row, col, n, spills); };

  // The file format holds at most 32,767 characters in a cell; cutting the
  // text would lose data silently.
  auto checkLength = [&](const std::string& text, std::int32_t row, std::int32_t col) {
    // Text goes to the library as a C string, where a NUL would cut it short.
    if (text.find('\0') != std::string::npos)
      RaiseFileError(kCellNotWritable, fileName_ + ": sheet \"" + sheet.Name() + "\" cell " + host::ColumnLetters(col) +
                                           std::to_string(row) + ": text with a NUL character");
    if (text.size() <= kMaxTextLength || CountCharacters(text) <= kMaxTextLength) return;
    RaiseFileError(kCellNotWritable, fileName_ + ": sheet \"" + sheet.Name() + "\" cell " + host::ColumnLetters(col) +
                                         std::to_string(row) + ": text longer than 32,767 characters");
  };

  // A plain row (numbers, text, booleans and formatted blanks: the data and
  // nearly all of a report) is written straight to the library's row file,
  // numbers with the fewest digits that read back as the same double (the
  // library prints 16 digits, so the 17th would be lost). Its cells wait
  // until the row ends, and go to the library one by one after all when the
  // row turns out to hold anything else (a formula, an error value, a control
  // character the library escapes itself).
  const bool rowsStreamed = ws->optimize && ws->optimize_tmpfile;
  if (rowsStreamed) {
    // The row file is written in large blocks rather than the default few
    // kilobytes: tens of megabytes pass through it for a large sheet.
    constexpr std::size_t kRowFileBuffer = std::size_t{1} << 20;
    rowFileBuffers_.push_back(std::make_unique<char[]>(kRowFileBuffer));
    std::setvbuf(ws->optimize_tmpfile, rowFileBuffers_.back().get(), _IOFBF, kRowFileBuffer);
  }
  std::vector<PlainCell> plainCells;
  bool plainRow = rowsStreamed;
  auto handOver = [&](std::int32_t row) {
    for (const PlainCell& cell : plainCells) {
      const auto r = static_cast<lxw_row_t>(row - 1);
      const auto c = static_cast<lxw_col_t>(cell.col - 1);
      lxw_format* format = cell.info->format;
      lxw_error error = LXW_NO_ERROR;
      switch (cell.kind) {
        case PlainCell::Kind::kNumber: error = worksheet_write_number(ws, r, c, cell.value, format); break;
        case PlainCell::Kind::kText: error = worksheet_write_string(ws, r, c, cell.text.c_str(), format); break;
        case PlainCell::Kind::kBoolean: error = worksheet_write_boolean(ws, r, c, cell.value != 0, format); break;
        case PlainCell::Kind::kBlank: error = worksheet_write_blank(ws, r, c, format); break;
      }
      Check(error, sheet, row, cell.col);
    }
    plainCells.clear();
  };

  const auto used = store.UsedRect();
  std::int32_t lastRow = used ? used->top - 1 : 0;
  store.ForEachCell([&](std::int32_t row, std::int32_t col, const Variant& value, std::uint32_t formatId) {
    if (row != lastRow) {
      if (!plainCells.empty()) WritePlainRow(ws, lastRow, plainCells);
      plainCells.clear();
      plainRow = rowsStreamed;
      rowsDone_ += row - lastRow;
      lastRow = row;
      if (options_.progress && rowsDone_ >= nextReport_) {
        nextReport_ = rowsDone_ + std::max<std::int64_t>(rowsTotal_ / 200, 1024);
        options_.progress("cells", static_cast<double>(rowsDone_) / static_cast<double>(rowsTotal_));
      }
    }
    const FormatInfo& info = Format(host::EffectiveFormatId(formatId, sheetFormat));
    const double boldFactor = info.bold ? 1.1 : 1.0;
    widths.Visit(row, col, !value.IsEmpty());

    const lxw_row_t r = static_cast<lxw_row_t>(row - 1);
    const lxw_col_t c = static_cast<lxw_col_t>(col - 1);
    const std::string* formulaText = store.Formula(row, col);
    const bool number = value.Kind() == VarKind::kDouble || value.Kind() == VarKind::kInteger ||
                        value.Kind() == VarKind::kLong;
    if (plainRow && !formulaText) {
      using Kind = PlainCell::Kind;
      if (number && std::isfinite(value.ToDouble())) {
        const double d = value.ToDouble();
        plainCells.push_back({col, Kind::kNumber, d, {}, &info});
        widen(col, NumberChars(d, info.look) * boldFactor);
        return;
      }
      if (value.Kind() == VarKind::kText && !HasControlCharacter(value.Text())) {
        const std::string& text = value.Text();
        checkLength(text, row, col);
        if (!text.empty())
          plainCells.push_back({col, Kind::kText, 0, CellText(text), &info});
        else if (info.format)
          plainCells.push_back({col, Kind::kBlank, 0, {}, &info});
        textWidth(row, col, TextChars(text) * boldFactor, info.spillsRight);
        return;
      }
      if (value.Kind() == VarKind::kBoolean) {
        plainCells.push_back({col, Kind::kBoolean, value.AsBoolean() ? 1.0 : 0.0, {}, &info});
        widen(col, 5 * boldFactor);
        return;
      }
      if (value.Kind() == VarKind::kEmpty) {
        if (info.format) plainCells.push_back({col, Kind::kBlank, 0, {}, &info});
        return;
      }
    }
    if (plainRow) {
      handOver(row);
      plainRow = false;
    }
    const std::string formulaPlain = formulaText ? PlainXmlText(*formulaText) : std::string();
    const std::string* formula = formulaText ? &formulaPlain : nullptr;
    lxw_error error = LXW_NO_ERROR;
    if (formula && !formula->empty()) {
      switch (value.Kind()) {
        case VarKind::kDouble:
        case VarKind::kInteger:
        case VarKind::kLong: {
          const double d = value.ToDouble();
          error = std::isfinite(d) ? worksheet_write_formula_num(ws, r, c, formula->c_str(), info.format, d)
                                   : worksheet_write_formula_str(ws, r, c, formula->c_str(), info.format, "#NUM!");
          widen(col, NumberChars(std::isfinite(d) ? d : 0, info.look) * boldFactor);
          break;
        }
        case VarKind::kBoolean:
          error = worksheet_write_formula_num(ws, r, c, formula->c_str(), info.format, value.AsBoolean() ? 1 : 0);
          break;
        case VarKind::kText:
          checkLength(value.Text(), row, col);
          error = worksheet_write_formula_str(ws, r, c, formula->c_str(), info.format,
                                              PlainXmlText(value.Text()).c_str());
          textWidth(row, col, TextChars(value.Text()) * boldFactor, info.spillsRight);
          break;
        case VarKind::kErrorValue:
          error = worksheet_write_formula_str(ws, r, c, formula->c_str(), info.format,
                                              std::string(host::ErrorValueText(value.AsErrorValue())).c_str());
          break;
        default:  // not calculated yet: an empty result makes the reader recalculate
          error = worksheet_write_formula_str(ws, r, c, formula->c_str(), info.format, "");
          break;
      }
      Check(error, sheet, row, col);
      return;
    }
    switch (value.Kind()) {
      case VarKind::kDouble:
      case VarKind::kInteger:
      case VarKind::kLong: {
        const double d = value.ToDouble();
        if (std::isfinite(d)) {
          error = worksheet_write_number(ws, r, c, d, info.format);
          widen(col, NumberChars(d, info.look) * boldFactor);
        } else {  // a number the file cannot hold is shown as the error it is
          error = worksheet_write_formula_str(ws, r, c, "#NUM!", info.format, "#NUM!");
        }
        break;
      }
      case VarKind::kText: {
        const std::string& text = value.Text();
        checkLength(text, row, col);
        error = text.empty() ? (info.format ? worksheet_write_blank(ws, r, c, info.format) : LXW_NO_ERROR)
                             : worksheet_write_string(ws, r, c, CellText(text).c_str(), info.format);
        textWidth(row, col, TextChars(text) * boldFactor, info.spillsRight);
        break;
      }
      case VarKind::kBoolean:
        error = worksheet_write_boolean(ws, r, c, value.AsBoolean() ? 1 : 0, info.format);
        widen(col, 5 * boldFactor);
        break;
      case VarKind::kErrorValue: {
        const std::string literal(host::ErrorValueText(value.AsErrorValue()));
        error = worksheet_write_formula_str(ws, r, c, literal.c_str(), info.format, literal.c_str());
        widen(col, static_cast<double>(literal.size()) * boldFactor);
        break;
      }
      case VarKind::kEmpty:
        if (info.format) error = worksheet_write_blank(ws, r, c, info.format);
        break;
      default:  // arrays and objects never live in cells
        break;
    }
    Check(error, sheet, row, col);
  });
  if (!plainCells.empty()) WritePlainRow(ws, lastRow, plainCells);

  WriteColumnWidths(sheet, ws, widths);
  std::size_t number = 0;
  for (const host::ChartObject& chart : sheet.Charts()) WriteChart(sheet, ws, chart, ++number);
}

// Writes a plain row as the library would in its streaming mode (text as
// inline strings), after the row it still holds, and widens the sheet's
// dimension over it. Numbers are written with the fewest digits that read
// back as the same double.
void XlsxWriter::WritePlainRow(lxw_worksheet* ws, std::int32_t row, const std::vector<PlainCell>& cells) {
  lxw_worksheet_write_single_row(ws);
  const auto r = static_cast<lxw_row_t>(row - 1);
  ws->dim_rowmin = std::min(ws->dim_rowmin, r);
  ws->dim_rowmax = std::max(ws->dim_rowmax, r);
  ws->dim_colmin = std::min(ws->dim_colmin, static_cast<lxw_col_t>(cells.front().col - 1));
  ws->dim_colmax = std::max(ws->dim_colmax, static_cast<lxw_col_t>(cells.back().col - 1));
  char digits[32];
  auto append = [&](auto value) {
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    rowXml_.append(digits, end);
  };
  const auto rowDigits = std::to_chars(digits, digits + sizeof digits, row).ptr;
  const std::string rowNumber(digits, rowDigits);
  rowXml_.assign("<row r=\"").append(rowNumber).append("\">");
  for (const PlainCell& cell : cells) {
    const auto at = static_cast<std::size_t>(cell.col);
    if (at >= columnLetters_.size()) columnLetters_.resize(at + 1);
    if (columnLetters_[at].empty()) columnLetters_[at] = host::ColumnLetters(cell.col);
    rowXml_.append("<c r=\"").append(columnLetters_[at]).append(rowNumber);
    if (cell.info->format) {
      rowXml_.append("\" s=\"");
      append(lxw_format_get_xf_index(cell.info->format));
    }
    switch (cell.kind) {
      case PlainCell::Kind::kNumber:
        rowXml_.append("\"><v>");
        append(cell.value);
        rowXml_.append("</v></c>");
        break;
      case PlainCell::Kind::kText: {
        // Leading or trailing white space is kept only when the text says so.
        const bool edgeSpace = IsXmlSpace(cell.text.front()) || IsXmlSpace(cell.text.back());
        rowXml_.append(edgeSpace ? "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" : "\" t=\"inlineStr\"><is><t>");
        AppendEscapedXml(rowXml_, cell.text);
        rowXml_.append("</t></is></c>");
        break;
      }
      case PlainCell::Kind::kBoolean:
        rowXml_.append(cell.value != 0 ? "\" t=\"b\"><v>1</v></c>" : "\" t=\"b\"><v>0</v></c>");
        break;
      case PlainCell::Kind::kBlank:
        rowXml_.append("\"/>");
        break;
    }
  }
  rowXml_.append("</row>");
  // A failed write shows in the file's error flag, checked when the rows are taken.
  std::fwrite(rowXml_.data(), 1, rowXml_.size(), ws->optimize_tmpfile);
}

// Column widths: the sheet's own where set, otherwise the estimate when it
// exceeds the default; consecutive equal columns share one record.
void XlsxWriter::WriteColumnWidths(const host::Worksheet& sheet, lxw_worksheet* ws, const ColumnWidths& widths) {
  const lxw_format* columnFormat = Format(host::EffectiveFormatId(0, sheet.DefaultFormatId())).format;
  const std::int32_t lastColumn = std::max(widths.LastColumn(), sheet.LastColumnWithWidth());
  auto widthOf = [&](std::int32_t col) { return widths.Width(col, sheet.ColumnWidth(col)); };
  const std::int32_t end = columnFormat ? host::kMaxColumns : lastColumn;
  for (std::int32_t col = 1; col <= end;) {
    const double width = widthOf(col);
    std::int32_t to = col;
    while (to < end && widthOf(to + 1) == width) ++to;
    if (width != kDefaultColumnWidth || columnFormat) {
      const lxw_error error = worksheet_set_column(ws, static_cast<lxw_col_t>(col - 1), static_cast<lxw_col_t>(to - 1),
                                                   width, const_cast<lxw_format*>(columnFormat));
      Check(error, sheet, 1, col);
    }
    col = to + 1;
  }
}

void XlsxWriter::WriteChart(const host::Worksheet& sheet, lxw_worksheet* ws, const host::ChartObject& chart,
                            std::size_t number) {
  const std::string which = fileName_ + ": sheet \"" + sheet.Name() + "\" chart " + std::to_string(number);
  if (!chart.anchor || chart.anchor->Worksheet().get() != &sheet)
    RaiseFileError(kChartNotWritable, which + " has no anchor cell on its sheet");
  struct SeriesCells {
    std::string sheet;
    host::CellRect rect;
  };
  auto seriesCells = [&](const host::RangeRef& series, const char* what) {
    if (!series) RaiseFileError(kChartNotWritable, which + " has no " + what + " series");
    const host::WorksheetRef seriesSheet = series->Worksheet();
    if (!seriesSheet || seriesSheet->Parent().get() != &book_)
      RaiseFileError(kChartNotWritable, which + ": the " + what + " series lies in another workbook");
    return SeriesCells{PlainXmlText(seriesSheet->Name()), series->Rects().front()};
  };
  const SeriesCells x = seriesCells(chart.firstSeries, "first");
  const SeriesCells y = seriesCells(chart.secondSeries, "second");

  lxw_chart* c = workbook_add_chart(wb_, LXW_CHART_SCATTER);
  if (!c) RaiseFileError(kWriteFailed, "cannot write " + fileName_ + ": out of memory");
  lxw_chart_series* series = chart_add_series(c, nullptr, nullptr);
  if (!series) RaiseFileError(kWriteFailed, "cannot write " + fileName_ + ": out of memory");
  // The series are given by sheet name and cells rather than as formula text:
  // the library quotes the name itself, and finds the sheet again by that
  // name (a name with ' or ! in a formula it cannot parse back, and warns).
  auto setCells = [&](void (*set)(lxw_chart_series*, const char*, lxw_row_t, lxw_col_t, lxw_row_t, lxw_col_t),
                      const SeriesCells& cells) {
    set(series, cells.sheet.c_str(), static_cast<lxw_row_t>(cells.rect.top - 1),
        static_cast<lxw_col_t>(cells.rect.left - 1), static_cast<lxw_row_t>(cells.rect.bottom - 1),
        static_cast<lxw_col_t>(cells.rect.right - 1));
  };
  setCells(&chart_series_set_categories, x);
  setCells(&chart_series_set_values, y);
  // The series refer to the cells; no copy of the data goes into the chart
  // (a reader recalculates it), which keeps large series cheap.
  if (series->categories) series->categories->ignore_cache = LXW_TRUE;
  if (series->values) series->values->ignore_cache = LXW_TRUE;
  if (!series->categories || !series->values || !series->categories->formula || !series->values->formula)
    RaiseFileError(kChartNotWritable, which + ": the series references are not accepted");
  chart_series_set_marker_type(series, LXW_CHART_MARKER_CIRCLE);
  chart_series_set_marker_size(series, 3);

  lxw_chart_font titleFont{};
  titleFont.size = 10;
  titleFont.bold = LXW_TRUE;
  lxw_chart_font axisFont{};
  axisFont.size = 8;
  axisFont.bold = LXW_TRUE;
  lxw_chart_font numberFont{};
  numberFont.size = 7;
  if (chart.title.empty()) {
    chart_title_off(c);
  } else {
    chart_title_set_name(c, TitleText(chart.title).c_str());
    chart_title_set_name_font(c, &titleFont);
  }
  if (!chart.firstAxisTitle.empty()) {
    chart_axis_set_name(c->x_axis, TitleText(chart.firstAxisTitle).c_str());
    chart_axis_set_name_font(c->x_axis, &axisFont);
  }
  if (!chart.secondAxisTitle.empty()) {
    chart_axis_set_name(c->y_axis, TitleText(chart.secondAxisTitle).c_str());
    chart_axis_set_name_font(c->y_axis, &axisFont);
  }
  chart_axis_set_num_font(c->x_axis, &numberFont);
  chart_axis_set_num_font(c->y_axis, &numberFont);
  // Each axis crosses the other at its minimum, so that data all below zero
  // does not put an axis and its labels across or beside the plot's far side.
  chart_axis_set_crossing_min(c->x_axis);
  chart_axis_set_crossing_min(c->y_axis);
  chart_legend_set_position(c, LXW_CHART_LEGEND_NONE);

  const host::CellRect& at = chart.anchor->Rects().front();
  lxw_chart_options options{};
  options.x_offset = static_cast<std::int32_t>(std::lround(chart.left * kPixelsPerPoint));
  options.y_offset = static_cast<std::int32_t>(std::lround(chart.top * kPixelsPerPoint));
  options.x_scale = chart.width > 0 ? chart.width * kPixelsPerPoint / kChartBaseWidthPx : 1.0;
  options.y_scale = chart.height > 0 ? chart.height * kPixelsPerPoint / kChartBaseHeightPx : 1.0;
  const lxw_error error = worksheet_insert_chart_opt(ws, static_cast<lxw_row_t>(at.top - 1),
                                                     static_cast<lxw_col_t>(at.left - 1), c, &options);
  if (error != LXW_NO_ERROR) RaiseFileError(kChartNotWritable, which + ": " + lxw_strerror(error));
}

void XlsxWriter::Write(lxw_workbook* wb) {
  wb_ = wb;
  const host::WorksheetRef active = book_.ActiveSheet();
  for (const host::WorksheetRef& sheet : book_.SheetList())
    if (const auto used = sheet->Store().UsedRect()) rowsTotal_ += used->Rows();
  for (const host::WorksheetRef& sheet : book_.SheetList()) {
    // Checked first: the library prints its own message on standard error
    // for a name it refuses, while a refusal here is a numbered error.
    const std::string name = PlainXmlText(sheet->Name());
    const lxw_error invalid = workbook_validate_sheet_name(wb, name.c_str());
    if (invalid != LXW_NO_ERROR)
      RaiseFileError(kWriteFailed, "cannot write " + fileName_ + ": the sheet name \"" + sheet->Name() +
                                       "\" is not accepted (" + lxw_strerror(invalid) + ")");
    lxw_worksheet* ws = workbook_add_worksheet(wb, name.c_str());
    if (!ws) {
      RaiseFileError(kWriteFailed, "cannot write " + fileName_ + ": the sheet name \"" + sheet->Name() +
                                       "\" is not accepted");
    }
    sheets_.push_back(ws);
    WriteSheet(*sheet, ws);
    if (sheet->FitToPageWidth()) worksheet_fit_to_pages(ws, 1, 0);
    if (sheet == active) {
      worksheet_activate(ws);
      // The selection is the application's; it is saved with the sheet it lies on.
      const auto app = book_.Parent();
      const host::RangeRef selection = app ? app->Selection() : nullptr;
      if (selection && selection->Worksheet() == sheet && !selection->Rects().empty()) {
        const host::CellRect& r = selection->Rects().front();
        worksheet_set_selection(ws, static_cast<lxw_row_t>(r.top - 1), static_cast<lxw_col_t>(r.left - 1),
                                static_cast<lxw_row_t>(r.bottom - 1), static_cast<lxw_col_t>(r.right - 1));
      }
    }
  }
}

using FileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

/// Takes the rows the library has streamed to its temporary file for a sheet
/// (in constant-memory mode), leaving it an empty stand-in, so that the sheet
/// part it writes holds an empty <sheetData> element and the rows reach the
/// package through our own, faster and checked, packaging step. The library
/// never checks its writes to that file; its error flag is checked here.
FileHandle TakeRows(lxw_worksheet* ws, const std::string& fileName) {
  if (!ws->optimize || !ws->optimize_tmpfile) return FileHandle(nullptr, &std::fclose);
  if (ws->dim_rowmin == LXW_ROW_MAX) {  // no rows: the library never reads (nor closes) the file
    std::fclose(ws->optimize_tmpfile);
    ws->optimize_tmpfile = nullptr;
    return FileHandle(nullptr, &std::fclose);
  }
  lxw_worksheet_write_single_row(ws);  // the row still held in memory
  std::FILE* standIn = std::fopen("/dev/null", "rb");
  if (!standIn) RaiseFileError(kWriteFailed, "cannot write " + fileName + ": " + std::strerror(errno));
  FileHandle rows(ws->optimize_tmpfile, &std::fclose);
  ws->optimize_tmpfile = standIn;
  errno = 0;
  if (std::fflush(rows.get()) != 0 || std::ferror(rows.get()))
    RaiseFileError(kWriteFailed, "cannot write " + fileName + ": the temporary sheet data could not be written" +
                                     (errno ? std::string(" (") + std::strerror(errno) + ")" : std::string()));
  return rows;
}

/// Closes the row files of the library's worksheets when a save stops before
/// the workbook is closed: the library frees a worksheet without closing its
/// row file, which would leak a descriptor for every failed save.
class RowFilesGuard {
 public:
  explicit RowFilesGuard(const std::vector<lxw_worksheet*>& sheets) : sheets_(sheets) {}
  ~RowFilesGuard() {
    if (!armed_) return;
    for (lxw_worksheet* ws : sheets_)
      if (ws->optimize_tmpfile) {
        std::fclose(ws->optimize_tmpfile);
        ws->optimize_tmpfile = nullptr;
      }
  }
  RowFilesGuard(const RowFilesGuard&) = delete;
  RowFilesGuard& operator=(const RowFilesGuard&) = delete;
  void Release() { armed_ = false; }

 private:
  const std::vector<lxw_worksheet*>& sheets_;
  bool armed_ = true;
};

bool IsXmlPart(const std::string& name) {
  auto endsWith = [&](std::string_view suffix) {
    return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
  };
  return endsWith(".xml") || endsWith(".rels") || endsWith(".vml");
}

/// Writes the final package from the library's: every part is checked and
/// carried over unchanged, except the sheets whose rows were taken, which
/// are written anew with their rows in place.
/// With a merge, only the parts of new sheets are written, under their new
/// names and with their cell formats shifted, and the source's parts follow.
void Repackage(ZipArchive& parts, std::vector<FileHandle>& rows, ZipPackageWriter& out,
               const std::string& fileName, const SaveOptions& options, const PackageMerge* merge) {
  auto damaged = [&](const std::string& part) {
    RaiseFileError(kWriteFailed, "cannot write " + fileName + ": the part " + part +
                                     " came out incomplete (is the disk holding the temporary files full?)");
  };
  // Progress counts the sheet rows copied, which are nearly all of the bytes.
  std::uint64_t rowBytesTotal = 0, rowBytesDone = 0;
  for (const FileHandle& f : rows)
    if (f && std::fseek(f.get(), 0, SEEK_END) == 0) rowBytesTotal += static_cast<std::uint64_t>(std::max(std::ftell(f.get()), 0L));
  for (const ZipEntry& entry : parts.Entries()) {
    std::size_t sheet = 0;
    const bool isSheet = std::sscanf(entry.name.c_str(), "xl/worksheets/sheet%zu.xml", &sheet) == 1 &&
                         entry.name == "xl/worksheets/sheet" + std::to_string(sheet) + ".xml";
    std::FILE* sheetRows = isSheet && sheet >= 1 && sheet <= rows.size() ? rows[sheet - 1].get() : nullptr;
    std::string name = entry.name;
    if (merge) {
      const std::string* newName = merge->NewName(entry.name);
      if (!newName) continue;
      name = *newName;
      if (!sheetRows) {
        std::string xml = parts.Read(entry.name);
        if (IsXmlPart(entry.name) && !XmlPartComplete(xml)) damaged(entry.name);
        if (IsXmlPart(entry.name)) xml = merge->Rewrite(entry.name, std::move(xml));
        out.BeginPart(name, xml.size());
        out.Write(xml);
        out.EndPart();
        continue;
      }
    }
    const bool shift = merge && merge->IsNewSheet(entry.name);
    if (!IsXmlPart(entry.name) && !sheetRows) {
      out.CopyPart(parts, entry);
      continue;
    }
    const std::string xml = parts.Read(entry.name);
    // libxlsxwriter writes every part through a temporary file without
    // checking the writes: a part cut short by a full disk shows here.
    if (!XmlPartComplete(xml)) damaged(entry.name);
    if (!sheetRows) {
      out.CopyPart(parts, entry);
      continue;
    }
    constexpr std::string_view kEmptyData = "<sheetData></sheetData>";
    const std::size_t at = xml.find(kEmptyData);
    if (at == std::string::npos) damaged(entry.name);
    const std::size_t split = at + kEmptyData.find('>') + 1;
    if (std::fseek(sheetRows, 0, SEEK_END) != 0) damaged(entry.name);
    const long rowBytes = std::ftell(sheetRows);
    if (rowBytes < 0) damaged(entry.name);
    std::rewind(sheetRows);
    // Shifted format indices grow the part by a few bytes per cell at most.
    out.BeginPart(name, (xml.size() + static_cast<std::uint64_t>(rowBytes)) * (shift ? 2 : 1));
    out.Write(shift ? merge->ShiftStyles(std::string_view(xml).substr(0, split)) : std::string_view(xml).substr(0, split));
    std::string carry;  // a tag cut at the end of a piece waits for the next
    std::vector<char> buffer(std::size_t{1} << 18);
    std::uint64_t copied = 0;
    for (;;) {
      const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), sheetRows);
      if (n == 0) break;
      copied += n;
      if (shift) {
        carry.append(buffer.data(), n);
        const std::size_t whole = carry.rfind('>') + 1;  // npos + 1 == 0
        out.Write(merge->ShiftStyles(std::string_view(carry).substr(0, whole)));
        carry.erase(0, whole);
      } else {
        out.Write(std::string_view(buffer.data(), n));
      }
      rowBytesDone += n;
      if (options.progress)
        options.progress("package", static_cast<double>(rowBytesDone) / static_cast<double>(rowBytesTotal));
    }
    if (std::ferror(sheetRows) || copied != static_cast<std::uint64_t>(rowBytes) || !carry.empty()) damaged(entry.name);
    out.Write(shift ? merge->ShiftStyles(std::string_view(xml).substr(split)) : std::string_view(xml).substr(split));
    out.EndPart();
  }
}

/// Where the file at path really is: symbolic links followed (a dangling one
/// to where its target would be), so that saving writes through a link
/// instead of replacing it.
std::string ResolveLinks(const std::string& path, const std::string& fileName) {
  std::filesystem::path current(path);
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::symlink_status(current, ec);
    if (ec || status.type() != std::filesystem::file_type::symlink) return current.string();
    const std::filesystem::path target = std::filesystem::read_symlink(current, ec);
    if (ec) RaiseFileError(kWriteFailed, "cannot write " + fileName + ": " + ec.message());
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  RaiseFileError(kWriteFailed, "cannot write " + fileName + ": too many levels of symbolic links");
}

}  // namespace

void SaveWorkbook(const host::Workbook& book, const std::string& path, const SaveOptions& options) {
  const std::string fileName = FileNameOf(path);
  if (book.IsAddin()) RaiseFileError(kAddinNotWritable, book.Name() + ": the add-in workbook is never saved");
  const std::shared_ptr<host::Application> app = book.Parent();
  if (!app) RaiseFileError(kWriteFailed, "cannot write " + fileName + ": the workbook is closed");

  const std::string target = ResolveLinks(path, fileName);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode))
    RaiseFileError(kWriteFailed, "cannot write " + fileName + ": not a regular file");
  const std::filesystem::path parent = std::filesystem::path(target).parent_path();
  const std::string folder = parent.empty() ? std::string(".") : parent.string();

  // The library's scratch files go to $TMPDIR when set, otherwise beside the
  // target; the final file is written beside the target, so that moving it
  // into place is one rename on one file system.
  // (A $TMPDIR that is no writable folder is passed over, as other programs do.)
  const char* tmpdir = std::getenv("TMPDIR");
  struct stat tmpInfo {};
  const bool useTmpdir = tmpdir && *tmpdir && ::stat(tmpdir, &tmpInfo) == 0 && S_ISDIR(tmpInfo.st_mode) &&
                         ::access(tmpdir, W_OK | X_OK) == 0;
  std::string scratch = useTmpdir ? std::string(tmpdir) : folder;
  // With the rows taken out, the library's own package is small: it goes to
  // memory where the system allows, so that the library's zip writes cannot
  // fail on a full disk (it would print its own error message besides ours).
  std::optional<MemoryFile> memoryParts = options.constantMemory ? MemoryFile::Create() : std::nullopt;
  std::optional<TempFile> diskParts;
  if (!memoryParts) {
    diskParts.emplace(scratch, fileName);
    diskParts->Close();
  }
  const std::string& partsPath = memoryParts ? memoryParts->Path() : diskParts->Path();
  TempFile out(folder, fileName);

  std::vector<std::unique_ptr<char[]>> rowFileBuffers;  // outlive the row files
  std::vector<FileHandle> rows;
  {
    // libxlsxwriter prints numbers with printf: under a locale with a decimal
    // comma it would write "1,5" into the file, which no reader takes.
    const ClassicLocaleScope classicNumbers;
    lxw_workbook_options lxwOptions{};
    lxwOptions.constant_memory = options.constantMemory ? LXW_TRUE : LXW_FALSE;
    lxwOptions.tmpdir = scratch.data();
    lxwOptions.use_zip64 = LXW_TRUE;
    std::unique_ptr<lxw_workbook, WorkbookCloser> wb(workbook_new_opt(partsPath.c_str(), &lxwOptions));
    if (!wb) RaiseFileError(kWriteFailed, "cannot write " + fileName + ": the workbook cannot be created");
    XlsxWriter writer(book, app->Formats(), fileName, options);
    RowFilesGuard guard(writer.Sheets());
    writer.Write(wb.get());
    rowFileBuffers = writer.TakeRowFileBuffers();
    for (lxw_worksheet* ws : writer.Sheets()) rows.push_back(TakeRows(ws, fileName));
    guard.Release();
    const lxw_error closed = workbook_close(wb.release());  // frees the workbook whatever the outcome
    if (closed != LXW_NO_ERROR)
      RaiseFileError(kWriteFailed, "cannot write " + fileName + ": " + lxw_strerror(closed));
  }

  const InflateLimits unlimited{~std::uint64_t{0}, ~std::uint64_t{0}};
  ZipArchive written = ZipArchive::OpenFile(partsPath, fileName + " (temporary parts)", unlimited);
  std::optional<ZipArchive> source;
  std::optional<PackageMerge> merge;
  const std::string extension = std::filesystem::path(path).extension().string();
  const bool macroName = ::strcasecmp(extension.c_str(), ".xlsm") == 0;
  if (!options.keepPackage.empty()) {
    std::string why;
    try {
      source.emplace(ZipArchive::OpenFile(options.keepPackage, FileNameOf(options.keepPackage)));
      merge = PackageMerge::Plan(*source, written, why);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& e) {
      why = e.what();  // a source that cannot be read again: the workbook is written from its cells
    }
    if (merge && merge->MacroEnabled() && !macroName) {
      merge.reset();
      why = "a macro-enabled workbook is kept only in a file named .xlsm";
    }
    if (!merge && options.notice) options.notice(why);
  }
  // An .xlsm name on a workbook without macros would be refused by the spreadsheet.
  if (macroName && !(merge && merge->MacroEnabled()))
    RaiseFileError(kUnsupportedFileType, fileName + ": only a workbook read from a macro-enabled file, kept whole, "
                                                    "is saved as .xlsm; name the file .xlsx");
  ZipPackageWriter package(out.Descriptor(), fileName);
  Repackage(written, rows, package, fileName, options, merge ? &*merge : nullptr);
  if (merge) merge->WriteSource(*source, package);
  package.Finish();
  rows.clear();

  // mkstemp makes the file private; give it the mode a new file gets (or the old file's).
  mode_t mode;
  if (exists) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(out.Descriptor(), mode) != 0 || ::fsync(out.Descriptor()) != 0)
    RaiseFileError(kWriteFailed, "cannot write " + fileName + ": " + std::strerror(errno));
  out.Close();
  if (std::rename(out.Path().c_str(), target.c_str()) != 0)
    RaiseFileError(kWriteFailed, "cannot write " + fileName + ": " + std::strerror(errno));
  out.Keep();
  // The rename itself reaches the disk with the folder.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace nml::host::files
