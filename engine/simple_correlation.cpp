// DoSimpleCorr: Pearson correlation of every pair of columns of X, with the
// absolute t statistic and two-sided probability of each coefficient.
#include <cstdint>

#include "common/checked.h"
#include "common/handlers.h"
#include "engine/cls_correlation_bo.h"
#include "engine/counters.h"
#include "engine/significance.h"
#include "support/numerics/matrix_ops.h"
#include "support/numerics/variation_check.h"

namespace nml {

void clsCorrelationBO::DoSimpleCorr() {
  Trail({"clsCorrelationBO", "DoSimpleCorr"}, [&] {
    support::RequireVariation(x_, "the X range");
    if (IsTrue(calculateDescriptives_)) matrixOps_->ColumnDescriptives(x_, means_, sds_, ses_, ns_);

    const std::int32_t n = x_.UBound(1);
    r_ = Variant(matrixOps_->CorrelationMatrix(x_, 0));
    const Matrix& r = r_.Doubles();

    testStat_ = Variant(Array<Variant>::Matrix(r.UBound(1), r.UBound(2)));
    p_ = Variant(Array<Variant>::Matrix(r.UBound(1), r.UBound(2)));
    Array<Variant>& testStat = testStat_.Variants();
    Array<Variant>& p = p_.Variants();

    engine::LazyDistributions stats;
    const std::int16_t rows = engine::Count16(r.UBound(1));
    for (std::int32_t i = 1; i <= rows; ++i) {
      const std::int16_t cols = engine::Count16(r.UBound(2));
      for (std::int32_t j = 1; j <= cols; ++j) {
        const double rij = r(i, j);
        if (engine::HasTStatistic(rij, ReadBack::kSingle)) {
          const std::int32_t df = AddLong(n, -2);
          testStat(i, j) = Variant(engine::TStatistic(rij, df));
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
