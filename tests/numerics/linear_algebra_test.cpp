// Products, inverse, factors and eigen decomposition: defining relations on
// seeded random and ill-conditioned matrices, exact inverses known in
// closed form, and the error cases.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/numerics/matrix_ops.h"
#include "numerics_test_support.h"

namespace nml::support {
namespace {

using test::ErrorOf;
using test::Support;

Matrix FromRows(std::int32_t rows, std::int32_t cols, std::vector<double> values) {
  Matrix m = Array<double>::Matrix(rows, cols);
  for (std::int32_t i = 1; i <= rows; ++i)
    for (std::int32_t j = 1; j <= cols; ++j) m(i, j) = values[static_cast<std::size_t>((i - 1) * cols + j - 1)];
  return m;
}

// The symmetric Pascal matrix P(i, j) = C(i + j - 2, j - 1): integer entries,
// determinant 1, condition growing like 16^k. P = L L' with L the lower
// Pascal triangle, whose inverse is L with alternating signs, so the exact
// inverse is the integer matrix L^-T L^-1.
Matrix Pascal(std::int32_t k) {
  Matrix p = Array<double>::Matrix(k, k);
  for (std::int32_t i = 1; i <= k; ++i)
    for (std::int32_t j = 1; j <= k; ++j) p(i, j) = (i == 1 || j == 1) ? 1.0 : p(i - 1, j) + p(i, j - 1);
  return p;
}
Matrix PascalInverse(std::int32_t k) {
  std::vector<std::vector<long long>> c(static_cast<std::size_t>(k), std::vector<long long>(static_cast<std::size_t>(k)));
  for (std::int32_t i = 0; i < k; ++i)
    for (std::int32_t j = 0; j <= i; ++j) c[i][j] = (j == 0 || j == i) ? 1 : c[i - 1][j - 1] + c[i - 1][j];
  Matrix inv = Array<double>::Matrix(k, k);
  for (std::int32_t i = 0; i < k; ++i)
    for (std::int32_t j = 0; j < k; ++j) {
      long long sum = 0;  // (L^-T L^-1)(i, j) = sum over m of Linv(m, i) Linv(m, j)
      for (std::int32_t m = std::max(i, j); m < k; ++m)
        sum += (((m - i) % 2) ? -1 : 1) * c[m][i] * (((m - j) % 2) ? -1 : 1) * c[m][j];
      inv(i + 1, j + 1) = static_cast<double>(sum);
    }
  return inv;
}

TEST(Inverse, TimesTheMatrixGivesTheIdentity) {
  MatrixOps ops;
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    const Matrix spd = test::RandomSpd(8, seed);
    const Matrix general = test::RandomMatrix(7, 7, seed + 10);
    for (const Matrix* a : {&spd, &general}) {
      const Matrix inv = ops.Inverse(*a);
      EXPECT_LT(test::MaxAbsDifference(test::NaiveProduct(*a, inv), test::Identity(a->Rows())), 1e-13);
      EXPECT_LT(test::MaxAbsDifference(test::NaiveProduct(inv, *a), test::Identity(a->Rows())), 1e-13);
    }
  }
}

TEST(Inverse, OfAnIllConditionedPascalMatrixIsExact) {
  // cond(P12) is about 1e13; the refined inverse is exact (integers).
  MatrixOps ops;
  for (std::int32_t k : {5, 9, 12}) {
    const Matrix inv = ops.Inverse(Pascal(k));
    EXPECT_EQ(test::MaxAbsDifference(inv, PascalInverse(k)), 0.0) << k;
  }
}

TEST(Inverse, OfASymmetricMatrixIsExactlySymmetric) {
  MatrixOps ops;
  const Matrix inv = ops.Inverse(test::RandomSpd(9, 7));
  for (std::int32_t i = 1; i <= 9; ++i)
    for (std::int32_t j = 1; j <= 9; ++j) EXPECT_EQ(inv(i, j), inv(j, i));
}

TEST(Inverse, SingularInputRaisesInsteadOfReturningGarbage) {
  MatrixOps ops;
  const test::Raised exact = ErrorOf([&] { ops.Inverse(FromRows(2, 2, {1, 2, 2, 4})); });
  EXPECT_EQ(exact.number, Support(kSingularMatrix));
  EXPECT_NE(exact.description.find("singular"), std::string::npos);
  EXPECT_EQ(ErrorOf([&] { ops.Inverse(FromRows(2, 2, {1, 2, 0, 0})); }).number, Support(kSingularMatrix));

  // A predictor that is an exact combination of two others: singular only up
  // to the rounding of its cross-products.
  Matrix x = test::RandomMatrix(30, 3, 4, 10.0, 3.0);
  for (std::int32_t i = 1; i <= 30; ++i) x(i, 3) = 0.1 * x(i, 1) + 3.0 * x(i, 2);
  EXPECT_EQ(ErrorOf([&] { ops.Inverse(ops.CrossProducts(x, x)); }).number, Support(kSingularMatrix));
}

TEST(Inverse, RejectsNonSquareNonFiniteAndUnallocatedInput) {
  MatrixOps ops;
  EXPECT_EQ(ErrorOf([&] { ops.Inverse(test::RandomMatrix(3, 2, 1)); }).number, Support(kShapeMismatch));
  Matrix a = test::RandomSpd(3, 1);
  a(2, 3) = INFINITY;
  const test::Raised e = ErrorOf([&] { ops.Inverse(a); });
  EXPECT_EQ(e.number, Support(kNonFiniteValue));
  EXPECT_NE(e.description.find("row 2, column 3"), std::string::npos) << e.description;
  EXPECT_EQ(ErrorOf([&] { ops.Inverse(Matrix{}); }).number, Support(kBadArgument));
}

TEST(Multiply, SmallProductsAreAccumulatedWithoutCancellationLoss) {
  // 1e16 + 1 - 1e16 is 0 in plain double arithmetic.
  MatrixOps ops;
  const Matrix p = ops.Multiply(FromRows(1, 3, {1e16, 1, -1e16}), FromRows(3, 1, {1, 1, 1}));
  EXPECT_EQ(p(1, 1), 1.0);
  const Matrix q = ops.Multiply(FromRows(2, 2, {1, 2, 3, 4}), FromRows(2, 3, {5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(test::MaxAbsDifference(q, FromRows(2, 3, {21, 24, 27, 47, 54, 61})), 0.0);
}

TEST(Multiply, LargeProductsAgreeWithThePlainProduct) {
  MatrixOps ops;
  const Matrix a = test::RandomMatrix(3000, 40, 5);
  const Matrix b = test::RandomMatrix(40, 50, 6);
  EXPECT_LT(test::MaxAbsDifference(ops.Multiply(a, b), test::NaiveProduct(a, b)), 1e-12);
}

TEST(Multiply, RejectsMismatchedShapesAndNamesNonFiniteCells) {
  MatrixOps ops;
  const test::Raised shape = ErrorOf([&] { ops.Multiply(test::RandomMatrix(3, 2, 1), test::RandomMatrix(3, 2, 1)); });
  EXPECT_EQ(shape.number, Support(kShapeMismatch));
  EXPECT_NE(shape.description.find("3 by 2"), std::string::npos);
  Matrix b = test::RandomMatrix(2, 2, 1);
  b(2, 1) = std::nan("");
  const test::Raised nan = ErrorOf([&] { ops.Multiply(test::RandomMatrix(3, 2, 1), b); });
  EXPECT_EQ(nan.number, Support(kNonFiniteValue));
  EXPECT_NE(nan.description.find("second matrix holds NaN at row 2, column 1"), std::string::npos)
      << nan.description;
  EXPECT_EQ(ErrorOf([&] { ops.Multiply(FromRows(1, 1, {1e300}), FromRows(1, 1, {1e300})); }).number,
            Support(kNonFiniteValue));
}

TEST(TransposeAndSubtract, WorkElementByElement) {
  MatrixOps ops;
  const Matrix a = FromRows(2, 3, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(ops.Transpose(a), FromRows(3, 2, {1, 4, 2, 5, 3, 6}));
  EXPECT_EQ(ops.Subtract(a, FromRows(2, 3, {1, 1, 1, 2, 2, 2})), FromRows(2, 3, {0, 1, 2, 2, 3, 4}));
  EXPECT_EQ(ErrorOf([&] { ops.Subtract(a, ops.Transpose(a)); }).number, Support(kShapeMismatch));
}

TEST(SquareRootFactor, IsLowerTriangularWithFactorTimesTransposeEqualToTheMatrix) {
  MatrixOps ops;
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    const Matrix s = test::RandomSpd(7, seed);
    const Matrix f = ops.SquareRootFactor(s);
    for (std::int32_t i = 1; i <= 7; ++i)
      for (std::int32_t j = i + 1; j <= 7; ++j) EXPECT_EQ(f(i, j), 0.0);
    const Matrix ff = test::NaiveProduct(f, test::NaiveTranspose(f));
    for (std::int32_t i = 1; i <= 7; ++i)
      for (std::int32_t j = 1; j <= 7; ++j) EXPECT_NEAR(ff(i, j), s(i, j), 1e-13 * std::fabs(s(i, i)));
  }
}

TEST(SquareRootFactor, RefusesMatricesThatAreNotPositiveDefiniteOrNotSymmetric) {
  MatrixOps ops;
  EXPECT_EQ(ErrorOf([&] { ops.SquareRootFactor(FromRows(2, 2, {1, 2, 2, 1})); }).number,
            Support(kNotPositiveDefinite));
  EXPECT_EQ(ErrorOf([&] { ops.SquareRootFactor(FromRows(2, 2, {0, 0, 0, 1})); }).number,
            Support(kNotPositiveDefinite));
  Matrix x = test::RandomMatrix(20, 3, 9);
  for (std::int32_t i = 1; i <= 20; ++i) x(i, 3) = x(i, 1) - 2.0 * x(i, 2);
  EXPECT_EQ(ErrorOf([&] { ops.SquareRootFactor(ops.CrossProducts(x, x)); }).number, Support(kNotPositiveDefinite));
  EXPECT_EQ(ErrorOf([&] { ops.SquareRootFactor(FromRows(2, 2, {2, 1, 0.5, 2})); }).number, Support(kNotSymmetric));
}

TEST(InverseFactor, WhitensTheMatrix) {
  // B = F^-1 for F F' = S gives B S B' = I, also for an ill-conditioned S.
  MatrixOps ops;
  std::vector<Matrix> cases = {test::RandomSpd(6, 4), Pascal(8)};
  for (const Matrix& s : cases) {
    const Matrix b = ops.InverseFactor(ops.SquareRootFactor(s));
    const Matrix bsb = test::NaiveProduct(test::NaiveProduct(b, s), test::NaiveTranspose(b));
    EXPECT_LT(test::MaxAbsDifference(bsb, test::Identity(s.Rows())), 1e-9);
  }
}

TEST(InverseFactor, HandlesUpperFactorsAndRefusesOthers) {
  MatrixOps ops;
  const Matrix inv = ops.InverseFactor(FromRows(2, 2, {2, 1, 0, 4}));
  EXPECT_EQ(inv, FromRows(2, 2, {0.5, -0.125, 0, 0.25}));
  EXPECT_EQ(ErrorOf([&] { ops.InverseFactor(FromRows(2, 2, {1, 1, 1, 1})); }).number, Support(kBadArgument));
  EXPECT_EQ(ErrorOf([&] { ops.InverseFactor(FromRows(2, 2, {1, 0, 3, 0})); }).number, Support(kSingularMatrix));
}

TEST(Eigen, GivesEigenvaluesAndUnitEigenvectors) {
  MatrixOps ops;
  for (std::uint32_t seed : {3u, 4u}) {
    const Matrix s = test::RandomSpd(6, seed);
    Matrix e = ops.Eigen(s);
    ASSERT_EQ(e.Rows(), 7);
    ASSERT_EQ(e.Cols(), 6);
    for (std::int32_t j = 2; j <= 6; ++j) EXPECT_GE(e(1, j - 1), e(1, j));
    ops.SortEigen(e, 1, 1);
    for (std::int32_t j = 2; j <= 6; ++j) EXPECT_LE(e(1, j - 1), e(1, j));
    for (std::int32_t j = 1; j <= 6; ++j) {
      double norm = 0.0;
      for (std::int32_t i = 2; i <= 7; ++i) norm += e(i, j) * e(i, j);
      EXPECT_NEAR(norm, 1.0, 1e-14);
      for (std::int32_t i = 1; i <= 6; ++i) {  // S v = lambda v
        double sv = 0.0;
        for (std::int32_t l = 1; l <= 6; ++l) sv += s(i, l) * e(l + 1, j);
        EXPECT_NEAR(sv, e(1, j) * e(i + 1, j), 1e-12 * e(1, 6));
      }
      for (std::int32_t k = j + 1; k <= 6; ++k) {
        double dot = 0.0;
        for (std::int32_t i = 2; i <= 7; ++i) dot += e(i, j) * e(i, k);
        EXPECT_NEAR(dot, 0.0, 1e-13);
      }
    }
  }
}

TEST(Eigen, FixesTheSignOfEveryEigenvector) {
  MatrixOps ops;
  // Largest-magnitude component positive.
  const Matrix e = ops.Eigen(test::RandomSpd(5, 8));
  for (std::int32_t j = 1; j <= 5; ++j) {
    std::int32_t largest = 2;
    for (std::int32_t i = 3; i <= 6; ++i)
      if (std::fabs(e(i, j)) > std::fabs(e(largest, j))) largest = i;
    EXPECT_GT(e(largest, j), 0.0);
  }
  // Tied components: the first decides. [[2, 1], [1, 2]] has eigenvectors
  // (1, 1) and (1, -1) over sqrt 2; [[2, -1], [-1, 2]] the same pair.
  for (double off : {1.0, -1.0}) {
    const Matrix t = ops.Eigen(FromRows(2, 2, {2, off, off, 2}));
    for (std::int32_t j = 1; j <= 2; ++j) {
      EXPECT_GT(t(2, j), 0.0);
      EXPECT_NEAR(std::fabs(t(3, j)), std::sqrt(0.5), 1e-15);
    }
  }
  // A negated matrix has the same eigenvectors, so the same signs.
  const Matrix s = test::RandomSpd(4, 9);
  Matrix negated = s;
  for (std::size_t k = 0; k < negated.Size(); ++k) negated.Data()[k] = -negated.Data()[k];
  Matrix a = ops.Eigen(s), b = ops.Eigen(negated);
  ops.SortEigen(a, -1, 1);
  ops.SortEigen(b, 1, 1);
  for (std::int32_t j = 1; j <= 4; ++j)
    for (std::int32_t i = 2; i <= 5; ++i) EXPECT_NEAR(a(i, j), b(i, j), 1e-13);
}

TEST(Eigen, AcceptsRoundingAsymmetryButRefusesANonSymmetricMatrix) {
  MatrixOps ops;
  const Matrix diag = ops.Eigen(FromRows(3, 3, {1, 0, 0, 0, 3, 1e-17, 0, 0, 2}));
  EXPECT_EQ(diag(1, 1), 3.0);
  EXPECT_EQ(diag(1, 2), 2.0);
  EXPECT_EQ(diag(1, 3), 1.0);
  EXPECT_EQ(diag(3, 1), 1.0);
  const test::Raised e = ErrorOf([&] { ops.Eigen(FromRows(2, 2, {1, 2, 3, 4})); });
  EXPECT_EQ(e.number, Support(kNotSymmetric));
  EXPECT_EQ(ErrorOf([&] { ops.Eigen(test::RandomMatrix(2, 3, 1)); }).number, Support(kShapeMismatch));
}

TEST(SortEigen, SortsColumnsStablyByTheGivenRow) {
  MatrixOps ops;
  Matrix e = FromRows(2, 5, {2, 5, 2, 1, 5,  //
                             10, 20, 30, 40, 50});
  ops.SortEigen(e, -1, 1);
  EXPECT_EQ(e, FromRows(2, 5, {5, 5, 2, 2, 1, 20, 50, 10, 30, 40}));
  ops.SortEigen(e, 1, 1);
  EXPECT_EQ(e, FromRows(2, 5, {1, 2, 2, 5, 5, 40, 10, 30, 20, 50}));
  ops.SortEigen(e, -1, 2);
  EXPECT_EQ(e, FromRows(2, 5, {5, 1, 2, 5, 2, 50, 40, 30, 20, 10}));
}

TEST(SortEigen, RefusesBadOrderAndRow) {
  MatrixOps ops;
  Matrix e = FromRows(2, 2, {1, 2, 3, 4});
  EXPECT_EQ(ErrorOf([&] { ops.SortEigen(e, 0, 1); }).number, Support(kBadArgument));
  EXPECT_EQ(ErrorOf([&] { ops.SortEigen(e, -1, 3); }).number, rt::kSubscriptOutOfRange);
  e(1, 2) = std::nan("");
  EXPECT_EQ(ErrorOf([&] { ops.SortEigen(e, -1, 1); }).number, Support(kNonFiniteValue));
}

TEST(SubMatrix, CutsTheBlockAndChecksItsBounds) {
  MatrixOps ops;
  const Matrix m = FromRows(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_EQ(ops.SubMatrix(m, 2, 1, 2, 2), FromRows(2, 2, {2, 3, 5, 6}));
  EXPECT_EQ(ops.SubMatrix(m, 1, 2, 3, 2), FromRows(2, 3, {4, 5, 6, 7, 8, 9}));
  const Matrix none = ops.SubMatrix(m, 1, 2, 0, 2);
  EXPECT_EQ(none.Cols(), 0);
  EXPECT_EQ(none.Rows(), 2);
  EXPECT_EQ(ErrorOf([&] { ops.SubMatrix(m, 2, 2, 2, 3); }).number, rt::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { ops.SubMatrix(m, 0, 1, 1, 1); }).number, rt::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { ops.SubMatrix(m, 1, 1, -1, 1); }).number, rt::kSubscriptOutOfRange);
}

}  // namespace
}  // namespace nml::support
