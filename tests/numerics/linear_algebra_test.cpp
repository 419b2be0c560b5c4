// Products, inverse, factors and eigen decomposition: defining relations on
// seeded random and ill-conditioned matrices, exact inverses known in
// closed form, and the eigenvector sign rule on tied components.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/numerics/matrix_ops.h"
#include "numerics_test_support.h"

namespace nml::support {
namespace {

using namespace test;

// The lower Pascal triangle L(i, j) = C(i - 1, j - 1), with alternating signs
// when `sign` is -1, which makes it the inverse of the unsigned triangle.
Matrix PascalTriangle(std::int32_t k, double sign) {
  Matrix l = Array<double>::Matrix(k, k);
  for (std::int32_t i = 1; i <= k; ++i)
    for (std::int32_t j = 1; j <= i; ++j)
      l(i, j) = (j == 1 || j == i) ? std::pow(sign, i - j) : l(i - 1, j - 1) + sign * l(i - 1, j);
  return l;
}
// The symmetric Pascal matrix P = L L': integer entries, determinant 1,
// condition growing like 16^k (about 1e13 for k = 12). Its exact inverse is
// the integer matrix L^-T L^-1.
Matrix Pascal(std::int32_t k) { return NaiveProduct(PascalTriangle(k, 1), NaiveTranspose(PascalTriangle(k, 1))); }
Matrix PascalInverse(std::int32_t k) {
  return NaiveProduct(NaiveTranspose(PascalTriangle(k, -1)), PascalTriangle(k, -1));
}

TEST(Inverse, TimesTheMatrixGivesTheIdentityKeepsSymmetryAndIsExactForPascalMatrices) {
  MatrixOps ops;
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    const Matrix spd = test::RandomSpd(8, seed);
    const Matrix general = test::RandomMatrix(7, 7, seed + 10);
    for (const Matrix* a : {&spd, &general}) {
      const Matrix inv = ops.Inverse(*a);
      EXPECT_LT(MaxAbsDifference(NaiveProduct(*a, inv), test::Identity(a->Rows())), 1e-13) << seed;
      EXPECT_LT(MaxAbsDifference(NaiveProduct(inv, *a), test::Identity(a->Rows())), 1e-13) << seed;
    }
    EXPECT_EQ(ops.Inverse(spd), NaiveTranspose(ops.Inverse(spd))) << "inverse of a symmetric matrix, seed " << seed;
  }
  for (std::int32_t k : {5, 9, 12}) EXPECT_EQ(MaxAbsDifference(ops.Inverse(Pascal(k)), PascalInverse(k)), 0.0) << k;
}

TEST(Multiply, LargeProductsAgreeWithThePlainProduct) {
  MatrixOps ops;
  const Matrix a = test::RandomMatrix(3000, 40, 5);
  const Matrix b = test::RandomMatrix(40, 50, 6);
  EXPECT_LT(MaxAbsDifference(ops.Multiply(a, b), NaiveProduct(a, b)), 1e-12);
}

TEST(Factors, SquareRootFactorIsLowerWithFFTransposeEqualSAndItsInverseWhitens) {
  // F F' = S with F lower triangular, and B = F^-1 gives B S B' = I, also
  // for the ill-conditioned Pascal matrix.
  MatrixOps ops;
  const std::vector<Matrix> cases = {test::RandomSpd(7, 1), test::RandomSpd(7, 2), test::RandomSpd(6, 4), Pascal(8)};
  for (const Matrix& s : cases) {
    const std::int32_t k = s.Rows();
    const Matrix f = ops.SquareRootFactor(s);
    const Matrix ff = NaiveProduct(f, NaiveTranspose(f));
    for (std::int32_t i = 1; i <= k; ++i)
      for (std::int32_t j = 1; j <= k; ++j) {
        EXPECT_TRUE(j <= i || f(i, j) == 0.0) << "F not lower triangular at " << i << ", " << j;
        EXPECT_NEAR(ff(i, j), s(i, j), 1e-13 * s(i, i)) << k;
      }
    const Matrix b = ops.InverseFactor(f);
    EXPECT_LT(MaxAbsDifference(NaiveProduct(NaiveProduct(b, s), NaiveTranspose(b)), test::Identity(k)), 1e-9) << k;
  }
}

TEST(Eigen, GivesSortedEigenvaluesAndUnitEigenvectorsWithTheirLargestComponentPositive) {
  MatrixOps ops;
  for (std::uint32_t seed : {3u, 4u, 8u}) {
    const Matrix s = test::RandomSpd(6, seed);
    const Matrix e = ops.Eigen(s);
    ASSERT_EQ(e.Rows(), 7);
    ASSERT_EQ(e.Cols(), 6);
    for (std::int32_t j = 2; j <= 6; ++j) EXPECT_GE(e(1, j - 1), e(1, j));
    const Matrix v = ops.SubMatrix(e, 1, 2, 6, 6);
    // V' V = I and S V = V diag(lambda).
    EXPECT_LT(MaxAbsDifference(NaiveProduct(NaiveTranspose(v), v), test::Identity(6)), 1e-14) << seed;
    const Matrix sv = NaiveProduct(s, v);
    for (std::int32_t j = 1; j <= 6; ++j) {
      std::int32_t largest = 1;
      for (std::int32_t i = 1; i <= 6; ++i) {
        EXPECT_NEAR(sv(i, j), e(1, j) * v(i, j), 1e-12 * e(1, 1)) << seed;
        if (std::fabs(v(i, j)) > std::fabs(v(largest, j))) largest = i;
      }
      EXPECT_GT(v(largest, j), 0.0) << seed;
    }
  }
}

TEST(Eigen, TiedComponentsTakeTheFirstPositive) {
  // [[2, 1], [1, 2]] and [[2, -1], [-1, 2]]: eigenvectors (1, 1) and (1, -1)
  // over sqrt 2, whose components tie in magnitude.
  for (double off : {1.0, -1.0}) {
    const Matrix t = MatrixOps().Eigen(FromRows(2, 2, {2, off, off, 2}));
    for (std::int32_t j = 1; j <= 2; ++j) {
      EXPECT_GT(t(2, j), 0.0) << off;
      EXPECT_NEAR(std::fabs(t(3, j)), std::sqrt(0.5), 1e-15) << off;
    }
  }
}

}  // namespace
}  // namespace nml::support
