// MatrixOps: conversions and rearrangements that do no arithmetic (value
// arrays to matrices, joining, cutting, one-column forms).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "support/support_errors.h"
#include "support/numerics/matrix_checks.h"
#include "support/numerics/matrix_ops.h"

namespace nml::support {

namespace {

std::string DescribeValue(const Variant& v) {
  switch (v.Kind()) {
    case VarKind::kEmpty: return "an empty cell";
    case VarKind::kText: {
      std::string text = v.Text();
      if (text.size() > 40) text = text.substr(0, 40) + "...";
      return "the text \"" + text + "\"";
    }
    case VarKind::kBoolean: return v.AsBoolean() ? "the Boolean True" : "the Boolean False";
    case VarKind::kErrorValue: return "the error value " + std::to_string(v.AsErrorValue());
    case VarKind::kObject: return "an object";
    case VarKind::kMissing: return "no value";
    case VarKind::kDoubleArray:
    case VarKind::kVariantArray: return "an array";
    default: return "a value";
  }
}

[[noreturn]] void RaiseNonNumeric(std::int64_t row, std::int64_t column, const Variant& v) {
  RaiseSupport(kNonNumericValue, "MatrixOps.ToMatrix: the value at row " + std::to_string(row) + ", column " +
                                     std::to_string(column) + " is not a number (" + DescribeValue(v) + ")");
}

// The number a cell holds: Double, Integer or Long. Booleans, text (even
// numeric text), empty cells and error values are not numbers.
inline double NumberAt(const Variant& v, std::int64_t row, std::int64_t column) {
  double d;
  switch (v.Kind()) {
    case VarKind::kDouble: d = v.AsDouble(); break;
    case VarKind::kInteger: return v.AsInteger();
    case VarKind::kLong: return v.AsLong();
    default: RaiseNonNumeric(row, column, v);
  }
  if (!std::isfinite(d)) detail::RaiseNonFinite("ToMatrix", "value array", row, column, d);
  return d;
}

// A variant seen as a grid of cells: a 2-D array, a 1-D array as one column,
// or a scalar as one cell.
struct Grid {
  const Variant& v;
  std::int32_t rows = 1;
  std::int32_t cols = 1;

  Grid(const Variant& value, std::string_view operation) : v(value) {
    auto shape = [&](int rank, std::int32_t r, std::int32_t c, bool allocated) {
      if (!allocated)
        RaiseSupport(kBadArgument, "MatrixOps." + std::string(operation) + ": the array is not allocated");
      rows = r;
      cols = rank == 2 ? c : 1;
    };
    if (v.Kind() == VarKind::kDoubleArray) {
      const Array<double>& a = v.Doubles();
      shape(a.Rank(), a.Rows(), a.Cols(), a.Allocated());
    } else if (v.Kind() == VarKind::kVariantArray) {
      const Array<Variant>& a = v.Variants();
      shape(a.Rank(), a.Rows(), a.Cols(), a.Allocated());
    } else if (v.IsMissing() || v.IsObject()) {
      RaiseSupport(kBadArgument, "MatrixOps." + std::string(operation) + ": " + DescribeValue(v) +
                                     " where an array was expected");
    }
  }
  /// Cell (i, j), 0-based, as a variant.
  Variant At(std::int32_t i, std::int32_t j) const {
    const std::size_t k = static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * static_cast<std::size_t>(rows);
    if (v.Kind() == VarKind::kDoubleArray) return Variant(v.Doubles().Data()[k]);
    if (v.Kind() == VarKind::kVariantArray) return v.Variants().Data()[k];
    return v;
  }
};

}  // namespace

Matrix MatrixOps::ToMatrix(const Variant& values) const {
  if (values.Kind() == VarKind::kDoubleArray) {
    const Array<double>& a = values.Doubles();
    detail::RequireUsable(a, "ToMatrix", "value array");
    if (a.Rank() == 2) return a;
    Matrix column = Array<double>::Matrix(a.Rows(), 1);
    std::copy_n(a.Data(), a.Size(), column.Data());
    return column;
  }
  if (values.Kind() == VarKind::kVariantArray) {
    const Array<Variant>& a = values.Variants();
    if (!a.Allocated()) RaiseSupport(kBadArgument, "MatrixOps.ToMatrix: the value array is not allocated");
    const std::int32_t rows = a.Rows();
    const std::int32_t cols = a.Cols();
    Matrix m = Array<double>::Matrix(rows, cols);
    const Variant* in = a.Data();
    double* out = m.Data();
    const std::size_t stride = static_cast<std::size_t>(rows);
    for (std::int32_t j = 0; j < cols; ++j) {
      const std::size_t base = static_cast<std::size_t>(j) * stride;
      for (std::int32_t i = 0; i < rows; ++i) out[base + i] = NumberAt(in[base + i], i + 1, j + 1);
    }
    return m;
  }
  Matrix one = Array<double>::Matrix(1, 1);
  one(1, 1) = NumberAt(values, 1, 1);
  return one;
}

Matrix MatrixOps::AppendColumns(const Matrix& a, const Matrix& b) const {
  detail::RequireAllocated(a, "AppendColumns", "first matrix");
  detail::RequireAllocated(b, "AppendColumns", "second matrix");
  if (detail::RowsOf(a) != detail::RowsOf(b))
    detail::RaiseShape("AppendColumns", "the matrices need the same number of rows, not " + detail::ShapeText(a) +
                                            " and " + detail::ShapeText(b));
  const std::size_t rows = static_cast<std::size_t>(detail::RowsOf(a));
  Matrix joined = Array<double>::Unset(detail::RowsOf(a), detail::ColsOf(a) + detail::ColsOf(b));
  // Column by column, each checked while it is in cache.
  double* out = joined.Data();
  for (const Matrix* m : {&a, &b}) {
    for (std::int32_t j = 0; j < detail::ColsOf(*m); ++j) {
      std::copy_n(m->Data() + static_cast<std::size_t>(j) * rows, rows, out);
      if (!detail::AllFinite(out, rows))
        detail::RequireFinite(*m, "AppendColumns", m == &a ? "first matrix" : "second matrix");
      out += rows;
    }
  }
  if (joined.Size() >= 65536)
    data_.RememberJoin(detail::SignatureOf(a), detail::SignatureOf(b), detail::SignatureOf(joined));
  return joined;
}

Variant MatrixOps::JoinColumns(const Variant& a, const Variant& b) const {
  const Grid left(a, "JoinColumns");
  const Grid right(b, "JoinColumns");
  const std::int32_t rows = std::max(left.rows, right.rows);
  Array<Variant> joined = Array<Variant>::Matrix(rows, left.cols + right.cols);
  for (std::int32_t j = 0; j < left.cols; ++j)
    for (std::int32_t i = 0; i < left.rows; ++i) joined(i + 1, j + 1) = left.At(i, j);
  for (std::int32_t j = 0; j < right.cols; ++j)
    for (std::int32_t i = 0; i < right.rows; ++i) joined(i + 1, left.cols + j + 1) = right.At(i, j);
  return Variant(std::move(joined));
}

Variant MatrixOps::ToColumn(const Variant& v) const {
  auto refuse = [](const std::string& why) {
    RaiseSupport(kShapeMismatch, "MatrixOps.ToColumn: " + why);
  };
  if (v.Kind() == VarKind::kDoubleArray) {
    const Array<double>& a = v.Doubles();
    if (!a.Allocated()) RaiseSupport(kBadArgument, "MatrixOps.ToColumn: the array is not allocated");
    if (a.Rank() == 2 && a.Cols() != 1) refuse("a " + detail::ShapeText(a) + " array is not one column");
    Array<double> column = Array<double>::Matrix(a.Rows(), 1);
    std::copy_n(a.Data(), a.Size(), column.Data());
    return Variant(std::move(column));
  }
  if (v.Kind() == VarKind::kVariantArray) {
    const Array<Variant>& a = v.Variants();
    if (!a.Allocated()) RaiseSupport(kBadArgument, "MatrixOps.ToColumn: the array is not allocated");
    if (a.Rank() == 2 && a.Cols() != 1)
      refuse("a " + std::to_string(a.Rows()) + " by " + std::to_string(a.Cols()) + " array is not one column");
    Array<Variant> column = Array<Variant>::Matrix(a.Rows(), 1);
    std::copy_n(a.Data(), a.Size(), column.Data());
    return Variant(std::move(column));
  }
  RaiseSupport(kBadArgument, "MatrixOps.ToColumn: " + DescribeValue(v) + " where an array was expected");
}

Matrix MatrixOps::SubMatrix(const Matrix& m, std::int32_t firstColumn, std::int32_t firstRow,
                            std::int32_t columnCount, std::int32_t rowCount) const {
  detail::RequireUsable(m, "SubMatrix", "matrix");
  const std::int64_t lastRow = static_cast<std::int64_t>(firstRow) + rowCount - 1;
  const std::int64_t lastColumn = static_cast<std::int64_t>(firstColumn) + columnCount - 1;
  if (firstRow < 1 || firstColumn < 1 || rowCount < 0 || columnCount < 0 || lastRow > detail::RowsOf(m) ||
      lastColumn > detail::ColsOf(m))
    Raise(rt::kSubscriptOutOfRange, "MatrixOps.SubMatrix: rows " + std::to_string(firstRow) + " to " +
                                        std::to_string(lastRow) + ", columns " + std::to_string(firstColumn) +
                                        " to " + std::to_string(lastColumn) + " lie outside the " +
                                        detail::ShapeText(m) + " matrix");
  Matrix block = Array<double>::Matrix(rowCount, columnCount);
  const std::size_t stride = static_cast<std::size_t>(detail::RowsOf(m));
  for (std::int32_t j = 0; j < columnCount; ++j)
    std::copy_n(m.Data() + static_cast<std::size_t>(firstRow - 1) +
                    static_cast<std::size_t>(firstColumn - 1 + j) * stride,
                rowCount, block.Data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(rowCount));
  return block;
}

}  // namespace nml::support
