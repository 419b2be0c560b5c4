// MatrixOps: the support library's matrix arithmetic over 1-based, column-major
// Array<double> matrices (a one-dimensional array counts as one column).
// Numerically careful: cross-products are centred and accumulated with error
// compensation, small products are accumulated in twice the working
// precision, and every small result keeps the rest of its double-double value
// inside this object, so that the next operation given that result continues
// at that precision (inverse, factor, products, difference). Shape errors,
// singular or non-positive-definite input, non-finite values and unallocated
// arguments raise the support-library errors of support_errors.h, with a
// description naming what went wrong, instead of returning garbage.
#pragma once

#include <cstdint>
#include <vector>

#include "nmlcorrelation/array.h"
#include "support/numerics/data_records.h"
#include "support/numerics/extended_records.h"
#include "nmlcorrelation/variant.h"

namespace nml::support {

class MatrixOps {
 public:
  /// A range's value array (a 2-D Array<Variant>, or one scalar) as a matrix of
  /// doubles, rows = cases; an array of doubles passes through and a 1-D array
  /// becomes one column. Only Double, Integer and Long cells are numbers: any
  /// other cell (text, even numeric text, Boolean, empty, error value) raises
  /// kNonNumericValue naming its row and column; an infinity or NaN raises
  /// kNonFiniteValue.
  Matrix ToMatrix(const Variant& values) const;

  /// Mean, sample standard deviation (divisor n - 1), standard error
  /// (SD / sqrt(n)) and count n of every column, each a 1-D array 1..columns,
  /// by the corrected two-pass algorithm. A constant column has SD 0. Fewer
  /// than two rows raises kTooFewCases (the arrays are then left as they were).
  void ColumnDescriptives(const Matrix& data, Array<double>& means, Array<double>& sds, Array<double>& ses,
                          Array<double>& ns) const;

  /// a's columns followed by b's (equal row counts, else kShapeMismatch).
  Matrix AppendColumns(const Matrix& a, const Matrix& b) const;
  /// Two variants holding arrays (of doubles or variants; a 1-D array is one
  /// column, a scalar one cell) side by side; a shorter one is padded below
  /// with empty values. Returns a variant holding an Array<Variant>.
  Variant JoinColumns(const Variant& a, const Variant& b) const;

  /// Centred sums of cross-products (not divided by n - 1): entry (i, j) =
  /// sum over cases of (a_i - mean a_i)(b_j - mean b_j). a and b need equal
  /// row counts (else kShapeMismatch) and at least one row. Passing the same
  /// matrix twice gives an exactly symmetric result.
  Matrix CrossProducts(const Matrix& a, const Matrix& b) const;
  /// Pearson correlations of a's columns; diagonal exactly 1, symmetric,
  /// every entry within [-1, 1]. option is accepted and ignored (0 by callers).
  /// For a matrix AppendColumns made of x and y whose cross-products (x, x),
  /// (x, y) and (y, y) this object formed, those give the result without
  /// another pass over the data.
  /// A constant column gives 0 off the diagonal (and 1 on it).
  Matrix CorrelationMatrix(const Matrix& a, std::int32_t option) const;
  /// Pearson correlations of a's columns (rows) with b's columns (columns),
  /// within [-1, 1]; a constant column gives 0. Needs two or more rows. When
  /// b is a product s * B this object formed and the cross-products of a with
  /// s, of s and of a are known from earlier calls, they give the result
  /// exactly (cov = S_as B, var b_j = (B' S_ss B)_jj) without a pass over
  /// the data.
  Matrix CrossCorrelations(const Matrix& a, const Matrix& b) const;

  /// a * b (a's column count must equal b's row count, else kShapeMismatch).
  /// Small products are accumulated in twice the working precision; when a or
  /// b is identical to a result this object returned, the low-order part of
  /// that result takes part, so (Syx Sxx^-1) Sxy keeps its digits even for
  /// an ill-conditioned Sxx. A product that is symmetric by construction
  /// (A A', L M L' or R' M R with a symmetric M) comes out exactly symmetric;
  /// D H D with D = diag(H)^-1/2 (a rescaling to unit diagonal) has a
  /// diagonal of exactly 1 and entries within [-1, 1]. A non-finite result
  /// raises kNonFiniteValue.
  Matrix Multiply(const Matrix& a, const Matrix& b) const;
  /// Inverse by LU with partial pivoting after exact power-of-two scaling,
  /// refined in double-double; an exactly symmetric matrix gets an exactly
  /// symmetric inverse. Singular or numerically singular input (reciprocal
  /// condition number below order * machine epsilon, or below order * 2^-96
  /// for a small matrix this object returned with its double-double value)
  /// raises kSingularMatrix.
  /// option (normally the argument-not-given marker) is not used.
  Matrix Inverse(const Matrix& a, const Variant& option = Variant::Missing()) const;
  Matrix Transpose(const Matrix& a) const;
  /// a - b element by element (equal shapes, else kShapeMismatch).
  Matrix Subtract(const Matrix& a, const Matrix& b) const;

  /// Lower-triangular F with F F' = s (Cholesky). s must be symmetric up to
  /// rounding (else kNotSymmetric) and positive definite, also numerically:
  /// a pivot that vanishes against its diagonal entry raises
  /// kNotPositiveDefinite.
  Matrix SquareRootFactor(const Matrix& s) const;
  /// F^-1 of a lower or upper triangular matrix by triangular solve; a zero
  /// on the diagonal raises kSingularMatrix, a matrix that is not triangular
  /// kBadArgument.
  Matrix InverseFactor(const Matrix& f) const;
  /// (k+1) by k: row 1 the eigenvalues in descending order, rows 2..k+1 unit
  /// eigenvectors (column j for eigenvalue j). s must be symmetric up to
  /// rounding (else kNotSymmetric). Each eigenvector's sign is fixed: its
  /// largest-magnitude component is positive, the first such on ties
  /// (magnitudes within 1e-12 relative of each other count as tied), so
  /// results do not flip between machines.
  Matrix Eigen(const Matrix& s) const;
  /// Reorders the columns of an Eigen result in place, stably, so that row
  /// `row` ascends (order = 1) or descends (order = -1); callers pass (-1, 1).
  /// Another order raises kBadArgument, a row outside the matrix 9.
  void SortEigen(Matrix& e, std::int32_t order, std::int32_t row) const;
  /// The block of m starting at (firstRow, firstColumn) with the given counts
  /// (0 allowed); a block reaching outside m raises 9 (subscript out of range).
  Matrix SubMatrix(const Matrix& m, std::int32_t firstColumn, std::int32_t firstRow, std::int32_t columnCount,
                   std::int32_t rowCount) const;
  /// A variant holding a 1-D array (of doubles or variants) as a one-column
  /// 2-D array of the same kind (a one-column 2-D array is returned as it is).
  /// A scalar raises kBadArgument, a wider 2-D array kShapeMismatch.
  Variant ToColumn(const Variant& v) const;

 private:
  /// The double-double values behind the small results handed out so far
  /// (see extended_records.h): the operations continue from them when given
  /// those results back.
  mutable detail::ExtendedRecords records_;
  /// The cross-products and products of large data matrices formed so far
  /// (see data_records.h), from which CrossCorrelations of a data matrix with
  /// a product of data and coefficients follows without a pass over the data.
  mutable detail::DataRecords data_;

  bool CorrelationsFromProducts(const Matrix& a, const Matrix& b, Matrix& r) const;
  bool JoinedCrossProducts(const Matrix& m, std::vector<double>& cross) const;
};

}  // namespace nml::support
