// MatrixOps: products, inverse, transpose, difference and the square-root
// factor with its inverse.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "support/support_errors.h"
#include "support/numerics/block_kernels.h"
#include "support/numerics/compensated.h"
#include "support/numerics/double_double_linear.h"
#include "support/numerics/eigen_includes.h"
#include "support/numerics/matrix_checks.h"
#include "support/numerics/matrix_ops.h"
#include "support/numerics/parallel.h"

namespace nml::support {

namespace {

using detail::DD;

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();

// Products up to this many multiply-adds are accumulated with Dot2; larger
// ones (a data matrix times coefficients) go to Eigen's blocked product.
constexpr double kCompensatedProductWork = 4.0e6;

// out = (a + alo) * (b + blo) for a (m x p) and b (p x n), column-major, each
// entry as a double-double accumulated with Dot2. alo and blo may be null.
void CompensatedProduct(const double* a, const double* alo, const double* b, const double* blo, std::size_t m,
                        std::size_t p, std::size_t n, std::vector<DD>& out) {
  out.resize(m * n);
  std::vector<double> s(m);
  std::vector<double> c(m);
  for (std::size_t j = 0; j < n; ++j) {
    std::fill(s.begin(), s.end(), 0.0);
    std::fill(c.begin(), c.end(), 0.0);
    for (std::size_t l = 0; l < p; ++l) {
      const double bv = b[l + j * p];
      const double bl = blo ? blo[l + j * p] : 0.0;
      const double* column = a + l * m;
      const double* columnLow = alo ? alo + l * m : nullptr;
      if (alo && blo)
        detail::AccumulateProducts<true, true>(column, columnLow, bv, bl, s.data(), c.data(), m);
      else if (alo)
        detail::AccumulateProducts<true, false>(column, columnLow, bv, bl, s.data(), c.data(), m);
      else if (blo)
        detail::AccumulateProducts<false, true>(column, columnLow, bv, bl, s.data(), c.data(), m);
      else
        detail::AccumulateProducts<false, false>(column, columnLow, bv, bl, s.data(), c.data(), m);
    }
    for (std::size_t i = 0; i < m; ++i) detail::TwoSum(s[i], c[i], out[i + j * m].hi, out[i + j * m].lo);
  }
}

void RequireSquare(const Matrix& m, std::string_view operation, std::string_view what) {
  if (detail::RowsOf(m) == detail::ColsOf(m)) return;
  detail::RaiseShape(operation, std::string(what) + " needs a square matrix, not a " + detail::ShapeText(m) + " one");
}

[[noreturn]] void RaiseSingular(std::string_view operation, const std::string& why) {
  RaiseSupport(kSingularMatrix, "MatrixOps." + std::string(operation) + ": the matrix is singular (" + why + ")");
}

bool ExactlySymmetric(const detail::ConstView& a) {
  for (Eigen::Index j = 0; j < a.cols(); ++j)
    for (Eigen::Index i = j + 1; i < a.rows(); ++i)
      if (a(i, j) != a(j, i)) return false;
  return true;
}

// 2^-e for the binary exponent e of x (x != 0): scaling by it is exact.
double PowerOfTwoBelow(double x) { return std::ldexp(1.0, -std::ilogb(x)); }

// An infinity or NaN in either operand reaches the product (inf * 0 is NaN),
// so a non-finite product means a non-finite operand, named here, or an
// overflow.
[[noreturn]] void RaiseNonFiniteProduct(const Matrix& a, const Matrix& b) {
  detail::RequireFinite(a, "Multiply", "first matrix");
  detail::RequireFinite(b, "Multiply", "second matrix");
  detail::RaiseOverflow("Multiply");
}


using RecordPtr = std::shared_ptr<const detail::ExtendedRecord>;
using detail::LowOf;

// A record of hi + lo; lo empty when the value has no low part.
RecordPtr MakeRecord(const Matrix& hi, Matrix lo, bool symmetric, RecordPtr left = {}, RecordPtr right = {}) {
  auto r = std::make_shared<detail::ExtendedRecord>();
  r->hi = hi;
  r->lo = std::move(lo);
  r->symmetric = symmetric;
  r->left = std::move(left);
  r->right = std::move(right);
  return r;
}

// The double-double values hi + lo (lo may be null) of n elements.
std::vector<DD> Join(const double* hi, const double* lo, std::size_t n) {
  std::vector<DD> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = lo ? DD{hi[i], lo[i]} : DD{hi[i], 0.0};
  return v;
}

// A rows x cols result from double-doubles: hi returned, lo stored.
Matrix Split(const std::vector<DD>& v, std::int32_t rows, std::int32_t cols, Matrix& lo) {
  Matrix hi = Array<double>::Unset(rows, cols);
  lo = Array<double>::Unset(rows, cols);
  for (std::size_t i = 0; i < v.size(); ++i) {
    // Renormalised, so that hi is the double nearest to the value.
    detail::FastTwoSum(v[i].hi, v[i].lo, hi.Data()[i], lo.Data()[i]);
  }
  return hi;
}

// x and y hold the same value transposed: hi bit for bit, and the low parts
// (absent counting as zero).
bool SameValueTransposed(const RecordPtr& x, const RecordPtr& y) {
  if (!x || !y || x->hi.Rows() != y->hi.Cols() || x->hi.Cols() != y->hi.Rows()) return false;
  const std::size_t rows = static_cast<std::size_t>(x->hi.Rows());
  const std::size_t cols = static_cast<std::size_t>(x->hi.Cols());
  const double* xl = LowOf(x);
  const double* yl = LowOf(y);
  for (std::size_t j = 0; j < cols; ++j)
    for (std::size_t i = 0; i < rows; ++i) {
      if (x->hi.Data()[i + j * rows] != y->hi.Data()[j + i * cols]) return false;
      if ((xl ? xl[i + j * rows] : 0.0) != (yl ? yl[j + i * cols] : 0.0)) return false;
    }
  return true;
}

// a * b is symmetric by construction: a = b', or b = M R with a symmetric M
// and a = R', or a = L M with a symmetric M and b = L'.
bool SymmetricProduct(const RecordPtr& a, const RecordPtr& b) {
  if (SameValueTransposed(a, b)) return true;
  if (b && b->left && b->right && b->left->symmetric && SameValueTransposed(a, b->right)) return true;
  if (a && a->left && a->right && a->right->symmetric && SameValueTransposed(b, a->left)) return true;
  return false;
}

// Averages the two triangles of a k x k double-double matrix.
void Symmetrise(std::vector<DD>& v, std::size_t k) {
  for (std::size_t j = 0; j < k; ++j)
    for (std::size_t i = j + 1; i < k; ++i) {
      const DD mean = detail::Mul(detail::Add(v[i + j * k], v[j + i * k]), 0.5);
      v[i + j * k] = mean;
      v[j + i * k] = mean;
    }
}

// a = D H and b = D with D diagonal and d_i^2 h_ii = 1 up to the rounding of
// d_i: the product D H D rescales H to unit diagonal.
bool UnitDiagonalScaling(const RecordPtr& a, const Matrix& b) {
  if (!a || !a->left || !a->right) return false;
  const Matrix& d = a->left->hi;
  const Matrix& h = a->right->hi;
  const std::int32_t k = d.Rows();
  if (d.Cols() != k || h.Rows() != k || h.Cols() != k || b.Rows() != k || b.Cols() != k || b.Rank() != 2 ||
      LowOf(a->left))
    return false;
  if (std::memcmp(b.Data(), d.Data(), b.Size() * sizeof(double)) != 0) return false;
  const std::size_t n = static_cast<std::size_t>(k);
  for (std::size_t j = 0; j < n; ++j)
    for (std::size_t i = 0; i < n; ++i) {
      const double v = d.Data()[i + j * n];
      if (i != j && v != 0.0) return false;
      if (i == j && !(v > 0.0 && std::fabs(v * v * h.Data()[i + i * n] - 1.0) <= 16.0 * kEpsilon)) return false;
    }
  return true;
}

// Unit diagonal; off the diagonal |r| <= 1 (as for any positive
// semidefinite H), and an entry within 8 units in the last place of +-1 is
// +-1: the rounding of D and of H alone moves a perfect coefficient that far.
void ApplyUnitDiagonal(std::vector<DD>& v, std::size_t k) {
  for (std::size_t j = 0; j < k; ++j)
    for (std::size_t i = 0; i < k; ++i) {
      DD& x = v[i + j * k];
      if (i == j || std::fabs(x.hi) >= 1.0 - 8.0 * kEpsilon) x = DD{i == j ? 1.0 : std::copysign(1.0, x.hi), 0.0};
    }
}
}  // namespace

// Small products are accumulated with Dot2 (compensated.h), so each entry is
// as accurate as if computed in twice the working precision. When an operand
// is one of the inverses this object returned, its low part takes part too:
// (Syx * Sxx^-1) * Sxy then keeps the accuracy that the rounding of an
// ill-conditioned inverse to doubles would otherwise cost.
Matrix MatrixOps::Multiply(const Matrix& a, const Matrix& b) const {
  detail::RequireAllocated(a, "Multiply", "first matrix");
  detail::RequireAllocated(b, "Multiply", "second matrix");
  const std::int32_t m = detail::RowsOf(a);
  const std::int32_t p = detail::ColsOf(a);
  const std::int32_t n = detail::ColsOf(b);
  if (detail::RowsOf(b) != p)
    detail::RaiseShape("Multiply", "a " + detail::ShapeText(a) + " matrix cannot multiply a " + detail::ShapeText(b) +
                                       " matrix (the first needs as many columns as the second has rows)");
  const double work = static_cast<double>(m) * static_cast<double>(p) * static_cast<double>(n);
  if (work <= kCompensatedProductWork) {
    const RecordPtr ra = records_.FindOrWrap(a);
    const RecordPtr rb = records_.FindOrWrap(b);
    std::vector<DD> out;
    CompensatedProduct(a.Data(), LowOf(ra), b.Data(), LowOf(rb), static_cast<std::size_t>(m),
                       static_cast<std::size_t>(p), static_cast<std::size_t>(n), out);
    const bool symmetric = m == n && SymmetricProduct(ra, rb);
    if (symmetric) Symmetrise(out, static_cast<std::size_t>(m));
    if (m == n && UnitDiagonalScaling(ra, b)) ApplyUnitDiagonal(out, static_cast<std::size_t>(m));
    Matrix lo;
    Matrix result = Split(out, m, n, lo);
    if (!detail::AllFinite(result.Data(), result.Size())) RaiseNonFiniteProduct(a, b);
    records_.Remember(MakeRecord(result, std::move(lo), symmetric, ra, rb));
    if (result.Size() >= 65536) data_.RememberProduct(detail::SignatureOf(a), detail::SignatureOf(result), b);
    return result;
  }
  // Row blocks, in parallel, each checked while it is still in cache. Every
  // element comes from one block's product alone, so the thread count does
  // not change it.
  Matrix result = Array<double>::Unset(m, n);  // every element is written below
  constexpr std::size_t kRows = 2048;
  const std::size_t rows = static_cast<std::size_t>(m);
  const detail::BlockKernels& kernels = detail::Kernels();
  std::vector<char> overflow((rows + kRows - 1) / kRows, 0);
  detail::ParallelFor(overflow.size(), [&](std::size_t blockIndex) {
    const std::size_t r0 = blockIndex * kRows;
    const std::size_t count = std::min(kRows, rows - r0);
    double* out = result.Data() + r0;
    kernels.product(a.Data() + r0, m, static_cast<detail::Index>(count), p, b.Data(), n, out, m);
    for (std::int32_t j = 0; j < n; ++j)
      if (!detail::AllFinite(out + static_cast<std::size_t>(j) * rows, count)) overflow[blockIndex] = 1;
  });
  for (const char bad : overflow)
    if (bad) RaiseNonFiniteProduct(a, b);
  if (result.Size() >= 65536) data_.RememberProduct(detail::SignatureOf(a), detail::SignatureOf(result), b);
  return result;
}

// Inverse by LU factorisation with partial pivoting, after equilibration
// with powers of two (exact), then iterative refinement in double-double:
//
//   R = I - A X  (residual with Dot2, from X = X_hi + X_lo),
//   X <- X + LU \ R  (added in double-double),
//
// repeated until the correction is below the double-double precision or
// stops shrinking. Each step gains about -log10(cond * eps) digits, so the
// result is the inverse correctly rounded in all but the last bit, and its
// low part is kept for Multiply. A matrix whose reciprocal condition number
// (1-norm, from the computed inverse of the equilibrated matrix) is below
// order * eps is numerically singular: no digit of its inverse is reliable,
// and kSingularMatrix is raised instead. An exactly symmetric matrix gets an
// exactly symmetric inverse. The optional argument is not used.
Matrix MatrixOps::Inverse(const Matrix& a, const Variant& /*option*/) const {
  detail::RequireUsable(a, "Inverse", "matrix");
  RequireSquare(a, "Inverse", "an inverse");
  const std::int32_t k = detail::RowsOf(a);
  if (k == 0) return Array<double>::Matrix(0, 0);
  const detail::ConstView A = detail::ViewOf(a);
  const RecordPtr record = records_.Find(a);
  const double* low = LowOf(record);
  const bool symmetric = ExactlySymmetric(A) && (!low || record->symmetric);

  // Equilibration: symmetric scaling D A D by the square roots of a positive
  // diagonal, otherwise rows then columns by their largest entries.
  Eigen::VectorXd rowScale(k);
  Eigen::VectorXd colScale(k);
  if (symmetric && (A.diagonal().array() > 0.0).all()) {
    for (std::int32_t i = 0; i < k; ++i) rowScale(i) = std::ldexp(1.0, -(std::ilogb(A(i, i)) / 2));
    colScale = rowScale;
  } else {
    for (std::int32_t i = 0; i < k; ++i) {
      const double big = A.row(i).cwiseAbs().maxCoeff();
      if (big == 0.0) RaiseSingular("Inverse", "row " + std::to_string(i + 1) + " is zero");
      rowScale(i) = PowerOfTwoBelow(big);
    }
    for (std::int32_t j = 0; j < k; ++j) {
      const double big = (rowScale.asDiagonal() * A.col(j)).cwiseAbs().maxCoeff();
      if (big == 0.0) RaiseSingular("Inverse", "column " + std::to_string(j + 1) + " is zero");
      colScale(j) = PowerOfTwoBelow(big);
    }
  }
  const Eigen::MatrixXd scaled = rowScale.asDiagonal() * A * colScale.asDiagonal();
  Eigen::MatrixXd scaledLow;
  if (low) scaledLow = rowScale.asDiagonal() * detail::ConstView(low, k, k) * colScale.asDiagonal();
  const double normA = scaled.cwiseAbs().colwise().sum().maxCoeff();
  const std::size_t order = static_cast<std::size_t>(k);

  Eigen::MatrixXd hi(k, k);
  Eigen::MatrixXd lo = Eigen::MatrixXd::Zero(k, k);
  if (low && order <= detail::kDoubleDoubleOrder) {
    // The matrix is known to double-double precision: factorise it at that
    // precision. Its reciprocal condition number may then go down to about
    // 2^-96 (32 digits less 3 for the order) before no digit of the inverse
    // is reliable.
    detail::DDMatrix inverse;
    if (!detail::InverseDD(Join(scaled.data(), scaledLow.data(), order * order), order, inverse))
      RaiseSingular("Inverse", "a pivot is zero");
    for (std::size_t idx = 0; idx < inverse.size(); ++idx) {
      hi.data()[idx] = inverse[idx].hi;
      lo.data()[idx] = inverse[idx].lo;
    }
    const double normX = hi.cwiseAbs().colwise().sum().maxCoeff();
    const double rcond = 1.0 / (normA * normX);
    if (!std::isfinite(normX) || !(rcond >= static_cast<double>(k) * 0x1p-96))
      RaiseSingular("Inverse", std::isfinite(normX) && rcond > 0.0
                                   ? "reciprocal condition number about " + detail::NumberText(rcond)
                                   : "a pivot is zero");
  } else {
    const Eigen::PartialPivLU<Eigen::MatrixXd> lu(scaled);
    hi = lu.inverse();
    const double normX = hi.cwiseAbs().colwise().sum().maxCoeff();
    const double rcond = 1.0 / (normA * normX);
    if (!std::isfinite(normX) || !(rcond >= static_cast<double>(k) * kEpsilon))
      RaiseSingular("Inverse", std::isfinite(normX) && rcond > 0.0
                                   ? "reciprocal condition number about " + detail::NumberText(rcond)
                                   : "a pivot is zero");

    Eigen::MatrixXd residual(k, k);
    std::vector<DD> product;
    double previous = std::numeric_limits<double>::infinity();
    double relative = 0.0;
    // Each step costs a double-double matrix product; large matrices stop
    // after a few steps, which already give every digit of the double result.
    const int steps = k <= 128 ? 12 : 3;
    for (int step = 0; step < steps; ++step) {
      CompensatedProduct(scaled.data(), low ? scaledLow.data() : nullptr, hi.data(), lo.data(), order, order, order,
                         product);
      for (std::size_t j = 0; j < order; ++j)
        for (std::size_t i = 0; i < order; ++i)
          residual(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) =
              detail::Round(detail::Add(detail::Negate(product[i + j * order]), i == j ? 1.0 : 0.0));
      const Eigen::MatrixXd correction = lu.solve(residual);
      const double size = correction.cwiseAbs().maxCoeff();
      relative = size / hi.cwiseAbs().maxCoeff();
      if (!std::isfinite(relative)) RaiseSingular("Inverse", "iterative refinement diverges");
      if (size > 0.5 * previous) break;  // no longer converging: as good as it gets
      for (Eigen::Index idx = 0; idx < correction.size(); ++idx) {
        const DD x = detail::Add(DD{hi.data()[idx], lo.data()[idx]}, correction.data()[idx]);
        hi.data()[idx] = x.hi;
        lo.data()[idx] = x.lo;
      }
      if (relative <= 0x1p-104) break;  // double-double precision reached
      previous = size;
    }
    if (relative > 1e-8) RaiseSingular("Inverse", "iterative refinement does not converge");
  }

  if (symmetric) {
    for (Eigen::Index j = 0; j < k; ++j)
      for (Eigen::Index i = j + 1; i < k; ++i) {
        const DD mean = detail::Mul(detail::Add(DD{hi(i, j), lo(i, j)}, DD{hi(j, i), lo(j, i)}), 0.5);
        hi(i, j) = hi(j, i) = mean.hi;
        lo(i, j) = lo(j, i) = mean.lo;
      }
  }

  // inverse(A) = C * inverse(R A C) * R for the diagonal scalings R and C.
  Matrix resultHi = Array<double>::Matrix(k, k);
  Matrix resultLo = Array<double>::Matrix(k, k);
  detail::ViewOf(resultHi) = colScale.asDiagonal() * hi * rowScale.asDiagonal();
  detail::ViewOf(resultLo) = colScale.asDiagonal() * lo * rowScale.asDiagonal();
  if (!detail::AllFinite(resultHi.Data(), resultHi.Size())) detail::RaiseOverflow("Inverse");
  records_.Remember(MakeRecord(resultHi, std::move(resultLo), symmetric));
  return resultHi;
}

Matrix MatrixOps::Transpose(const Matrix& a) const {
  detail::RequireUsable(a, "Transpose", "matrix");
  Matrix t = Array<double>::Matrix(detail::ColsOf(a), detail::RowsOf(a));
  detail::ViewOf(t) = detail::ViewOf(a).transpose();
  if (const RecordPtr r = records_.Find(a)) {
    Matrix lo;
    if (const double* low = LowOf(r)) {
      lo = Array<double>::Matrix(t.Rows(), t.Cols());
      detail::ViewOf(lo) = detail::ConstView(low, a.Rows(), a.Cols()).transpose();
    }
    records_.Remember(MakeRecord(t, std::move(lo), r->symmetric));
  }
  return t;
}

// A difference of two results known to double-double precision is formed at
// that precision; one below what that precision resolves (2^-100 of the
// operands) is exactly 0, as the difference of two equal values.
Matrix MatrixOps::Subtract(const Matrix& a, const Matrix& b) const {
  detail::RequireUsable(a, "Subtract", "first matrix");
  detail::RequireUsable(b, "Subtract", "second matrix");
  if (detail::RowsOf(a) != detail::RowsOf(b) || detail::ColsOf(a) != detail::ColsOf(b))
    detail::RaiseShape("Subtract", "the matrices need the same shape, not " + detail::ShapeText(a) + " and " +
                                       detail::ShapeText(b));
  const RecordPtr ra = records_.Find(a);
  const RecordPtr rb = records_.Find(b);
  Matrix d = Array<double>::Matrix(detail::RowsOf(a), detail::ColsOf(a));
  if (!LowOf(ra) && !LowOf(rb)) {
    detail::ViewOf(d) = detail::ViewOf(a) - detail::ViewOf(b);
    if (!detail::AllFinite(d.Data(), d.Size())) detail::RaiseOverflow("Subtract");
    return d;
  }
  const double* al = LowOf(ra);
  const double* bl = LowOf(rb);
  Matrix lo = Array<double>::Matrix(d.Rows(), d.Cols());
  for (std::size_t i = 0; i < d.Size(); ++i) {
    const DD x{a.Data()[i], al ? al[i] : 0.0};
    const DD y{b.Data()[i], bl ? bl[i] : 0.0};
    DD v = detail::Add(x, detail::Negate(y));
    if (std::fabs(v.hi) <= 0x1p-100 * std::max(std::fabs(x.hi), std::fabs(y.hi))) v = DD{};
    d.Data()[i] = v.hi;
    lo.Data()[i] = v.lo;
  }
  if (!detail::AllFinite(d.Data(), d.Size())) detail::RaiseOverflow("Subtract");
  const bool symmetric = (ra ? ra->symmetric : detail::ExactlySymmetric(a)) &&
                         (rb ? rb->symmetric : detail::ExactlySymmetric(b));
  records_.Remember(MakeRecord(d, std::move(lo), symmetric));
  return d;
}

// Cholesky factorisation S = F F' (Eigen's LLT on the symmetric part). Besides
// a pivot that is zero or negative, a pivot whose square is below
// order * eps times its diagonal entry means the matrix is positive definite
// only by rounding (a column that is a combination of others): its factor
// would be noise, so it is refused as well.
Matrix MatrixOps::SquareRootFactor(const Matrix& s) const {
  detail::RequireUsable(s, "SquareRootFactor", "matrix");
  const Eigen::MatrixXd sym = detail::SymmetricPart(s, "SquareRootFactor");
  const Eigen::Index k = sym.rows();
  auto refuse = [](Eigen::Index column, const std::string& why) {
    RaiseSupport(kNotPositiveDefinite, "MatrixOps.SquareRootFactor: the matrix is not positive definite (" + why +
                                           " at column " + std::to_string(column + 1) + ")");
  };
  for (Eigen::Index j = 0; j < k; ++j)
    if (!(sym(j, j) > 0.0)) refuse(j, "diagonal entry " + detail::NumberText(sym(j, j)));
  auto requirePivot = [&](Eigen::Index j, double pivotSquare) {
    if (!(pivotSquare > static_cast<double>(k) * kEpsilon * sym(j, j)))
      refuse(j, "pivot " + detail::NumberText(std::sqrt(std::max(pivotSquare, 0.0))) +
                    " vanishes against the diagonal");
  };
  Matrix result = Array<double>::Matrix(static_cast<std::int32_t>(k), static_cast<std::int32_t>(k));
  const std::size_t order = static_cast<std::size_t>(k);
  if (order <= detail::kDoubleDoubleOrder) {
    // Small matrices are factorised in double-double, from the matrix's
    // double-double value when this object made it.
    const RecordPtr record = records_.Find(s);
    const double* low = record && record->symmetric ? LowOf(record) : nullptr;
    detail::DDMatrix f;
    std::vector<double> pivotSquares;
    const std::size_t bad = detail::CholeskyDD(Join(sym.data(), low, order * order), order, f, pivotSquares);
    for (std::size_t j = 0; j < order; ++j) {
      if (j == bad) refuse(static_cast<Eigen::Index>(j), "a pivot is not positive");
      requirePivot(static_cast<Eigen::Index>(j), pivotSquares[j]);
    }
    Matrix lo;
    result = Split(f, result.Rows(), result.Cols(), lo);
    records_.Remember(MakeRecord(result, std::move(lo), false));
    return result;
  }
  const Eigen::LLT<Eigen::MatrixXd> llt(sym);
  if (llt.info() != Eigen::Success) refuse(0, "a pivot is not positive");
  const Eigen::MatrixXd f = llt.matrixL();
  for (Eigen::Index j = 0; j < k; ++j) requirePivot(j, f(j, j) * f(j, j));
  detail::ViewOf(result) = f;
  return result;
}

// Inverse of a lower or upper triangular matrix by substitution against the
// identity (Eigen's triangular solve), which is componentwise accurate.
Matrix MatrixOps::InverseFactor(const Matrix& f) const {
  detail::RequireUsable(f, "InverseFactor", "matrix");
  RequireSquare(f, "InverseFactor", "the inverse of a factor");
  const detail::ConstView F = detail::ViewOf(f);
  const Eigen::Index k = F.rows();
  bool lower = true;
  bool upper = true;
  for (Eigen::Index j = 0; j < k; ++j)
    for (Eigen::Index i = 0; i < k; ++i) {
      if (i < j && F(i, j) != 0.0) lower = false;
      if (i > j && F(i, j) != 0.0) upper = false;
    }
  if (!lower && !upper)
    RaiseSupport(kBadArgument, "MatrixOps.InverseFactor: the matrix is not triangular");
  for (Eigen::Index j = 0; j < k; ++j)
    if (F(j, j) == 0.0) RaiseSingular("InverseFactor", "diagonal entry " + std::to_string(j + 1) + " is zero");
  Matrix result = Array<double>::Matrix(static_cast<std::int32_t>(k), static_cast<std::int32_t>(k));
  const std::size_t order = static_cast<std::size_t>(k);
  if (order <= detail::kDoubleDoubleOrder) {
    // Small factors are inverted in double-double, from the factor's
    // double-double value when this object made it.
    const RecordPtr record = records_.Find(f);
    detail::DDMatrix inverse;
    detail::TriangularInverseDD(Join(f.Data(), LowOf(record), order * order), order, lower, inverse);
    Matrix lo;
    result = Split(inverse, result.Rows(), result.Cols(), lo);
    if (!detail::AllFinite(result.Data(), result.Size())) detail::RaiseOverflow("InverseFactor");
    records_.Remember(MakeRecord(result, std::move(lo), false));
    return result;
  }
  const Eigen::MatrixXd identity = Eigen::MatrixXd::Identity(k, k);
  if (lower)
    detail::ViewOf(result) = F.triangularView<Eigen::Lower>().solve(identity);
  else
    detail::ViewOf(result) = F.triangularView<Eigen::Upper>().solve(identity);
  if (!detail::AllFinite(result.Data(), result.Size())) detail::RaiseOverflow("InverseFactor");
  return result;
}

}  // namespace nml::support
