// Correlations and descriptive statistics of awkward and large data against
// an independent long double computation and values worked out in closed
// form (the engine's tests hold them to the reference values of the example
// data sets; more in worked_examples_test).
#include <gtest/gtest.h>

#include <cmath>

#include "support/numerics/matrix_ops.h"
#include "numerics_test_support.h"

namespace nml::support {
namespace {

TEST(CorrelationMatrix, IsExactlySymmetricWithinBoundsOnAwkwardColumns) {
  // Columns far from 0 with a small spread: 2 nearly proportional to 1, 3 its
  // negative, 4 constant (0.1 is not exact in binary), 6 a copy of 5.
  Matrix x = test::RandomMatrix(60, 6, 21, 1e6, 1e-3);
  for (std::int32_t i = 1; i <= 60; ++i) {
    x(i, 2) = 3.0 * x(i, 1) + 1e-12 * i;
    x(i, 3) = -x(i, 1);
    x(i, 4) = 0.1;
    x(i, 6) = x(i, 5);
  }
  MatrixOps ops;
  const Matrix r = ops.CorrelationMatrix(x, 0);
  for (std::int32_t i = 1; i <= 6; ++i) {
    EXPECT_EQ(r(i, i), 1.0);
    for (std::int32_t j = 1; j <= 6; ++j) {
      EXPECT_EQ(r(i, j), r(j, i));
      EXPECT_LE(std::fabs(r(i, j)), 1.0);
    }
    EXPECT_EQ(r(i, 4), i == 4 ? 1.0 : 0.0) << "constant column with " << i;
  }
  EXPECT_EQ(r(1, 3), -1.0);
  EXPECT_EQ(r(5, 6), 1.0);
  const Matrix c = ops.CrossCorrelations(x, ops.SubMatrix(x, 4, 1, 1, 60));
  for (std::int32_t i : {1, 2, 5}) EXPECT_EQ(c(i, 1), 0.0) << "cross-correlation with a constant, row " << i;
}

TEST(CorrelationMatrix, LargeDataTakesTheBlockedPathWithTheSameAccuracy) {
  // 30,000 cases by 40 variables exceeds the error-free path; a large common
  // offset tests the centring, a trend in column 1 the pilot centre.
  const std::int32_t n = 30000, k = 40;
  Matrix x = test::RandomMatrix(n, k, 31, 1e4, 0.5);
  for (std::int32_t i = 1; i <= n; ++i) {
    x(i, 1) = 1e-3 * i;  // sorted: the first block's mean is far from the mean
    x(i, 2) += 0.5 * x(i, 3);
  }
  const Matrix r = MatrixOps().CorrelationMatrix(x, 0);
  // Independent reference: data centred on long double means, cross-products
  // accumulated in long double.
  Matrix centred = x;
  for (std::int32_t j = 1; j <= k; ++j) {
    long double mean = 0;
    for (std::int32_t i = 1; i <= n; ++i) mean += x(i, j);
    for (std::int32_t i = 1; i <= n; ++i) centred(i, j) = static_cast<double>(x(i, j) - mean / n);
  }
  const Matrix s = test::NaiveProduct(test::NaiveTranspose(centred), centred);
  for (std::int32_t i = 1; i <= k; ++i) {
    EXPECT_EQ(r(i, i), 1.0);
    for (std::int32_t j = 1; j <= k; ++j)
      EXPECT_LT(std::fabs(r(i, j) - s(i, j) / std::sqrt(s(i, i) * s(j, j))), 1e-13) << i << ", " << j;
  }
}

TEST(ColumnDescriptives, ConstantSortedAndOffsetColumnsLongerThanThePilotRows) {
  // A constant 0.3 (inexact in binary): mean 0.3, SD and SE 0. -1..-n and
  // 1e9 + 1..n, sorted, so that the first rows' mean lies far from the
  // column's: mean -(n + 1) / 2 and 1e9 + (n + 1) / 2, SD sqrt(n (n + 1) / 12).
  const std::int32_t n = 50000;
  Matrix d = Array<double>::Matrix(n, 3);
  for (std::int32_t i = 1; i <= n; ++i) {
    d(i, 1) = 0.3;
    d(i, 2) = -i;
    d(i, 3) = 1e9 + i;
  }
  Array<double> means, sds, ses, ns;
  MatrixOps().ColumnDescriptives(d, means, sds, ses, ns);
  EXPECT_EQ(test::FromRows(1, 6, {means(1), sds(1), ses(1), means(2), means(3), ns(3)}),
            test::FromRows(1, 6, {0.3, 0, 0, -(n + 1) / 2.0, 1e9 + (n + 1) / 2.0, n}));
  const double sd = std::sqrt(n * (n + 1.0) / 12.0);
  for (std::int32_t j : {2, 3}) {
    EXPECT_LT(test::RelativeError(sds(j), sd), 1e-15) << j;
    EXPECT_LT(test::RelativeError(ses(j), sd / std::sqrt(n)), 1e-15) << j;
  }
}

}  // namespace
}  // namespace nml::support
