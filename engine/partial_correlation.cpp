// DoPartialCorr: partial correlations among the columns of Y controlling for
// all columns of X. The controls are removed from the cross-products of Y
// (H = Syy - Syx Sxx^-1 Sxy, the residual cross-products of Y regressed on X)
// and H is rescaled to unit diagonal: R = D H D with D = diag(H)^-1/2.
#include <cstdint>

#include "common/checked.h"
#include "common/handlers.h"
#include "engine/cls_correlation_bo.h"
#include "engine/counters.h"
#include "engine/regression_cross_products.h"
#include "engine/significance.h"
#include "support/numerics/matrix_ops.h"

namespace nml {

namespace {

bool IsDashMarker(const Variant& v) { return v.IsText() && v.Text() == "-"; }

}  // namespace

void clsCorrelationBO::DoPartialCorr() {
  Trail({"clsCorrelationBO", "DoPartialCorr"}, [&] {
    support::MatrixOps& ops = *matrixOps_;
    const engine::RegressionCrossProducts s =
        engine::YOnXCrossProducts(ops, x_, y_, calculateDescriptives_, means_, sds_, ses_, ns_);
    const std::int32_t n = x_.UBound(1);
    Matrix h;
    {
      const Matrix g = ops.Multiply(ops.Multiply(s.syx, s.sxxInv), s.sxy);
      h = ops.Subtract(s.syy, g);
    }
    const std::int16_t k = engine::Count16(s.sxxInv.UBound(1));
    Matrix d = Array<double>::Matrix(h.UBound(1), h.UBound(2));

    // With fewer than k + 3 cases no partial correlation can be tested.
    const std::int32_t residualDf = AddLong(AddLong(n, -k), -1);
    if (residualDf < 2) {
      const std::int32_t q = h.UBound(1);
      Array<Variant> markers = Array<Variant>::Matrix(q, q);
      const std::int16_t rows = engine::Count16(q);
      for (std::int32_t i = 1; i <= rows; ++i) {
        for (std::int32_t j = 1; j <= rows; ++j) markers(i, j) = Variant("-");
        markers(i, i) = Variant("1");
      }
      r_ = Variant(std::move(markers));
    } else {
      const std::int16_t rows = engine::Count16(h.UBound(1));
      for (std::int32_t i = 1; i <= rows; ++i) {
        const std::int16_t cols = engine::Count16(h.UBound(2));
        for (std::int32_t j = 1; j <= cols; ++j) {
          h(i, j) = CheckedDiv(h(i, j), static_cast<double>(residualDf));
          d(i, j) = 0.0;
        }
        // A residual variance of zero or below (a variable fully determined
        // by the controls) has no partial correlation: 0 raises Division by
        // zero (11), a negative value Invalid procedure call (5).
        d(i, i) = CheckedPow(h(i, i), -0.5);
      }
      r_ = Variant(ops.Multiply(ops.Multiply(d, h), d));
    }

    const std::int32_t rRows = r_.Kind() == VarKind::kDoubleArray ? r_.Doubles().UBound(1) : r_.Variants().UBound(1);
    const std::int32_t rCols = r_.Kind() == VarKind::kDoubleArray ? r_.Doubles().UBound(2) : r_.Variants().UBound(2);
    testStat_ = Variant(Array<Variant>::Matrix(rRows, rCols));
    p_ = Variant(Array<Variant>::Matrix(rRows, rCols));
    Array<Variant>& testStat = testStat_.Variants();
    Array<Variant>& p = p_.Variants();

    engine::LazyDistributions stats;
    const std::int16_t rows = engine::Count16(rRows);
    for (std::int32_t i = 1; i <= rows; ++i) {
      const std::int16_t cols = engine::Count16(rCols);
      for (std::int32_t j = 1; j <= cols; ++j) {
        const Variant rij = r_.Kind() == VarKind::kDoubleArray ? Variant(r_.Doubles()(i, j)) : r_.Variants()(i, j);
        if (IsDashMarker(rij)) {
          testStat(i, j) = Variant("-");
          p(i, j) = Variant("-");
          continue;
        }
        const double value = rij.ToDouble();
        if (engine::HasTStatistic(value, ReadBack::kDouble)) {
          const std::int32_t df = AddLong(AddLong(n, -k), -2);
          testStat(i, j) = Variant(engine::TStatistic(value, df));
          p(i, j) = stats.Get().TProbability(testStat(i, j).AsDouble(), df, 2);
        } else {
          testStat(i, j) = Variant("-");
          p(i, j) = i != j ? Variant::Integer(0) : Variant("-");
        }
      }
    }
  });
}

}  // namespace nml
