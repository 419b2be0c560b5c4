// MatrixOps: the support library's matrix arithmetic over 1-based, column-major
// Array<double> matrices. Numerically careful: cross-products are centred and
// accumulated with error compensation, the inverse is refined, small products
// are accumulated in extended precision. Shape errors, singular or
// non-positive-definite input and non-finite values raise the support-library
// errors of support_errors.h instead of returning garbage.
#pragma once

#include <cstdint>
#include <vector>

#include "nmlcorrelation/array.h"
#include "nmlcorrelation/variant.h"

namespace nml::support {

class MatrixOps {
 public:
  /// A range's value array (a 2-D Array<Variant>, or one scalar) as a matrix of
  /// doubles, rows = cases. A value that is not a number raises kNonNumericValue.
  Matrix ToMatrix(const Variant& values) const;

  /// Mean, sample standard deviation (divisor n - 1), standard error
  /// (SD / sqrt(n)) and count n of every column, each a 1-D array 1..columns.
  /// Fewer than two rows raises kTooFewCases.
  void ColumnDescriptives(const Matrix& data, Array<double>& means, Array<double>& sds, Array<double>& ses,
                          Array<double>& ns) const;

  /// a's columns followed by b's (equal row counts, else kShapeMismatch).
  Matrix AppendColumns(const Matrix& a, const Matrix& b) const;
  /// Two variants holding 2-D arrays (of doubles or variants) side by side; a
  /// shorter matrix is padded below with empty values. Returns a variant
  /// holding an Array<Variant>.
  Variant JoinColumns(const Variant& a, const Variant& b) const;

  /// Centred sums of cross-products: entry (i, j) = sum over cases of
  /// (a_i - mean a_i)(b_j - mean b_j). a and b need equal row counts.
  Matrix CrossProducts(const Matrix& a, const Matrix& b) const;
  /// Pearson correlations of a's columns; diagonal exactly 1, symmetric,
  /// every entry within [-1, 1]. option is accepted and ignored (0 by callers).
  /// A constant column gives 0 off the diagonal (and 1 on it).
  Matrix CorrelationMatrix(const Matrix& a, std::int32_t option) const;
  /// Pearson correlations of a's columns (rows) with b's columns (columns).
  Matrix CrossCorrelations(const Matrix& a, const Matrix& b) const;

  Matrix Multiply(const Matrix& a, const Matrix& b) const;
  /// Inverse by a pivoted factorisation with iterative refinement; singular
  /// input raises kSingularMatrix. option: the argument-not-given marker.
  Matrix Inverse(const Matrix& a, const Variant& option = Variant::Missing()) const;
  Matrix Transpose(const Matrix& a) const;
  Matrix Subtract(const Matrix& a, const Matrix& b) const;

  /// Lower-triangular F with F F' = s (Cholesky); raises kNotPositiveDefinite.
  Matrix SquareRootFactor(const Matrix& s) const;
  /// F^-1 of a triangular factor by triangular solve.
  Matrix InverseFactor(const Matrix& f) const;
  /// (k+1) by k: row 1 the eigenvalues, rows 2..k+1 unit eigenvectors (column j
  /// for eigenvalue j). Each eigenvector's sign is fixed: its largest-magnitude
  /// component is positive (the first such on ties).
  Matrix Eigen(const Matrix& s) const;
  /// Reorders the columns of an Eigen result in place so that row `row`
  /// ascends (order = 1) or descends (order = -1); callers pass (-1, 1).
  void SortEigen(Matrix& e, std::int32_t order, std::int32_t row) const;
  /// The block of m starting at (firstRow, firstColumn) with the given counts.
  Matrix SubMatrix(const Matrix& m, std::int32_t firstColumn, std::int32_t firstRow, std::int32_t columnCount,
                   std::int32_t rowCount) const;
  /// A variant holding a 1-D array (of doubles or variants) as a one-column
  /// 2-D array of the same kind.
  Variant ToColumn(const Variant& v) const;

 private:
  /// An inverse as returned (hi) and the rest of its double-double value (lo).
  struct InverseRecord {
    Matrix hi;
    Matrix lo;
  };
  /// The last few small inverses. Rounding an ill-conditioned inverse to
  /// doubles loses more than any later product can recover, so Multiply,
  /// handed a matrix identical to one of these, uses hi + lo instead.
  mutable std::vector<InverseRecord> inverses_;

  const InverseRecord* FindInverse(const Matrix& m) const;
  void RememberInverse(Matrix hi, Matrix lo) const;
};

}  // namespace nml::support
