// The worksheet host the component works in, as a program sees it.
//
// clsCorrelation resolves its ranges in the host's active workbook and writes
// its report there. These calls give a program that workbook: open a .csv or
// .xlsx file, or create an empty workbook and fill it block by block, read
// values, formats and charts back, and save the whole workbook as .xlsx.
//
//   nml::Host::Open("survey.xlsx");
//   nml::clsCorrelation corr;
//   corr.XRange("survey!B1:D200");
//   corr.Headers(true);
//   corr.Results();
//   std::string where = nml::Host::ReportRange();  // e.g. "Sheet2!A1:E28"
//   nml::Host::Save("survey-report.xlsx");
//
// There is one host per process. Every failure is raised as nml::Error with a
// number, a description and a source naming the call ("...Host.Open").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "nmlcorrelation/error.h"
#include "nmlcorrelation/export.h"
#include "nmlcorrelation/variant.h"

namespace nml {

/// A rectangle of cell values, row by row. Positions are 1-based.
/// A value is Empty, a number, text, a Boolean or an error value.
struct NML_API CellBlock {
  std::int32_t top = 1;
  std::int32_t left = 1;
  std::int32_t rows = 0;
  std::int32_t columns = 0;
  std::vector<Variant> values;  // rows * columns

  /// The value at 0-based (r, c) within the block.
  const Variant& At(std::int32_t r, std::int32_t c) const { return values[static_cast<std::size_t>(r) * columns + c]; }
};

/// Horizontal alignment of a cell.
enum class CellAlign : std::int32_t { kGeneral, kLeft, kCenter, kRight };

/// How one cell looks.
struct NML_API CellStyle {
  std::string numberFormat = "General";
  bool bold = false;
  bool border = false;           // thin border on all four sides
  double fontSize = 0;           // points; 0 means the sheet's default size
  std::int32_t fillColor = -1;   // 0xRRGGBB, or -1 for no fill
  CellAlign align = CellAlign::kGeneral;
};

/// A scatter chart on a worksheet.
struct NML_API ChartInfo {
  std::string sheet;
  std::int32_t anchorRow = 1;     // the cell whose top-left corner the offsets start from
  std::int32_t anchorColumn = 1;
  double left = 0, top = 0;       // offsets from the anchor, points
  double width = 0, height = 0;   // points
  std::string title;
  std::string xAxisTitle;
  std::string yAxisTitle;
  std::string xValues;            // absolute references, e.g. "Sheet2!$B$97:$B$246"
  std::string yValues;
};

/// The process's worksheet host.
class NML_API Host {
 public:
  Host() = delete;

  /// Closes every workbook a program opened or created; the next call starts afresh.
  static void Reset();
  /// Opens a .csv or .xlsx file as the active workbook; returns its name.
  static std::string Open(const std::string& path);
  /// Creates an empty workbook with one sheet (named sheetName) and makes it
  /// active; returns the workbook's name.
  static std::string Create(const std::string& sheetName = "Sheet1");

  /// The sheets of the active workbook, in order.
  static std::vector<std::string> Sheets();
  /// The active sheet of the active workbook.
  static std::string ActiveSheet();
  /// Adds a sheet after the last one; an empty or taken name gets the next
  /// free "SheetN". Returns the name given.
  static std::string AddSheet(const std::string& name = {});

  /// Writes block.values into sheet at (block.top, block.left) in one step.
  static void PutValues(const std::string& sheet, const CellBlock& block);
  /// The values of the sheet's used rectangle (rows = 0 for an empty sheet).
  static CellBlock UsedValues(const std::string& sheet);
  /// The values of one rectangular reference, e.g. "Data!A1:C48".
  static CellBlock Values(const std::string& reference);
  /// The styles of a rectangle of a sheet, row by row.
  static std::vector<CellStyle> Styles(const std::string& sheet, std::int32_t top, std::int32_t left,
                                       std::int32_t rows, std::int32_t columns);
  /// Width of a column, in characters of the default font.
  static double ColumnWidth(const std::string& sheet, std::int32_t column);
  /// The charts on a sheet, in the order they were made.
  static std::vector<ChartInfo> Charts(const std::string& sheet);

  /// Where the last Results call pasted its report, e.g. "Sheet2!A1:E28";
  /// empty before the first report.
  static std::string ReportRange();

  /// The example data file installed with the package (savings.csv), found
  /// beside the installed library or program; empty when it is not there.
  static std::string ExampleFile();

  /// Saves the active workbook, with its charts, as .xlsx. Refuses the file
  /// the workbook was opened from; an existing file is replaced only when the
  /// whole workbook has been written.
  static void Save(const std::string& path);
};

}  // namespace nml
