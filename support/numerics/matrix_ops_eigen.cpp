// MatrixOps: symmetric eigen decomposition and the sort of its result.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "support/support_errors.h"
#include "support/numerics/eigen_includes.h"
#include "support/numerics/matrix_checks.h"
#include "support/numerics/matrix_ops.h"

namespace nml::support {

namespace {

// Magnitudes within this relative distance of the largest count as tied, so
// that rounding differences between machines cannot move the sign decision
// from one component to another.
constexpr double kTieTolerance = 1e-12;

// Makes the eigenvector's largest-magnitude component positive; among
// components tied for the largest, the first decides.
void FixSign(Eigen::Ref<Eigen::VectorXd> v) {
  const double largest = v.cwiseAbs().maxCoeff();
  if (!(largest > 0.0)) return;
  for (Eigen::Index i = 0; i < v.size(); ++i) {
    if (std::fabs(v(i)) >= largest * (1.0 - kTieTolerance)) {
      if (v(i) < 0.0) v = -v;
      return;
    }
  }
}

}  // namespace

// Symmetric eigen decomposition by Eigen's SelfAdjointEigenSolver
// (Householder tridiagonalisation, then implicit symmetric QR). The input
// must be symmetric up to rounding (see SymmetricPart); its symmetric part is
// decomposed. Columns come in descending order of eigenvalue, each
// eigenvector of unit length with the sign fixed by FixSign.
Matrix MatrixOps::Eigen(const Matrix& s) const {
  detail::RequireUsable(s, "Eigen", "matrix");
  const Eigen::MatrixXd sym = detail::SymmetricPart(s, "Eigen");
  const Eigen::Index k = sym.rows();
  Matrix result = Array<double>::Matrix(static_cast<std::int32_t>(k + 1), static_cast<std::int32_t>(k));
  if (k == 0) return result;
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(sym, Eigen::ComputeEigenvectors);
  if (solver.info() != Eigen::Success)
    RaiseSupport(kEigenNoConvergence, "MatrixOps.Eigen: the eigen decomposition did not converge");
  Eigen::MatrixXd vectors = solver.eigenvectors();
  const Eigen::VectorXd& values = solver.eigenvalues();
  detail::View out = detail::ViewOf(result);
  for (Eigen::Index j = 0; j < k; ++j) {
    const Eigen::Index from = k - 1 - j;  // the solver's order is ascending
    Eigen::VectorXd v = vectors.col(from);
    FixSign(v);
    out(0, j) = values(from);
    out.col(j).tail(k) = v;
  }
  if (!detail::AllFinite(result.Data(), result.Size()))
    RaiseSupport(kEigenNoConvergence, "MatrixOps.Eigen: the eigen decomposition did not converge");
  return result;
}

// Stable sort of the columns by the values in row `row`: ties keep their
// order, so equal eigenvalues never swap their eigenvectors.
void MatrixOps::SortEigen(Matrix& e, std::int32_t order, std::int32_t row) const {
  detail::RequireUsable(e, "SortEigen", "matrix");
  if (e.Rank() != 2) detail::RaiseShape("SortEigen", "the matrix must have two dimensions");
  if (order != 1 && order != -1)
    RaiseSupport(kBadArgument, "MatrixOps.SortEigen: the order must be 1 (ascending) or -1 (descending), not " +
                                   std::to_string(order));
  const std::int32_t rows = e.Rows();
  const std::int32_t cols = e.Cols();
  if (row < 1 || row > rows)
    Raise(rt::kSubscriptOutOfRange, "MatrixOps.SortEigen: row " + std::to_string(row) + " is outside 1 to " +
                                        std::to_string(rows));
  std::vector<std::int32_t> index(static_cast<std::size_t>(cols));
  std::iota(index.begin(), index.end(), 0);
  const double* key = e.Data() + (row - 1);
  const std::size_t stride = static_cast<std::size_t>(rows);
  auto keyOf = [&](std::int32_t j) { return key[static_cast<std::size_t>(j) * stride]; };
  if (order < 0)
    std::stable_sort(index.begin(), index.end(), [&](std::int32_t x, std::int32_t y) { return keyOf(x) > keyOf(y); });
  else
    std::stable_sort(index.begin(), index.end(), [&](std::int32_t x, std::int32_t y) { return keyOf(x) < keyOf(y); });
  Matrix sorted = Array<double>::Matrix(rows, cols);
  for (std::int32_t j = 0; j < cols; ++j)
    std::copy_n(e.Data() + static_cast<std::size_t>(index[static_cast<std::size_t>(j)]) * stride, stride,
                sorted.Data() + static_cast<std::size_t>(j) * stride);
  e = std::move(sorted);
}

}  // namespace nml::support
