#include "report/cls_correlation_output.h"

#include <cmath>
#include <string_view>
#include <utility>

#include "host/addin_workbook.h"
#include "nmlcorrelation/method.h"
#include "common/checked.h"
#include "common/handlers.h"
#include "support/addin_globals.h"
#include "host/application.h"
#include "support/cell_writer.h"
#include "support/host_link.h"
#include "support/sheet_defaults.h"
#include "host/workbook.h"

namespace nml::report {

namespace {

constexpr std::string_view kClass = "clsCorrelationOutput";
constexpr std::string_view kEnumerate = "Enumerate";

/// The "Results" sheet of one add-in workbook, or nothing when that workbook
/// is not open or has no such sheet. Any failure of the search is swallowed:
/// the caller falls back to the other workbook name.
host::WorksheetRef FindResultsSheet(std::string_view workbook) {
  try {
    host::ApplicationRef app = support::TheHostLink().Application();
    if (!app) return nullptr;
    return app->Workbooks()->Item(workbook)->Worksheets()->Item(host::kScratchSheetName);
  } catch (...) {
    return nullptr;
  }
}

/// A number headed for a report cell must be finite: an infinity or NaN would
/// pass off as a result, so it stops the block with Overflow (6).
void RequireFinite(double d) {
  if (!std::isfinite(d)) Raise(rt::kOverflow);
}

/// Checks the body of OutputMatrix and gives its row and column counts. It
/// must be a 2-D array with at least one row and one column: a non-array is a
/// type mismatch (13), an array of another rank or without elements a
/// subscript error (9). Numbers must be finite. All of this is checked before
/// a cell is written. Doubles become Double cells; the elements of a variant
/// array (the "-" marker, a whole-number 0, padding) are written as they are.
void CheckBody(const Variant& matrix, std::int32_t& rows, std::int32_t& cols) {
  if (matrix.Kind() == VarKind::kDoubleArray) {
    const Array<double>& a = matrix.Doubles();
    if (a.Rank() != 2 || a.Size() == 0) Raise(rt::kSubscriptOutOfRange);
    const double* p = a.Data();
    for (std::size_t i = 0, n = a.Size(); i < n; ++i) RequireFinite(p[i]);
    rows = a.UBound(1);
    cols = a.UBound(2);
    return;
  }
  if (matrix.Kind() == VarKind::kVariantArray) {
    const Array<Variant>& a = matrix.Variants();
    if (a.Rank() != 2 || a.Size() == 0) Raise(rt::kSubscriptOutOfRange);
    const Variant* p = a.Data();
    for (std::size_t i = 0, n = a.Size(); i < n; ++i)
      if (p[i].Kind() == VarKind::kDouble) RequireFinite(p[i].AsDouble());
    rows = a.UBound(1);
    cols = a.UBound(2);
    return;
  }
  Raise(rt::kTypeMismatch);
}

/// Label j of a header array: generated (element 3 followed by j) for an
/// "Enumerate" request, otherwise element j itself. A generated label without
/// a prefix is the bare number j, a numeric cell, as the spreadsheet turns
/// the text "12" into the number 12 when it is assigned to a cell.
Variant Label(const Array<std::string>& headers, bool enumerate, std::int32_t j) {
  if (!enumerate) return Variant(headers(j));
  const std::string& prefix = headers(3);
  if (prefix.empty()) return Variant(static_cast<double>(j));
  return Variant(prefix + std::to_string(j));
}

}  // namespace

clsCorrelationOutput::clsCorrelationOutput() {
  Trail({kClass, "Initialise"}, [&] {
    resultsSheet_ = FindResultsSheet(host::kAddinWorkbookName);
    if (!resultsSheet_) resultsSheet_ = FindResultsSheet(host::kLegacyAddinWorkbookName);

    sheetDefaults_ = std::make_unique<support::SheetDefaults>();
    cellWriter_ = std::make_unique<support::CellWriter>();

    if (!resultsSheet_) Raise(rt::kObjectNotSet);
    host::RangeRef everyCell = resultsSheet_->Cells();
    everyCell->Clear();
    everyCell->SetInteriorColorIndex(sheetDefaults_->BackgroundColorIndex());

    currentRow_ = 1;
    widestColumn_ = 1;
    method_ = nmlCorrSimple;
  });
}

clsCorrelationOutput::~clsCorrelationOutput() {
  try {
    resultsSheet_.reset();
    sheetDefaults_.reset();
    cellWriter_.reset();
  } catch (...) {
  }
}

host::RangeRef clsCorrelationOutput::Results() {
  return Stamp({kClass, "GetResults"}, [&] {
    cellWriter_->StyleTitle(*resultsSheet_->Cells(currentRow_, 1), kVTrue);
    if (widestColumn_ == 1) widestColumn_ = 6;
    host::ApplicationRef app = support::TheHostLink().Application();
    return app->GetRange(*resultsSheet_->Cells(1, 1), *resultsSheet_->Cells(currentRow_, widestColumn_));
  });
}

void clsCorrelationOutput::Method(std::int32_t Val) {
  Stamp({kClass, "LetMethod"}, [&] { method_ = Val; });
}

void clsCorrelationOutput::OutputHeader(const std::string& XRange, const Variant& YRange, const Variant& Comment) {
  Trail({kClass, "OutputHeader"}, [&] {
    const std::int32_t r = currentRow_;
    std::int32_t rows = 3;
    const char* titleRange = "A1:A3";
    switch (method_) {
      case nmlCorrMultiple:
        Put(r, 1, Variant("Multiple Correlation Results for:"));
        Put(r + 1, 1, Variant("Y Variable Range = " + YRange.ToText()));
        Put(r + 2, 1, Variant("X Variable Range = " + XRange));
        break;
      case nmlCorrPartial:
        Put(r, 1, Variant("Partial Correlation Results for:"));
        Put(r + 1, 1, Variant("Variable Range = " + YRange.ToText()));
        Put(r + 2, 1, Variant("Controlling For = " + XRange));
        break;
      case nmlCorrCanonical:
        Put(r, 1, Variant("Canonical Correlation Results for:"));
        Put(r + 1, 1, Variant("Set 1 Range = " + XRange));
        Put(r + 2, 1, Variant("Set 2 Range = " + YRange.ToText()));
        break;
      default:
        Put(r, 1, Variant("Pearson Correlation Results for:"));
        Put(r + 1, 1, Variant("Variable Range = " + XRange));
        rows = 2;
        titleRange = "A1:A2";
        break;
    }
    // The header is always the first thing a writer writes, so the title
    // range is fixed rather than relative to the cursor.
    cellWriter_->StyleTitle(*resultsSheet_->GetRange(titleRange), kVTrue);
    currentRow_ = AddLong(r, rows);

    const std::string comment = Comment.ToText();
    if (!comment.empty()) {
      Put(currentRow_, 1, Variant(comment));
      cellWriter_->StyleTitle(*resultsSheet_->Cells(currentRow_, 1), kVTrue);
      currentRow_ = AddLong(currentRow_, 1);
    }
  });
}

void clsCorrelationOutput::OutputComment(const std::string& Comment, std::int16_t NumBlankLines, VBool Heading) {
  Trail({kClass, "OutputComment"}, [&] {
    if (NumBlankLines < 0) Raise(rt::kInvalidCall);
    const std::int32_t r = currentRow_;
    Put(r, 1, Variant(Comment));
    cellWriter_->StyleTitle(*resultsSheet_->Cells(r, 1), Heading);
    currentRow_ = AddLong(AddLong(r, NumBlankLines), 1);
  });
}

void clsCorrelationOutput::InsertBlankLines(std::int16_t NumLines) {
  Trail({kClass, "InsertBlankLines"}, [&] {
    if (NumLines < 0) Raise(rt::kInvalidCall);
    currentRow_ = AddLong(currentRow_, NumLines);
  });
}

void clsCorrelationOutput::OutputDescriptives(const Array<std::string>& Headers, const Array<double>& Mean,
                                              const Array<double>& SD, const Array<double>& SE,
                                              const Array<double>& n) {
  Trail({kClass, "OutputDescriptives"}, [&] {
    const std::int32_t k = Headers.UBound(1);
    if (k < 1) Raise(rt::kSubscriptOutOfRange);
    // Every number shown must exist and be finite before the first cell is
    // written, so that a bad statistic leaves no half-written table.
    for (std::int32_t i = 1; i <= k; ++i) {
      RequireFinite(Mean(i));
      RequireFinite(SD(i));
      RequireFinite(SE(i));
      RequireFinite(n(i));
    }

    const std::int32_t r = currentRow_;
    const std::int32_t h = AddLong(r, 1);
    Put(r, 1, Variant("Descriptive Statistics"));
    cellWriter_->StyleTitle(*resultsSheet_->Cells(r, 1), kVFalse);
    currentRow_ = h;

    Array<Variant> headings = Array<Variant>::Matrix(1, 5);
    headings(1, 1) = Variant("Variable");
    headings(1, 2) = Variant("Mean");
    headings(1, 3) = Variant("Std Dev.");
    headings(1, 4) = Variant("Std Err");
    headings(1, 5) = Variant("N");
    Block(h, 1, h, 5)->SetValue(Variant(std::move(headings)));
    cellWriter_->StyleHeaderStrip(*Block(h, 1, h, 5), kVFalse);

    const std::int32_t last = AddLong(h, k);
    for (std::int32_t i = 1; i <= k; ++i) {
      const std::int32_t row = h + i;
      Put(row, 1, Variant(Headers(i)));
      Put(row, 2, Variant(Mean(i)));
      Put(row, 3, Variant(SD(i)));
      Put(row, 4, Variant(SE(i)));
      Put(row, 5, Variant(n(i)));
    }
    cellWriter_->StyleDataBlock(*Block(h + 1, 1, last, 5), kVTrue);
    Block(h + 1, 5, last, 5)->SetNumberFormat("0");
    Block(h + 1, 1, last, 1)->SetHorizontalAlignment(support::TheAddinGlobals().LabelAlignment());

    currentRow_ = AddLong(last, 1);
    ClaimWidth(5);
  });
}

void clsCorrelationOutput::OutputMatrix(const Array<std::string>& ColHeaders, const Array<std::string>& RowHeaders,
                                        const Variant& Matrix, const std::string& Title, Variant* ReturnCoords) {
  Trail({kClass, "OutputMatrix"}, [&] {
    std::int32_t m = 0;
    std::int32_t c = 0;
    CheckBody(Matrix, m, c);

    const std::int32_t r = currentRow_;
    const std::int32_t h = AddLong(r, 1);
    Put(r, 1, Variant(Title));
    cellWriter_->StyleTitle(*resultsSheet_->Cells(r, 1), kVFalse);
    currentRow_ = h;

    const bool rowEnumerate = RowHeaders(1) == kEnumerate;
    const std::int32_t o = RowHeaders(1).empty() ? 0 : 1;
    if (rowEnumerate) Put(h, 1, Variant(RowHeaders(2)));

    const bool colEnumerate = ColHeaders(1) == kEnumerate;
    const std::int32_t right = AddLong(o, c);
    for (std::int32_t j = 1; j <= c; ++j) Put(h, o + j, Label(ColHeaders, colEnumerate, j));
    // The strip starts in column 1 even without a label column.
    cellWriter_->StyleHeaderStrip(*Block(h, 1, h, right), kVFalse);

    const std::int32_t last = AddLong(h, m);
    if (o == 1) {
      for (std::int32_t j = 1; j <= m; ++j) Put(h + j, 1, Label(RowHeaders, rowEnumerate, j));
      cellWriter_->StyleHeaderStrip(*Block(h, 1, last, 1), kVTrue);
    }

    if (ReturnCoords != nullptr) {
      Array<Variant> coords = Array<Variant>::Matrix(2, 2);
      coords(1, 1) = Variant::Long(h + 1);
      coords(1, 2) = Variant::Long(o + 1);
      coords(2, 1) = Variant::Long(last);
      coords(2, 2) = Variant::Long(right);
      *ReturnCoords = Variant(std::move(coords));
    }

    host::RangeRef bodyRange = Block(h + 1, o + 1, last, right);
    bodyRange->SetValue(Matrix);
    cellWriter_->StyleDataBlock(*bodyRange, kVFalse);

    currentRow_ = AddLong(last, 1);
    // One label column is counted whether or not there is one.
    ClaimWidth(static_cast<std::int64_t>(c) + 1);
  });
}

void clsCorrelationOutput::OutputExplained(const Array<std::string>& Headers, const nml::Matrix& Loadings,
                                           const std::string& Title) {
  Trail({kClass, "OutputExplained"}, [&] {
    // Variables and variates are counted in 16 bits: more than 32767 of
    // either is an overflow before anything is written.
    const std::int16_t v = ToInteger(static_cast<std::int64_t>(Loadings.UBound(1)));
    const std::int16_t q = ToInteger(static_cast<std::int64_t>(Loadings.UBound(2)));
    if (v < 1 || q < 1) Raise(rt::kSubscriptOutOfRange);

    // Squared loadings, and in the last row their average over the variables:
    // the proportion of the set's variance each variate accounts for.
    nml::Matrix t = nml::Matrix::Matrix(v + 1, q);
    for (std::int16_t j = 1; j <= q; ++j) {
      double sum = 0.0;
      for (std::int16_t i = 1; i <= v; ++i) {
        const double sq = CheckedFinite(Loadings(i, j) * Loadings(i, j));
        t(i, j) = sq;
        sum = CheckedFinite(sum + sq);
      }
      t(v + 1, j) = CheckedDiv(sum, v);
    }

    const std::int32_t r = currentRow_;
    const std::int32_t h = AddLong(r, 1);
    Put(r, 1, Variant(Title));
    cellWriter_->StyleTitle(*resultsSheet_->Cells(r, 1), kVFalse);
    currentRow_ = h;

    Put(h, 1, Variant("Variable"));
    for (std::int32_t k = 2; k <= q + 1; ++k) Put(h, k, Variant("CV " + std::to_string(k - 1)));
    cellWriter_->StyleHeaderStrip(*Block(h, 1, h, q + 1), kVFalse);

    for (std::int32_t i = 1; i <= v; ++i) Put(h + i, 1, Variant(Headers(i)));
    Put(h + v + 1, 1, Variant("Average"));

    Block(h + 1, 2, h + v + 1, q + 1)->SetValue(Variant(std::move(t)));
    cellWriter_->StyleDataBlock(*Block(h + 1, 1, h + v, q + 1), kVTrue);
    cellWriter_->StyleDataBlock(*Block(h + v + 1, 1, h + v + 1, q + 1), kVTrue);
    Block(h, 1, h + v + 1, 1)->SetHorizontalAlignment(support::TheAddinGlobals().LabelAlignment());

    currentRow_ = AddLong(h, v + 2);
    ClaimWidth(static_cast<std::int64_t>(q) + 1);
  });
}

void clsCorrelationOutput::Put(std::int32_t row, std::int32_t col, const Variant& value) {
  resultsSheet_->Cells(row, col)->SetValue(value);
}

host::RangeRef clsCorrelationOutput::Block(std::int32_t top, std::int32_t left, std::int32_t bottom,
                                           std::int32_t right) const {
  return resultsSheet_->GetRange(*resultsSheet_->Cells(top, left), *resultsSheet_->Cells(bottom, right));
}

void clsCorrelationOutput::ClaimWidth(std::int64_t columns) {
  if (widestColumn_ < columns) widestColumn_ = ToInteger(columns);
}

}  // namespace nml::report
