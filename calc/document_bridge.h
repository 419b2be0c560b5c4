// The one place where the live Calc document and the component meet.
//
// Run copies the cells a caller names from the document into a workbook of
// the component's host (same sheet names, same positions; block-wise through
// getDataArray), runs clsCorrelation there, and then writes the finished
// report back into the document with setDataArray: values, number formats,
// fonts, fills, borders, alignment, column widths and native XY-scatter
// charts. Everything is computed and checked before the document is touched,
// so a failure leaves the document as it was.
#pragma once

#include <cstdint>
#include <string>

#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>

namespace nml::calc {

/// What a macro or the dialog set on the service.
struct Settings {
  std::int16_t method = 0;
  bool headers = false, descriptives = false, standardised = false, raw = false, plots = false;
  std::string xRange, yRange, outputRange;
};

/// Seconds spent in each stage of one run.
struct StageTimes {
  double read = 0, compute = 0, write = 0, charts = 0;
};

class DocumentBridge {
 public:
  explicit DocumentBridge(css::uno::Reference<css::sheet::XSpreadsheetDocument> doc);

  /// Runs the analysis and writes the report. reportSheet names the sheet an
  /// earlier run without OutputRange created; a run without OutputRange
  /// writes there again when it still exists, else on a new last sheet whose
  /// name is stored back. Raises nml::Error with the component's numbers
  /// (6004 when the output place holds data and overWrite is false).
  StageTimes Run(const Settings& settings, bool overWrite, std::string& reportSheet);

  /// The name of the sheet the document's view shows, else the first sheet.
  std::string ActiveSheet() const;

 private:
  css::uno::Reference<css::sheet::XSpreadsheetDocument> doc_;
};

}  // namespace nml::calc
