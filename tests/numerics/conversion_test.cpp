// Value arrays to matrices, joining and one-column forms.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "host/numerics/matrix_ops.h"
#include "numerics_test_support.h"

namespace nml::support {
namespace {

using test::ErrorOf;
using test::Support;

Array<Variant> Cells(std::int32_t rows, std::int32_t cols) {
  Array<Variant> a = Array<Variant>::Matrix(rows, cols);
  for (std::int32_t i = 1; i <= rows; ++i)
    for (std::int32_t j = 1; j <= cols; ++j) a(i, j) = Variant(10.0 * i + j);
  return a;
}

TEST(ToMatrix, ConvertsDoublesIntegersAndLongs) {
  Array<Variant> a = Cells(3, 2);
  a(2, 1) = Variant::Integer(-7);
  a(3, 2) = Variant::Long(100000);
  MatrixOps ops;
  const Matrix m = ops.ToMatrix(Variant(a));
  ASSERT_EQ(m.Rows(), 3);
  ASSERT_EQ(m.Cols(), 2);
  EXPECT_EQ(m(1, 1), 11.0);
  EXPECT_EQ(m(1, 2), 12.0);
  EXPECT_EQ(m(2, 1), -7.0);
  EXPECT_EQ(m(3, 2), 100000.0);
}

TEST(ToMatrix, NamesTheCellThatIsNotANumber) {
  MatrixOps ops;
  struct Case {
    Variant value;
    const char* kind;
  };
  const Case cases[] = {{Variant("abc"), "text \"abc\""},
                        {Variant("5"), "text \"5\""},
                        {Variant::Boolean(true), "Boolean True"},
                        {Variant(), "empty"},
                        {Variant::ErrorValue(2042), "error value 2042"}};
  for (const Case& c : cases) {
    Array<Variant> a = Cells(4, 3);
    a(2, 3) = c.value;
    const test::Raised e = ErrorOf([&] { ops.ToMatrix(Variant(a)); });
    EXPECT_EQ(e.number, Support(kNonNumericValue)) << c.kind;
    EXPECT_NE(e.description.find("row 2, column 3"), std::string::npos) << e.description;
    EXPECT_NE(e.description.find(c.kind), std::string::npos) << e.description;
  }
  Array<Variant> a = Cells(2, 2);
  a(1, 2) = Variant(std::nan(""));
  const test::Raised nan = ErrorOf([&] { ops.ToMatrix(Variant(a)); });
  EXPECT_EQ(nan.number, Support(kNonFiniteValue));
  EXPECT_NE(nan.description.find("row 1, column 2"), std::string::npos) << nan.description;
}

TEST(ToMatrix, TakesScalarsDoubleArraysAndOneDimensionalArrays) {
  MatrixOps ops;
  const Matrix one = ops.ToMatrix(Variant(2.5));
  ASSERT_EQ(one.Rows(), 1);
  EXPECT_EQ(one(1, 1), 2.5);
  EXPECT_EQ(ErrorOf([&] { ops.ToMatrix(Variant("x")); }).number, Support(kNonNumericValue));

  Array<double> v = Array<double>::Vector(3);
  v(1) = 1;
  v(2) = 2;
  v(3) = 3;
  const Matrix column = ops.ToMatrix(Variant(v));
  EXPECT_EQ(column.Rank(), 2);
  EXPECT_EQ(column.Rows(), 3);
  EXPECT_EQ(column(3, 1), 3.0);
  EXPECT_EQ(ErrorOf([&] { ops.ToMatrix(Variant(Array<Variant>())); }).number, Support(kBadArgument));
}

TEST(AppendColumns, PutsTheSecondMatrixAfterTheFirst) {
  MatrixOps ops;
  const Matrix a = test::RandomMatrix(4, 2, 1);
  const Matrix b = test::RandomMatrix(4, 3, 2);
  const Matrix j = ops.AppendColumns(a, b);
  ASSERT_EQ(j.Cols(), 5);
  EXPECT_EQ(j(3, 2), a(3, 2));
  EXPECT_EQ(j(4, 5), b(4, 3));
  EXPECT_EQ(ErrorOf([&] { ops.AppendColumns(a, test::RandomMatrix(5, 1, 1)); }).number, Support(kShapeMismatch));
  Matrix bad = b;
  bad(2, 3) = INFINITY;
  const test::Raised e = ErrorOf([&] { ops.AppendColumns(a, bad); });
  EXPECT_EQ(e.number, Support(kNonFiniteValue));
  EXPECT_NE(e.description.find("second matrix holds an infinity at row 2, column 3"), std::string::npos)
      << e.description;
}

TEST(JoinColumns, PadsTheShorterMatrixWithEmptyCells) {
  MatrixOps ops;
  Array<double> left = Array<double>::Matrix(2, 2);
  left(1, 1) = 1;
  left(2, 2) = 4;
  Array<Variant> right = Array<Variant>::Vector(4);
  right(1) = Variant("-");
  right(4) = Variant(0.5);
  const Variant joined = ops.JoinColumns(Variant(left), Variant(right));
  const Array<Variant>& j = joined.Variants();
  ASSERT_EQ(j.Rows(), 4);
  ASSERT_EQ(j.Cols(), 3);
  EXPECT_EQ(j(1, 1), Variant(1.0));
  EXPECT_EQ(j(2, 2), Variant(4.0));
  EXPECT_TRUE(j(3, 1).IsEmpty());
  EXPECT_TRUE(j(4, 2).IsEmpty());
  EXPECT_EQ(j(1, 3), Variant("-"));
  EXPECT_EQ(j(4, 3), Variant(0.5));

  // Shorter on the right.
  const Variant other = ops.JoinColumns(Variant(right), Variant(left));
  EXPECT_EQ(other.Variants().Rows(), 4);
  EXPECT_TRUE(other.Variants()(3, 2).IsEmpty());
  EXPECT_EQ(ErrorOf([&] { ops.JoinColumns(Variant(Array<double>()), Variant(left)); }).number,
            Support(kBadArgument));
}

TEST(ToColumn, TurnsAOneDimensionalArrayIntoOneColumnOfTheSameKind) {
  MatrixOps ops;
  Array<double> d = Array<double>::Vector(3);
  d(2) = 5;
  const Variant dc = ops.ToColumn(Variant(d));
  ASSERT_EQ(dc.Kind(), VarKind::kDoubleArray);
  EXPECT_EQ(dc.Doubles().Rank(), 2);
  EXPECT_EQ(dc.Doubles().Rows(), 3);
  EXPECT_EQ(dc.Doubles()(2, 1), 5.0);

  Array<Variant> v = Array<Variant>::Vector(2);
  v(1) = Variant("-");
  v(2) = Variant::Integer(0);
  const Variant vc = ops.ToColumn(Variant(v));
  ASSERT_EQ(vc.Kind(), VarKind::kVariantArray);
  EXPECT_EQ(vc.Variants()(1, 1), Variant("-"));
  EXPECT_EQ(vc.Variants()(2, 1), Variant::Integer(0));

  EXPECT_EQ(ErrorOf([&] { ops.ToColumn(Variant(1.0)); }).number, Support(kBadArgument));
  EXPECT_EQ(ErrorOf([&] { ops.ToColumn(Variant(Array<double>::Matrix(2, 2))); }).number, Support(kShapeMismatch));
}

}  // namespace
}  // namespace nml::support
