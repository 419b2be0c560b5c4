// StdCanCoeffs and TestCanCorr: standardised canonical coefficients and the
// sequential tests of the canonical correlations.
#include <cstdint>

#include "common/checked.h"
#include "common/handlers.h"
#include "engine/cls_correlation_bo.h"
#include "engine/counters.h"
#include "support/host_link.h"
#include "support/numerics/matrix_ops.h"

namespace nml {

namespace {

/// The diagonal matrix of the square roots of s's diagonal, with s's bounds.
Matrix RootDiagonal(const Matrix& s) {
  Matrix d = Array<double>::Matrix(s.UBound(1), s.UBound(2));
  const std::int16_t rows = engine::Count16(s.UBound(1));
  const std::int32_t cols = s.UBound(2);
  for (std::int32_t i = 1; i <= rows; ++i) {
    for (std::int32_t j = 1; j <= cols; ++j) d(i, j) = 0.0;
    d(i, i) = CheckedSqrt(s(i, i));
  }
  return d;
}

}  // namespace

// Element (i, k) of a standardised coefficient matrix is the raw coefficient
// times the square root of the i-th diagonal element of its set's
// cross-products, so that b' R_set b = 1 whatever the scale of those.
void clsCorrelationBO::StdCanCoeffs(const Matrix& Syy, const Matrix& Sxx, const Matrix& rawSet1,
                                    const Matrix& rawSet2, Matrix& stdSet1, Matrix& stdSet2) {
  Trail({"clsCorrelationBO", "StdCanCoeffs"}, [&] {
    const Matrix dy = RootDiagonal(Syy);
    const Matrix dx = RootDiagonal(Sxx);
    stdSet2 = matrixOps_->Multiply(dy, rawSet2);
    stdSet1 = matrixOps_->Multiply(dx, rawSet1);
  });
}

// Test k asks whether the canonical correlations k to m are all zero: Wilks'
// lambda is the product of (1 - r_j^2) over j = k..m, and Bartlett's
// chi-square -(n - (p + q + 3) / 2) ln(lambda) has (p - k + 1)(q - k + 1)
// degrees of freedom.
void clsCorrelationBO::TestCanCorr(const Array<double>& canCorrelations, std::int16_t m, std::int32_t n,
                                   const Matrix& x, const Matrix& y, Array<double>& lambdas, Array<double>& chiSqs,
                                   Array<double>& dfs, Variant& pValues) {
  Trail({"clsCorrelationBO", "TestCanCorr"}, [&] {
    lambdas.Redim(m);
    dfs.Redim(m);
    chiSqs.Redim(m);
    pValues = Variant(Array<Variant>::Vector(m));
    Array<Variant>& prob = pValues.Variants();

    const std::int32_t p = x.UBound(2);
    const std::int32_t q = y.UBound(2);
    const double factor = static_cast<double>(n) - static_cast<double>(AddLong(AddLong(p, q), 3)) * 0.5;
    for (std::int32_t k = 1; k <= m; ++k) {
      double lambda = 1.0;
      for (std::int32_t j = k; j <= m; ++j) {
        const double r = canCorrelations(j);
        lambda = (1.0 - r * r) * lambda;
      }
      lambdas(k) = lambda;
      // A canonical correlation of exactly 1 makes lambda 0: the logarithm
      // raises Invalid procedure call (5).
      chiSqs(k) = -factor * CheckedLog(lambda < 0.0 ? -lambda : lambda);
      dfs(k) = static_cast<double>(MulLong(AddLong(AddLong(p, -k), 1), AddLong(AddLong(q, -k), 1)));
      if (chiSqs(k) <= 0.0) {
        prob(k) = Variant("-");
      } else {
        const host::ApplicationRef app = support::TheHostLink().Application();
        prob(k) = app->WorksheetFunction().ChiDist(Variant(chiSqs(k)), Variant(dfs(k)));
      }
    }
  });
}

}  // namespace nml
