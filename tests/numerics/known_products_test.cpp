// Correlations of data with their own linear combinations (canonical
// loadings), and of two data sets joined side by side, follow from
// cross-products formed earlier; they must agree with a full pass over the
// data, which a fresh MatrixOps makes.
#include <gtest/gtest.h>

#include "support/numerics/matrix_ops.h"
#include "numerics_test_support.h"

namespace nml::support {
namespace {

TEST(KnownProducts, CorrelationsWithScoresMatchAFullPass) {
  Matrix x = test::RandomMatrix(30000, 4, 11, 20.0, 2.0);
  Matrix y = test::RandomMatrix(30000, 3, 12, -5.0, 0.1);
  for (std::int32_t i = 1; i <= x.Rows(); ++i) y(i, 2) += 0.05 * x(i, 1);  // related sets
  const Matrix coeffs = test::RandomMatrix(4, 3, 13);
  MatrixOps ops;
  ops.CrossProducts(x, x);
  ops.CrossProducts(x, y);
  ops.CrossProducts(y, y);
  const Matrix scores = ops.Multiply(x, coeffs);
  for (const Matrix* data : {&x, &y}) {
    const Matrix known = ops.CrossCorrelations(*data, scores);
    EXPECT_LT(test::MaxAbsDifference(known, MatrixOps().CrossCorrelations(*data, scores)), 1e-13) << data->Cols();
  }
  const Matrix joined = ops.AppendColumns(x, y);
  const Matrix known = ops.CorrelationMatrix(joined, 0);
  EXPECT_LT(test::MaxAbsDifference(known, MatrixOps().CorrelationMatrix(joined, 0)), 1e-13) << "joined";
  // New scores in the same place (the old ones given up) are not mistaken
  // for the old ones.
  Matrix changed = scores;
  for (std::int32_t i = 1; i <= changed.Rows(); ++i) changed(i, 1) = y(i, 1);
  const Matrix r = ops.CrossCorrelations(y, changed);
  EXPECT_NEAR(r(1, 1), 1.0, 1e-14);
}

}  // namespace
}  // namespace nml::support
