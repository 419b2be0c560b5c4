// clsCorrelationOutput: the report writer. Composes one analysis report top to
// bottom on the scratch sheet "Results" of the add-in workbook and hands back
// the rectangle that holds it.
//
// The writer keeps a row cursor (every block starts on it, in column 1, and
// leaves it on the first row below what it wrote) and the widest column any
// table has claimed, which becomes the right edge of the returned range.
// Creating a writer wipes the scratch sheet, so only one writer may be alive
// at a time.
//
//   report::clsCorrelationOutput out;          // clears "Results"
//   out.Method(nmlCorrSimple);
//   out.OutputHeader("Data!$A$1:$C$21", Variant::Missing(), Variant(""));
//   out.InsertBlankLines(1);
//   out.OutputMatrix(names, names, engine.R(), "Correlation Matrix (R)");
//   out.InsertBlankLines(1);
//   host::RangeRef report = out.Results();
//
// Every member raises the component's numbered errors with the source road of
// the error convention (class part "clsCorrelationOutput").
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/range.h"
#include "host/worksheet.h"
#include "nmlcorrelation/array.h"
#include "nmlcorrelation/boolean.h"
#include "nmlcorrelation/variant.h"

namespace nml::support {
class CellWriter;
class SheetDefaults;
}  // namespace nml::support

namespace nml::report {

class clsCorrelationOutput {
 public:
  /// Finds the "Results" sheet of "nml2007.xlam", else of "Numerolith.xla",
  /// clears every cell of it and gives it the background colour. Neither
  /// sheet found raises 91 (object not set), source "...Initialise".
  clsCorrelationOutput();
  /// Releases the sheet, the sheet defaults and the cell writer; never raises.
  ~clsCorrelationOutput();
  clsCorrelationOutput(const clsCorrelationOutput&) = delete;
  clsCorrelationOutput& operator=(const clsCorrelationOutput&) = delete;

  /// The report: cells (1, 1) to (CurrentRow, WidestColumn) of the scratch
  /// sheet. Styles the cursor row as a title row and widens a report that has
  /// no table to six columns.
  host::RangeRef Results();
  /// The method code (nmlCorrelationMethod value); selects the header wording.
  void Method(std::int32_t Val);

  /// The title block: three lines for multiple (1), partial (2) and canonical
  /// (3) correlation, two for any other code (Pearson; YRange is not read and
  /// may be the missing marker). A non-empty Comment adds one more line.
  void OutputHeader(const std::string& XRange, const Variant& YRange, const Variant& Comment);
  /// One line of text, styled as a major (Heading) or minor title, followed
  /// by NumBlankLines empty rows.
  void OutputComment(const std::string& Comment, std::int16_t NumBlankLines = 0, VBool Heading = kVFalse);
  /// Leaves NumLines empty rows; a negative count raises 5 (the cursor never
  /// moves up over rows already written).
  void InsertBlankLines(std::int16_t NumLines);

  /// "Descriptive Statistics": one row per name (the first UBound(Headers)
  /// elements of each statistic; longer arrays are fine) with the columns
  /// Variable, Mean, Std Dev., Std Err, N. Claims five columns.
  void OutputDescriptives(const Array<std::string>& Headers, const Array<double>& Mean, const Array<double>& SD,
                          const Array<double>& SE, const Array<double>& n);
  /// A titled matrix. Matrix holds a 2-D array (of doubles, or of variants
  /// mixing numbers and markers such as "-"), written in one assignment.
  /// A header array whose element 1 is "Enumerate" asks for generated labels
  /// element 3 & 1, element 3 & 2, ...; for RowHeaders its element 2 is the
  /// corner caption. RowHeaders(1) = "" means no label column.
  /// ReturnCoords, when given, receives the body's position as a Variant
  /// holding a 2 by 2 Array<Variant> of Variant::Long values:
  /// (1,1) first row, (1,2) first column, (2,1) last row, (2,2) last column.
  void OutputMatrix(const Array<std::string>& ColHeaders, const Array<std::string>& RowHeaders,
                    const Variant& Matrix, const std::string& Title, Variant* ReturnCoords = nullptr);
  /// The squared loadings of each variable (rows) on each variate (columns)
  /// with the average over the variables in a last row "Average".
  void OutputExplained(const Array<std::string>& Headers, const Matrix& Loadings, const std::string& Title);

  /// The row the next block starts on, and the widest column claimed so far.
  std::int32_t CurrentRow() const { return currentRow_; }
  std::int16_t WidestColumn() const { return widestColumn_; }
  /// The scratch sheet being written.
  const host::WorksheetRef& ResultsSheet() const { return resultsSheet_; }

 private:
  void Put(std::int32_t row, std::int32_t col, const Variant& value);
  host::RangeRef Block(std::int32_t top, std::int32_t left, std::int32_t bottom, std::int32_t right) const;
  void ClaimWidth(std::int64_t columns);

  // Released in reverse order of declaration: the sheet first, then the
  // sheet defaults, then the cell writer.
  std::unique_ptr<support::CellWriter> cellWriter_;
  std::unique_ptr<support::SheetDefaults> sheetDefaults_;
  host::WorksheetRef resultsSheet_;
  std::int32_t currentRow_ = 1;
  std::int16_t widestColumn_ = 1;
  std::int32_t method_ = 0;
};

}  // namespace nml::report
