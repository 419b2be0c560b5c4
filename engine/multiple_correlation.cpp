// DoMultipleCorr: the multiple correlation of each column of Y with all the
// columns of X, with its F test. Works on cross-product matrices only: the
// squared multiple correlation of dependent variable i is
// (Syx Sxx^-1 Sxy)(i, i) / Syy(i, i).
#include <cstdint>

#include "common/checked.h"
#include "common/handlers.h"
#include "common/perfect_correlation.h"
#include "engine/cls_correlation_bo.h"
#include "engine/counters.h"
#include "engine/regression_cross_products.h"
#include "support/host_link.h"
#include "support/numerics/matrix_ops.h"

namespace nml {

void clsCorrelationBO::DoMultipleCorr() {
  Trail({"clsCorrelationBO", "DoMultipleCorr"}, [&] {
    support::MatrixOps& ops = *matrixOps_;
    const engine::RegressionCrossProducts s =
        engine::YOnXCrossProducts(ops, x_, y_, calculateDescriptives_, means_, sds_, ses_, ns_);
    const std::int32_t n = x_.UBound(1);
    const Matrix g = ops.Multiply(ops.Multiply(s.syx, s.sxxInv), s.sxy);
    const std::int16_t p = engine::Count16(s.sxxInv.UBound(1));

    const std::int32_t q = s.syy.UBound(1);
    r_ = Variant(Array<Variant>::Vector(q));
    testStat_ = Variant(Array<Variant>::Vector(q));
    p_ = Variant(Array<Variant>::Vector(q));
    Array<Variant>& r = r_.Variants();
    Array<Variant>& testStat = testStat_.Variants();
    Array<Variant>& prob = p_.Variants();

    const std::int16_t count = engine::Count16(q);
    for (std::int32_t i = 1; i <= count; ++i) {
      // A dependent variable without variation divides by zero here (11).
      const double rSquared = CheckedDiv(g(i, i), s.syy(i, i));
      r(i) = Variant(rSquared);
      if (!IsPerfectCorrelation(rSquared, ReadBack::kDouble)) {
        const std::int32_t dfDenominator = AddLong(AddLong(n, -p), -1);
        const double numerator = rSquared * static_cast<double>(dfDenominator);
        const double denominator = (1.0 - rSquared) * static_cast<double>(p);
        const double f = CheckedDiv(numerator, denominator);
        testStat(i) = Variant(f < 0.0 ? -f : f);
        const host::ApplicationRef app = support::TheHostLink().Application();
        prob(i) = app->WorksheetFunction().FDist(testStat(i), Variant::Integer(p), Variant::Long(dfDenominator));
      } else {
        testStat(i) = Variant::Integer(0);
        prob(i) = Variant("-");
      }
      r(i) = Variant(CheckedSqrt(r(i).AsDouble()));
    }
  });
}

}  // namespace nml
