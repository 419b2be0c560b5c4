// Small results of the matrix operations and value-array conversions, worked
// out by hand.
#include <gtest/gtest.h>

#include "support/numerics/matrix_ops.h"
#include "numerics_test_support.h"

namespace nml::support {
namespace {

using test::FromRows;

Matrix Sorted(Matrix e, std::int32_t order, std::int32_t row) {
  MatrixOps().SortEigen(e, order, row);
  return e;
}

/// A value array from its cells listed row by row; one-dimensional when rows
/// is 0.
Variant CellRows(std::size_t rows, std::size_t cols, const std::vector<Variant>& values) {
  Array<Variant> a = rows ? Array<Variant>::Matrix(static_cast<std::int32_t>(rows), static_cast<std::int32_t>(cols))
                          : Array<Variant>::Vector(static_cast<std::int32_t>(cols));
  for (std::size_t k = 0; k < values.size(); ++k) {
    const std::size_t i = k / cols, j = k % cols;  // stored column by column
    a.Data()[rows ? i + j * rows : j] = values[k];
  }
  return Variant(a);
}

struct Worked {
  const char* what;
  Variant actual;
  Variant expected;
};

TEST(WorkedExamples, MatrixResultsEqualTheValuesWorkedOutByHand) {
  const MatrixOps ops;
  const Matrix a = FromRows(2, 3, {1, 2, 3, 4, 5, 6});
  const Matrix m = FromRows(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  const Matrix e = FromRows(2, 5, {2, 5, 2, 1, 5, 10, 20, 30, 40, 50});  // ties in row 1
  // x = 1..4 shifted by 1e9, y = 2, 4, 5, 9: Sxx = 5, Sxy = 11, Syy = 26.
  const Matrix xy = FromRows(4, 2, {1e9 + 1, 2, 1e9 + 2, 4, 1e9 + 3, 5, 1e9 + 4, 9});
  const Variant cells = CellRows(3, 2, {0.0, 1.5, Variant::Integer(-7), 2.0, 1.0, Variant::Long(100000)});
  Array<double> vector = Array<double>::Vector(3);
  vector(3) = 3;
  // Joined value arrays are padded below the shorter side with empty cells.
  const Variant left = Variant(FromRows(2, 2, {1, 0, 0, 4})), right = CellRows(0, 4, {"-", {}, {}, 0.5});
  const Worked cases[] = {
      {"1e16 + 1 - 1e16, not 0", ops.Multiply(FromRows(1, 3, {1e16, 1, -1e16}), FromRows(3, 1, {1, 1, 1})),
       FromRows(1, 1, {1})},
      {"inverse of an upper factor", ops.InverseFactor(FromRows(2, 2, {2, 1, 0, 4})),
       FromRows(2, 2, {0.5, -0.125, 0, 0.25})},
      {"transpose", ops.Transpose(a), FromRows(3, 2, {1, 4, 2, 5, 3, 6})},
      {"difference", ops.Subtract(a, FromRows(2, 3, {1, 1, 1, 2, 2, 2})), FromRows(2, 3, {0, 1, 2, 2, 3, 4})},
      {"block", ops.SubMatrix(m, 2, 1, 2, 2), FromRows(2, 2, {2, 3, 5, 6})},
      {"full-width block", ops.SubMatrix(m, 1, 2, 3, 2), FromRows(2, 3, {4, 5, 6, 7, 8, 9})},
      {"zero-width block", ops.SubMatrix(m, 1, 2, 0, 2), Array<double>::Matrix(2, 0)},
      {"eigenvalues despite rounding asymmetry",
       ops.SubMatrix(ops.Eigen(FromRows(3, 3, {1, 0, 0, 0, 3, 1e-17, 0, 0, 2})), 1, 1, 3, 2),
       FromRows(2, 3, {3, 2, 1, 0, 0, 1})},
      {"stable descending sort", Sorted(e, -1, 1), FromRows(2, 5, {5, 5, 2, 2, 1, 20, 50, 10, 30, 40})},
      {"stable ascending sort", Sorted(e, 1, 1), FromRows(2, 5, {1, 2, 2, 5, 5, 40, 10, 30, 20, 50})},
      {"sort by row 2", Sorted(e, -1, 2), FromRows(2, 5, {5, 1, 2, 5, 2, 50, 40, 30, 20, 10})},
      {"centred cross-products", ops.CrossProducts(xy, xy), FromRows(2, 2, {5, 11, 11, 26})},
      {"centred cross-products of two matrices",
       ops.CrossProducts(ops.SubMatrix(xy, 1, 1, 1, 4), ops.SubMatrix(xy, 2, 1, 1, 4)), FromRows(1, 1, {11})},
      {"appended columns", ops.AppendColumns(FromRows(2, 1, {1, 2}), FromRows(2, 2, {3, 4, 5, 6})),
       FromRows(2, 3, {1, 3, 4, 2, 5, 6})},
      {"Double, Integer and Long cells", ops.ToMatrix(cells), FromRows(3, 2, {0, 1.5, -7, 2, 1, 100000})},
      {"a scalar value", ops.ToMatrix(Variant(2.5)), FromRows(1, 1, {2.5})},
      {"a 1-D array as a matrix", ops.ToMatrix(Variant(vector)), FromRows(3, 1, {0, 0, 3})},
      {"a 1-D array as a column", ops.ToColumn(Variant(vector)), FromRows(3, 1, {0, 0, 3})},
      {"a 1-D value array stays one as a column", ops.ToColumn(CellRows(0, 2, {"-", Variant::Integer(0)})),
       CellRows(2, 1, {"-", Variant::Integer(0)})},
      {"joined, shorter on the left", ops.JoinColumns(left, right),
       CellRows(4, 3, {1.0, 0.0, "-", 0.0, 4.0, {}, {}, {}, {}, {}, {}, 0.5})},
      {"joined, shorter on the right", ops.JoinColumns(right, left),
       CellRows(4, 3, {"-", 1.0, 0.0, {}, 0.0, 4.0, {}, {}, {}, 0.5, {}, {}})},
  };
  for (const Worked& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
}

}  // namespace
}  // namespace nml::support
