// Bad input to the matrix operations and the t distribution: every case
// raises its numbered error, with a description naming what went wrong,
// instead of returning garbage.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "support/support_errors.h"
#include "support/numerics/distributions.h"
#include "support/numerics/matrix_ops.h"
#include "nmlcorrelation/error.h"
#include "numerics_test_support.h"

namespace nml::support {
namespace {

using namespace test;

// The cross-products of n x 3 data whose third column is a * first + b * second.
Matrix CollinearCrossProducts(std::int32_t n, std::uint32_t seed, double a, double b) {
  Matrix x = RandomMatrix(n, 3, seed, 10.0, 3.0);
  for (std::int32_t i = 1; i <= n; ++i) x(i, 3) = a * x(i, 1) + b * x(i, 2);
  return MatrixOps().CrossProducts(x, x);
}

Matrix With(Matrix m, std::int32_t row, std::int32_t col, double value) {
  m(row, col) = value;
  return m;
}

// A 4 x 3 value array of numbers whose cell (2, 3) is `cell`.
Variant CellsWith(const Variant& cell) {
  Array<Variant> a = Array<Variant>::Matrix(4, 3);
  for (std::size_t k = 0; k < a.Size(); ++k) a.Data()[k] = Variant(static_cast<double>(k));
  a(2, 3) = cell;
  return Variant(a);
}

struct BadInput {
  const char* what;
  std::int32_t code;     // a support-library code, or the runtime's 9
  const char* fragment;  // part of the description, "" when any will do
  std::function<void()> call;
};

TEST(BadInput, RaisesItsNumberedErrorNamingTheFault) {
  const MatrixOps ops;
  const Distributions dist;
  const Matrix m3 = FromRows(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  Matrix e = FromRows(2, 2, {1, 2, 3, 4});
  Matrix eNaN = With(e, 1, 2, NAN);
  Array<double> means, sds, ses, ns;
  const std::vector<BadInput> cases = {
      {"singular", kSingularMatrix, "singular", [&] { ops.Inverse(FromRows(2, 2, {1, 2, 2, 4})); }},
      {"singular up to rounding", kSingularMatrix, "", [&] { ops.Inverse(CollinearCrossProducts(30, 4, 0.1, 3)); }},
      {"non-square inverse", kShapeMismatch, "", [&] { ops.Inverse(RandomMatrix(3, 2, 1)); }},
      {"product shapes", kShapeMismatch, "3 by 2", [&] { ops.Multiply(RandomMatrix(3, 2, 1), RandomMatrix(3, 2, 1)); }},
      {"NaN factor", kNonFiniteValue, "second matrix holds NaN at row 2, column 1",
       [&] { ops.Multiply(RandomMatrix(3, 2, 1), With(RandomMatrix(2, 2, 1), 2, 1, NAN)); }},
      {"overflowing product", kNonFiniteValue, "",
       [&] { ops.Multiply(FromRows(1, 1, {1e300}), FromRows(1, 1, {1e300})); }},
      {"difference shapes", kShapeMismatch, "", [&] { ops.Subtract(RandomMatrix(2, 3, 1), RandomMatrix(3, 2, 1)); }},
      {"indefinite", kNotPositiveDefinite, "", [&] { ops.SquareRootFactor(FromRows(2, 2, {1, 2, 2, 1})); }},
      {"semidefinite up to rounding", kNotPositiveDefinite, "",
       [&] { ops.SquareRootFactor(CollinearCrossProducts(20, 9, 1, -2)); }},
      {"non-symmetric factor input", kNotSymmetric, "", [&] { ops.SquareRootFactor(FromRows(2, 2, {2, 1, 0.5, 2})); }},
      {"non-triangular factor", kBadArgument, "", [&] { ops.InverseFactor(FromRows(2, 2, {1, 1, 1, 1})); }},
      {"zero pivot in factor", kSingularMatrix, "", [&] { ops.InverseFactor(FromRows(2, 2, {1, 0, 3, 0})); }},
      {"non-symmetric eigen input", kNotSymmetric, "", [&] { ops.Eigen(FromRows(2, 2, {1, 2, 3, 4})); }},
      {"non-square eigen input", kShapeMismatch, "", [&] { ops.Eigen(RandomMatrix(2, 3, 1)); }},
      {"sort order 0", kBadArgument, "", [&] { ops.SortEigen(e, 0, 1); }},
      {"sort row outside", rt::kSubscriptOutOfRange, "", [&] { ops.SortEigen(e, -1, 3); }},
      {"sort key NaN", kNonFiniteValue, "", [&] { ops.SortEigen(eNaN, -1, 1); }},
      {"block too tall", rt::kSubscriptOutOfRange, "", [&] { ops.SubMatrix(m3, 2, 2, 2, 3); }},
      {"negative width", rt::kSubscriptOutOfRange, "", [&] { ops.SubMatrix(m3, 1, 1, -1, 1); }},
      {"one case", kTooFewCases, "", [&] { ops.CorrelationMatrix(RandomMatrix(1, 3, 1), 0); }},
      {"one case for descriptives", kTooFewCases, "",
       [&] { ops.ColumnDescriptives(RandomMatrix(1, 4, 1), means, sds, ses, ns); }},
      {"NaN datum past the pilot rows of descriptives", kNonFiniteValue, "row 7000, column 2",
       [&] { ops.ColumnDescriptives(With(RandomMatrix(8000, 3, 2), 7000, 2, NAN), means, sds, ses, ns); }},
      {"NaN datum", kNonFiniteValue, "row 3, column 2",
       [&] { ops.CorrelationMatrix(With(RandomMatrix(8, 3, 2), 3, 2, NAN), 0); }},
      {"infinity on the blocked path", kNonFiniteValue, "row 19999, column 40",
       [&] { ops.CorrelationMatrix(With(RandomMatrix(20000, 40, 3), 19999, 40, -INFINITY), 0); }},
      {"unallocated data", kBadArgument, "", [&] { ops.CorrelationMatrix(Matrix{}, 0); }},
      {"cross-correlation rows", kShapeMismatch, "",
       [&] { ops.CrossCorrelations(RandomMatrix(12, 2, 4), RandomMatrix(11, 1, 4)); }},
      {"cross-product rows", kShapeMismatch, "5 by 2",
       [&] { ops.CrossProducts(RandomMatrix(5, 2, 1), RandomMatrix(6, 2, 1)); }},
      {"appended rows", kShapeMismatch, "", [&] { ops.AppendColumns(RandomMatrix(4, 2, 1), RandomMatrix(5, 1, 1)); }},
      {"appended infinity", kNonFiniteValue, "second matrix holds an infinity at row 2, column 3",
       [&] { ops.AppendColumns(RandomMatrix(4, 2, 1), With(RandomMatrix(4, 3, 2), 2, 3, INFINITY)); }},
      {"text", kNonNumericValue, "row 2, column 3 is not a number (the text \"abc\")",
       [&] { ops.ToMatrix(CellsWith(Variant("abc"))); }},
      {"numeric text", kNonNumericValue, "(the text \"5\")", [&] { ops.ToMatrix(CellsWith(Variant("5"))); }},
      {"Boolean", kNonNumericValue, "(the Boolean True)", [&] { ops.ToMatrix(CellsWith(Variant::Boolean(true))); }},
      {"empty", kNonNumericValue, "(an empty cell)", [&] { ops.ToMatrix(CellsWith(Variant())); }},
      {"error value", kNonNumericValue, "(the error value 2042)",
       [&] { ops.ToMatrix(CellsWith(Variant::ErrorValue(2042))); }},
      {"NaN cell", kNonFiniteValue, "row 2, column 3", [&] { ops.ToMatrix(CellsWith(Variant(NAN))); }},
      {"unallocated value array", kBadArgument, "", [&] { ops.ToMatrix(Variant(Array<Variant>())); }},
      {"unallocated join", kBadArgument, "", [&] { ops.JoinColumns(Variant(Array<double>()), Variant(1.0)); }},
      {"scalar to column", kBadArgument, "", [&] { ops.ToColumn(Variant(1.0)); }},
      {"two columns to column", kShapeMismatch, "", [&] { ops.ToColumn(Variant(Array<double>::Matrix(2, 2))); }},
      {"df 0", kBadArgument, "", [&] { dist.TProbability(1.0, 0, 2); }},
      {"negative t", kBadArgument, "", [&] { dist.TProbability(-0.5, 10, 2); }},
      {"NaN t", kBadArgument, "", [&] { dist.TProbability(NAN, 10, 2); }},
      {"three tails", kBadArgument, "tails", [&] { dist.TProbability(1.0, 10, 3); }},
  };
  for (const BadInput& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.what << ": no error";
    } catch (const Error& err) {
      EXPECT_EQ(err.Number(), c.code == rt::kSubscriptOutOfRange ? c.code : ComponentError(c.code)) << c.what;
      EXPECT_NE(err.Description().find(c.fragment), std::string::npos) << c.what << ": " << err.Description();
    }
  }
  EXPECT_FALSE(means.Allocated()) << "descriptives of too few cases must leave the arrays as they were";
}

}  // namespace
}  // namespace nml::support
