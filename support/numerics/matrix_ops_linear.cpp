// MatrixOps: products, inverse, transpose, difference and the square-root
// factor with its inverse.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "support/support_errors.h"
#include "support/numerics/compensated.h"
#include "support/numerics/eigen_includes.h"
#include "support/numerics/matrix_checks.h"
#include "support/numerics/matrix_ops.h"

namespace nml::support {

namespace {

using detail::DD;

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();

// Products up to this many multiply-adds are accumulated with Dot2; larger
// ones (a data matrix times coefficients) go to Eigen's blocked product.
constexpr double kCompensatedProductWork = 4.0e6;

// Inverses up to this order are remembered with their low parts.
constexpr std::int32_t kRememberedOrder = 256;
constexpr std::size_t kRememberedCount = 4;

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

}  // namespace

const MatrixOps::InverseRecord* MatrixOps::FindInverse(const Matrix& m) const {
  for (const InverseRecord& r : inverses_) {
    if (r.hi.Rank() == m.Rank() && r.hi.Rows() == m.Rows() && r.hi.Cols() == m.Cols() &&
        std::memcmp(r.hi.Data(), m.Data(), m.Size() * sizeof(double)) == 0)
      return &r;
  }
  return nullptr;
}

void MatrixOps::RememberInverse(Matrix hi, Matrix lo) const {
  if (inverses_.size() >= kRememberedCount) inverses_.pop_back();
  inverses_.insert(inverses_.begin(), InverseRecord{std::move(hi), std::move(lo)});
}

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
  Matrix result = Array<double>::Unset(m, n);  // every element is written below
  const double work = static_cast<double>(m) * static_cast<double>(p) * static_cast<double>(n);
  if (work <= kCompensatedProductWork) {
    const InverseRecord* lowA = FindInverse(a);
    const InverseRecord* lowB = FindInverse(b);
    std::vector<DD> out;
    CompensatedProduct(a.Data(), lowA ? lowA->lo.Data() : nullptr, b.Data(), lowB ? lowB->lo.Data() : nullptr,
                       static_cast<std::size_t>(m), static_cast<std::size_t>(p), static_cast<std::size_t>(n), out);
    for (std::size_t k = 0; k < out.size(); ++k) result.Data()[k] = detail::Round(out[k]);
  } else {
    // Row blocks, so that each block of the result is checked while it is
    // still in cache.
    const detail::ConstView av = detail::ViewOf(a);
    const detail::ConstView bv = detail::ViewOf(b);
    detail::View rv = detail::ViewOf(result);
    constexpr Eigen::Index kRows = 2048;
    for (Eigen::Index r0 = 0; r0 < m; r0 += kRows) {
      const Eigen::Index count = std::min<Eigen::Index>(kRows, m - r0);
      auto block = rv.middleRows(r0, count);
      block.noalias() = av.middleRows(r0, count) * bv;
      if (!block.allFinite()) RaiseNonFiniteProduct(a, b);
    }
    return result;
  }
  if (!detail::AllFinite(result.Data(), result.Size())) RaiseNonFiniteProduct(a, b);
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
  const bool symmetric = ExactlySymmetric(A);

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

  const Eigen::PartialPivLU<Eigen::MatrixXd> lu(scaled);
  Eigen::MatrixXd hi = lu.inverse();
  const double normA = scaled.cwiseAbs().colwise().sum().maxCoeff();
  const double normX = hi.cwiseAbs().colwise().sum().maxCoeff();
  const double rcond = 1.0 / (normA * normX);
  if (!std::isfinite(normX) || !(rcond >= static_cast<double>(k) * kEpsilon))
    RaiseSingular("Inverse", std::isfinite(normX) && rcond > 0.0
                                 ? "reciprocal condition number about " + detail::NumberText(rcond)
                                 : "a pivot is zero");

  Eigen::MatrixXd lo = Eigen::MatrixXd::Zero(k, k);
  Eigen::MatrixXd residual(k, k);
  std::vector<DD> product;
  const std::size_t order = static_cast<std::size_t>(k);
  double previous = std::numeric_limits<double>::infinity();
  double relative = 0.0;
  // Each step costs a double-double matrix product; large matrices stop
  // after a few steps, which already give every digit of the double result.
  const int steps = k <= 128 ? 12 : 3;
  for (int step = 0; step < steps; ++step) {
    CompensatedProduct(scaled.data(), nullptr, hi.data(), lo.data(), order, order, order, product);
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
  if (k <= kRememberedOrder) RememberInverse(resultHi, std::move(resultLo));
  return resultHi;
}

Matrix MatrixOps::Transpose(const Matrix& a) const {
  detail::RequireUsable(a, "Transpose", "matrix");
  Matrix t = Array<double>::Matrix(detail::ColsOf(a), detail::RowsOf(a));
  detail::ViewOf(t) = detail::ViewOf(a).transpose();
  return t;
}

Matrix MatrixOps::Subtract(const Matrix& a, const Matrix& b) const {
  detail::RequireUsable(a, "Subtract", "first matrix");
  detail::RequireUsable(b, "Subtract", "second matrix");
  if (detail::RowsOf(a) != detail::RowsOf(b) || detail::ColsOf(a) != detail::ColsOf(b))
    detail::RaiseShape("Subtract", "the matrices need the same shape, not " + detail::ShapeText(a) + " and " +
                                       detail::ShapeText(b));
  Matrix d = Array<double>::Matrix(detail::RowsOf(a), detail::ColsOf(a));
  detail::ViewOf(d) = detail::ViewOf(a) - detail::ViewOf(b);
  if (!detail::AllFinite(d.Data(), d.Size())) detail::RaiseOverflow("Subtract");
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
  const Eigen::LLT<Eigen::MatrixXd> llt(sym);
  if (llt.info() != Eigen::Success) refuse(0, "a pivot is not positive");
  const Eigen::MatrixXd f = llt.matrixL();
  for (Eigen::Index j = 0; j < k; ++j) {
    const double pivot = f(j, j);
    if (!(pivot * pivot > static_cast<double>(k) * kEpsilon * sym(j, j)))
      refuse(j, "pivot " + detail::NumberText(pivot) + " vanishes against the diagonal");
  }
  Matrix result = Array<double>::Matrix(static_cast<std::int32_t>(k), static_cast<std::int32_t>(k));
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
  const Eigen::MatrixXd identity = Eigen::MatrixXd::Identity(k, k);
  if (lower)
    detail::ViewOf(result) = F.triangularView<Eigen::Lower>().solve(identity);
  else
    detail::ViewOf(result) = F.triangularView<Eigen::Upper>().solve(identity);
  if (!detail::AllFinite(result.Data(), result.Size())) detail::RaiseOverflow("InverseFactor");
  return result;
}

}  // namespace nml::support
