#include "support/numerics/matrix_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/number_text.h"
#include "support/support_errors.h"

namespace nml::support::detail {

std::string ShapeText(const Matrix& m) {
  return std::to_string(RowsOf(m)) + " by " + std::to_string(ColsOf(m));
}

std::string NumberText(double x) { return NumberToText(x, 3); }

void RequireAllocated(const Matrix& m, std::string_view operation, std::string_view argument) {
  if (m.Allocated()) return;
  RaiseSupport(kBadArgument,
               "MatrixOps." + std::string(operation) + ": the " + std::string(argument) + " is not allocated");
}

void RaiseNonFinite(std::string_view operation, std::string_view argument, std::int64_t row, std::int64_t column,
                    double value) {
  const char* what = std::isnan(value) ? "NaN" : (value > 0 ? "an infinity" : "a negative infinity");
  RaiseSupport(kNonFiniteValue, "MatrixOps." + std::string(operation) + ": the " + std::string(argument) +
                                    " holds " + what + " at row " + std::to_string(row) + ", column " +
                                    std::to_string(column));
}

void RaiseOverflow(std::string_view operation) {
  RaiseSupport(kNonFiniteValue, "MatrixOps." + std::string(operation) +
                                    ": the result overflows the range of double precision");
}

void RaiseShape(std::string_view operation, const std::string& detail) {
  RaiseSupport(kShapeMismatch, "MatrixOps." + std::string(operation) + ": " + detail);
}

bool AllFinite(const double* p, std::size_t n) {
  // x - x is 0 for every finite x and NaN otherwise; the lanes keep the loop
  // vectorisable without reassociating anything.
  constexpr std::size_t kLanes = 8;
  double acc[kLanes] = {};
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes)
    for (std::size_t l = 0; l < kLanes; ++l) acc[l] += p[i + l] - p[i + l];
  for (; i < n; ++i)
    if (!std::isfinite(p[i])) return false;
  for (double a : acc)
    if (a != 0.0) return false;
  return true;
}

void RequireFinite(const Matrix& m, std::string_view operation, std::string_view argument) {
  const std::size_t n = m.Size();
  if (AllFinite(m.Data(), n)) return;
  const std::int64_t rows = std::max<std::int64_t>(RowsOf(m), 1);
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(m.Data()[i])) {
      const auto k = static_cast<std::int64_t>(i);
      RaiseNonFinite(operation, argument, k % rows + 1, k / rows + 1, m.Data()[i]);
    }
  }
}

Eigen::MatrixXd SymmetricPart(const Matrix& s, std::string_view operation) {
  const std::int32_t k = RowsOf(s);
  if (ColsOf(s) != k) RaiseShape(operation, "the matrix must be square, not " + ShapeText(s));
  const ConstView a = ViewOf(s);
  const double scale = k == 0 ? 0.0 : a.cwiseAbs().maxCoeff();
  // Rounding in the products that form a symmetric matrix leaves differences
  // of a few units in the last place between its triangles; anything beyond
  // the square root of the machine epsilon is a matrix that is not symmetric.
  const double tolerance = 1.4901161193847656e-08 * scale;
  for (std::int32_t j = 0; j < k; ++j) {
    for (std::int32_t i = j + 1; i < k; ++i) {
      if (std::fabs(a(i, j) - a(j, i)) > tolerance) {
        RaiseSupport(kNotSymmetric, "MatrixOps." + std::string(operation) + ": the matrix is not symmetric (element " +
                                        std::to_string(i + 1) + ", " + std::to_string(j + 1) + " is " +
                                        NumberText(a(i, j)) + ", element " + std::to_string(j + 1) + ", " +
                                        std::to_string(i + 1) + " is " + NumberText(a(j, i)) + ")");
      }
    }
  }
  Eigen::MatrixXd sym = a;
  for (std::int32_t j = 0; j < k; ++j)
    for (std::int32_t i = j + 1; i < k; ++i) {
      const double v = 0.5 * a(i, j) + 0.5 * a(j, i);
      sym(i, j) = v;
      sym(j, i) = v;
    }
  return sym;
}

}  // namespace nml::support::detail
