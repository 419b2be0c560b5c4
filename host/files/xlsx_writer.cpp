#include "host/files/xlsx_writer.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <vector>

#include "common/classic_locale_scope.h"
#include "common/file_replacement.h"
#include "common/utf8.h"
#include "host/application.h"
#include "host/cell_format.h"
#include "host/cell_rect.h"
#include "host/error_values.h"
#include "host/format_table.h"
#include "host/files/column_widths.h"
#include "host/files/file_errors.h"
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

/// A sheet-qualified absolute reference: 'My data'!$A$2:$A$101.
std::string SheetReference(const std::string& sheetName, const host::CellRect& rect) {
  std::string quoted = "'";
  for (const char c : sheetName) {
    quoted.push_back(c);
    if (c == '\'') quoted.push_back('\'');
  }
  return "=" + quoted + "'!" + host::AbsoluteAddress(rect);
}

/// Text for a chart or axis title; a leading "=" would make it a cell reference.
std::string TitleText(const std::string& text) { return (!text.empty() && text.front() == '=') ? " " + text : text; }

struct WorkbookCloser {
  void operator()(lxw_workbook* wb) const { lxw_workbook_free(wb); }
};

class XlsxWriter {
 public:
  XlsxWriter(const host::Workbook& book, const host::FormatTable& formats, const std::string& fileName)
      : book_(book), formats_(formats), fileName_(fileName) {}

  void Write(lxw_workbook* wb);

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
  void Check(lxw_error error, const host::Worksheet& sheet, std::int32_t row, std::int32_t col) const;

  const host::Workbook& book_;
  const host::FormatTable& formats_;
  std::string fileName_;
  lxw_workbook* wb_ = nullptr;
  std::unordered_map<std::uint32_t, FormatInfo> cache_;
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
    if (text.size() <= kMaxTextLength || CountCharacters(text) <= kMaxTextLength) return;
    RaiseFileError(kCellNotWritable, fileName_ + ": sheet \"" + sheet.Name() + "\" cell " + host::ColumnLetters(col) +
                                         std::to_string(row) + ": text longer than 32,767 characters");
  };

  store.ForEachCell([&](std::int32_t row, std::int32_t col, const Variant& value, std::uint32_t formatId) {
    const FormatInfo& info = Format(host::EffectiveFormatId(formatId, sheetFormat));
    const double boldFactor = info.bold ? 1.1 : 1.0;
    widths.Visit(row, col, !value.IsEmpty());

    const lxw_row_t r = static_cast<lxw_row_t>(row - 1);
    const lxw_col_t c = static_cast<lxw_col_t>(col - 1);
    const std::string* formula = store.Formula(row, col);
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
          error = worksheet_write_formula_str(ws, r, c, formula->c_str(), info.format, value.Text().c_str());
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
                             : worksheet_write_string(ws, r, c, text.c_str(), info.format);
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

  WriteColumnWidths(sheet, ws, widths);
  std::size_t number = 0;
  for (const host::ChartObject& chart : sheet.Charts()) WriteChart(sheet, ws, chart, ++number);
}

// Column widths: the sheet's own where set, otherwise the estimate when it
// exceeds the default; consecutive equal columns share one record.
void XlsxWriter::WriteColumnWidths(const host::Worksheet& sheet, lxw_worksheet* ws, const ColumnWidths& widths) {
  const lxw_format* columnFormat = Format(host::EffectiveFormatId(0, sheet.DefaultFormatId())).format;
  std::int32_t lastColumn = widths.LastColumn();
  for (std::int32_t col = host::kMaxColumns; col > lastColumn; --col)
    if (sheet.ColumnWidth(col) > 0) {
      lastColumn = col;
      break;
    }
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
  auto seriesReference = [&](const host::RangeRef& series, const char* what) {
    if (!series) RaiseFileError(kChartNotWritable, which + " has no " + what + " series");
    const host::WorksheetRef seriesSheet = series->Worksheet();
    if (!seriesSheet || seriesSheet->Parent().get() != &book_)
      RaiseFileError(kChartNotWritable, which + ": the " + what + " series lies in another workbook");
    return SheetReference(seriesSheet->Name(), series->Rects().front());
  };
  const std::string x = seriesReference(chart.firstSeries, "first");
  const std::string y = seriesReference(chart.secondSeries, "second");

  lxw_chart* c = workbook_add_chart(wb_, LXW_CHART_SCATTER);
  if (!c) RaiseFileError(kWriteFailed, "cannot write " + fileName_ + ": out of memory");
  lxw_chart_series* series = chart_add_series(c, x.c_str(), y.c_str());
  if (!series) RaiseFileError(kChartNotWritable, which + ": the series references are not accepted");
  // The series refer to the cells; no copy of the data goes into the chart
  // (a reader recalculates it), which keeps large series cheap.
  if (series->categories) series->categories->ignore_cache = LXW_TRUE;
  if (series->values) series->values->ignore_cache = LXW_TRUE;
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
  for (const host::WorksheetRef& sheet : book_.SheetList()) {
    lxw_worksheet* ws = workbook_add_worksheet(wb, sheet->Name().c_str());
    if (!ws) {
      RaiseFileError(kWriteFailed, "cannot write " + fileName_ + ": the sheet name \"" + sheet->Name() +
                                       "\" is not accepted");
    }
    WriteSheet(*sheet, ws);
    if (sheet == active) worksheet_activate(ws);
  }
}


}  // namespace

void SaveWorkbook(const host::Workbook& book, const std::string& path, const SaveOptions& options) {
  const std::string fileName = FileNameOf(path);
  if (book.IsAddin()) RaiseFileError(kAddinNotWritable, book.Name() + ": the add-in workbook is never saved");
  const std::shared_ptr<host::Application> app = book.Parent();
  if (!app) RaiseFileError(kWriteFailed, "cannot write " + fileName + ": the workbook is closed");

  FileReplacement temp(path);
  if (!temp.Open()) RaiseFileError(kWriteFailed, "cannot write " + fileName + ": " + std::strerror(temp.Errno()));

  // libxlsxwriter prints numbers with printf: under a locale with a decimal
  // comma it would write "1,5" into the file, which no reader takes.
  const ClassicLocaleScope classicNumbers;
  lxw_workbook_options lxwOptions{};
  lxwOptions.constant_memory = options.constantMemory ? LXW_TRUE : LXW_FALSE;
  lxwOptions.use_zip64 = LXW_TRUE;
  std::unique_ptr<lxw_workbook, WorkbookCloser> wb(workbook_new_opt(temp.TemporaryPath().c_str(), &lxwOptions));
  if (!wb) RaiseFileError(kWriteFailed, "cannot write " + fileName + ": the workbook cannot be created");
  XlsxWriter(book, app->Formats(), fileName).Write(wb.get());
  const lxw_error closed = workbook_close(wb.release());  // frees the workbook whatever the outcome
  if (closed != LXW_NO_ERROR) RaiseFileError(kWriteFailed, "cannot write " + fileName + ": " + lxw_strerror(closed));

  if (!temp.Commit()) RaiseFileError(kWriteFailed, "cannot write " + fileName + ": " + std::strerror(temp.Errno()));
}

}  // namespace nml::host::files

// ---------------------------------------------------------------------------
// The deflate level of the workbooks we write.
//
// libxlsxwriter offers no compression-level setting: it asks minizip for
// zlib's default level for every part, and on a large sheet two thirds of the
// save then go into compression. Sheet parts are mostly digits and tags, which
// the fastest level packs almost as tightly in a third of the time. So the
// library's call into minizip that opens a part comes here first (a definition
// in our own code comes before minizip's in symbol lookup), the default level
// is replaced by the fastest one, and the call goes on to minizip itself.

namespace {

constexpr int kDeflated = 8;               // Z_DEFLATED
constexpr int kDefaultCompression = -1;    // Z_DEFAULT_COMPRESSION
constexpr int kBestSpeed = 1;              // Z_BEST_SPEED
constexpr int kZipInternalError = -104;    // ZIP_INTERNALERROR

using OpenInZip = int (*)(void* file, const char* filename, const void* zipfi, const void* extrafieldLocal,
                          unsigned sizeExtrafieldLocal, const void* extrafieldGlobal, unsigned sizeExtrafieldGlobal,
                          const char* comment, int method, int level, int raw, int windowBits, int memLevel,
                          int strategy, const char* password, unsigned long crcForCrypting,
                          unsigned long versionMadeBy, unsigned long flagBase, int zip64);

}  // namespace

extern "C" int zipOpenNewFileInZip4_64(void* file, const char* filename, const void* zipfi,
                                       const void* extrafieldLocal, unsigned sizeExtrafieldLocal,
                                       const void* extrafieldGlobal, unsigned sizeExtrafieldGlobal,
                                       const char* comment, int method, int level, int raw, int windowBits,
                                       int memLevel, int strategy, const char* password,
                                       unsigned long crcForCrypting, unsigned long versionMadeBy,
                                       unsigned long flagBase, int zip64) {
  static const OpenInZip minizip = reinterpret_cast<OpenInZip>(dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
  if (minizip == nullptr) return kZipInternalError;
  if (method == kDeflated && level == kDefaultCompression) level = kBestSpeed;
  return minizip(file, filename, zipfi, extrafieldLocal, sizeExtrafieldLocal, extrafieldGlobal,
                 sizeExtrafieldGlobal, comment, method, level, raw, windowBits, memLevel, strategy, password,
                 crcForCrypting, versionMadeBy, flagBase, zip64);
}
