// DoCanonicalCorr and CanCorr: canonical correlation analysis between the
// columns of X (set 1) and those of Y (set 2).
//
// With S the centred cross-product matrices and B = F^-1 for the square-root
// factor F F' = S_YY, the canonical correlations squared are the eigenvalues
// of the symmetric matrix B (S_YX S_XX^-1 S_XY) B'; its unit eigenvectors v
// give the set-2 coefficients a = B' v, scaled so that a' S_YY a = 1. Set 1 is
// solved the same way with the roles exchanged.
#include <cstdint>

#include "common/checked.h"
#include "common/handlers.h"
#include "engine/cls_correlation_bo.h"
#include "engine/counters.h"
#include "engine/significance.h"
#include "support/numerics/matrix_ops.h"
#include "support/numerics/variation_check.h"

namespace nml {

namespace {

// The scores of one kind (raw or standardised) and their loadings: the data
// as held (not centred) times the coefficients, set 2 first, then the
// correlations of each set with its own and with the other set's scores.
void VariateScores(const support::MatrixOps& ops, const Matrix& x, const Matrix& y, const Matrix& coeffsX,
                   const Matrix& coeffsY, Matrix& varX, Matrix& varY, Matrix& loadingsX, Matrix& loadingsY,
                   Matrix& crossX, Matrix& crossY) {
  varY = ops.Multiply(y, coeffsY);
  varX = ops.Multiply(x, coeffsX);
  loadingsX = ops.CrossCorrelations(x, varX);
  loadingsY = ops.CrossCorrelations(y, varY);
  crossX = ops.CrossCorrelations(x, varY);
  crossY = ops.CrossCorrelations(y, varX);
}

}  // namespace

void clsCorrelationBO::DoCanonicalCorr() {
  Trail({"clsCorrelationBO", "DoCanonicalCorr"}, [&] {
    support::MatrixOps& ops = *matrixOps_;
    const std::int16_t p = engine::Count16(x_.UBound(2));
    const std::int16_t q = engine::Count16(y_.UBound(2));
    const std::int32_t n = x_.UBound(1);
    const std::int16_t m = q >= p ? p : q;
    support::RequireVariation(x_, "the X range");
    support::RequireVariation(y_, "the Y range");

    if (IsTrue(calculateDescriptives_)) {
      const Matrix joined = ops.AppendColumns(x_, y_);
      ops.ColumnDescriptives(joined, means_, sds_, ses_, ns_);
    }

    const Matrix sxx = ops.CrossProducts(x_, x_);
    const Matrix sxy = ops.CrossProducts(x_, y_);
    const Matrix syx = ops.Transpose(sxy);
    const Matrix syy = ops.CrossProducts(y_, y_);
    const Matrix sxxInv = ops.Inverse(sxx, Variant::Missing());
    const Matrix syyInv = ops.Inverse(syy, Variant::Missing());

    {
      const Matrix joined = ops.AppendColumns(x_, y_);
      r_ = Variant(ops.CorrelationMatrix(joined, 0));
    }
    const Matrix& r = r_.Doubles();

    // Significance of every correlation, both triangles and within each set.
    // A perfect coefficient, or one at or beyond -1, gets the marker.
    p_ = Variant(Array<Variant>::Matrix(r.UBound(1), r.UBound(2)));
    Array<Variant>& prob = p_.Variants();
    engine::LazyDistributions stats;
    const std::int16_t rows = engine::Count16(r.UBound(1));
    const std::int16_t cols = engine::Count16(r.UBound(2));
    for (std::int32_t i = 1; i <= rows; ++i) {
      for (std::int32_t j = 1; j <= cols; ++j) {
        const double rij = r(i, j);
        if (engine::HasTStatistic(rij, ReadBack::kSingle)) {
          const std::int32_t df = AddLong(n, -2);
          prob(i, j) = stats.Get().TProbability(engine::TStatistic(rij, df), df, 2);
        } else {
          prob(i, j) = Variant("-");
        }
      }
    }

    CanCorr(syy, sxx, syx, sxy, syyInv, sxxInv, canCoeffsRawY_, canCoeffsRawX_, canCorrelations_, m);
    StdCanCoeffs(syy, sxx, canCoeffsRawX_, canCoeffsRawY_, canCoeffsStdX_, canCoeffsStdY_);
    TestCanCorr(canCorrelations_, m, n, x_, y_, canCorrLambda_, canCorrChiSq_, canCorrDF_, canCorrP_);

    if (IsTrue(raw_))
      VariateScores(ops, x_, y_, canCoeffsRawX_, canCoeffsRawY_, canVarRawX_, canVarRawY_, canLoadingsRawX_,
                    canLoadingsRawY_, canLoadingsCrossRawX_, canLoadingsCrossRawY_);
    if (IsTrue(standardised_))
      VariateScores(ops, x_, y_, canCoeffsStdX_, canCoeffsStdY_, canVarStdX_, canVarStdY_, canLoadingsStdX_,
                    canLoadingsStdY_, canLoadingsCrossStdX_, canLoadingsCrossStdY_);
  });
}

void clsCorrelationBO::CanCorr(const Matrix& Syy, const Matrix& Sxx, const Matrix& Syx, const Matrix& Sxy,
                               const Matrix& SyyInv, const Matrix& SxxInv, Matrix& coeffsSet2, Matrix& coeffsSet1,
                               Array<double>& canCorrelations, std::int16_t m) {
  Trail({"clsCorrelationBO", "CanCorr"}, [&] {
    support::MatrixOps& ops = *matrixOps_;

    // Set 2.
    {
      const Matrix b = ops.InverseFactor(ops.SquareRootFactor(Syy));
      const Matrix c = ops.Multiply(ops.Multiply(Syx, SxxInv), Sxy);
      const Matrix w = ops.Transpose(ops.Multiply(b, ops.Multiply(c, ops.Transpose(b))));
      Matrix e = ops.Eigen(w);
      ops.SortEigen(e, -1, 1);

      canCorrelations.Redim(e.UBound(2));
      const std::int16_t count = engine::Count16(e.UBound(2));
      for (std::int32_t j = 1; j <= count; ++j) {
        if (e(1, j) < 0.0) {
          // The eigenvalues descend, so every later one is negative too. Among
          // the first m they are rounding around a true canonical correlation
          // of 0 and count as 0; beyond m the list ends here.
          if (j <= m) {
            canCorrelations(j) = 0.0;
            continue;
          }
          e.RedimPreserve(e.UBound(1), j - 1);
          canCorrelations.RedimPreserve(j - 1);
          break;
        }
        canCorrelations(j) = CheckedSqrt(e(1, j));
      }

      const Matrix v = ops.SubMatrix(e, 1, 2, e.UBound(2), e.UBound(1) - 1);
      coeffsSet2 = ops.Multiply(ops.Transpose(b), v);
    }

    // Set 1: the same with the roles exchanged; no eigenvalue is tested.
    {
      const Matrix b = ops.InverseFactor(ops.SquareRootFactor(Sxx));
      const Matrix g = ops.Multiply(ops.Multiply(Sxy, SyyInv), Syx);
      const Matrix w = ops.Transpose(ops.Multiply(b, ops.Multiply(g, ops.Transpose(b))));
      Matrix e = ops.Eigen(w);
      ops.SortEigen(e, -1, 1);
      const Matrix v = ops.SubMatrix(e, 1, 2, e.UBound(2), e.UBound(1) - 1);
      coeffsSet1 = ops.Multiply(ops.Transpose(b), v);
    }

    // Only m variate pairs exist.
    if (coeffsSet2.UBound(2) > m) coeffsSet2 = ops.SubMatrix(coeffsSet2, 1, 1, m, coeffsSet2.UBound(1));
    if (coeffsSet1.UBound(2) > m) coeffsSet1 = ops.SubMatrix(coeffsSet1, 1, 1, m, coeffsSet1.UBound(1));
  });
}

}  // namespace nml
