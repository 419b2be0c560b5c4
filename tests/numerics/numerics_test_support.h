// Helpers for the numerics tests: seeded random matrices and plain products
// to check relations with.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "nmlcorrelation/array.h"
#include "support/tolerance.h"

namespace nml::test {

/// A matrix from its elements listed row by row.
inline Matrix FromRows(std::int32_t rows, std::int32_t cols, const std::vector<double>& values) {
  Matrix m = Array<double>::Matrix(rows, cols);
  for (std::int32_t i = 1; i <= rows; ++i)
    for (std::int32_t j = 1; j <= cols; ++j) m(i, j) = values.at(static_cast<std::size_t>((i - 1) * cols + j - 1));
  return m;
}

/// A rows x cols matrix of normal deviates from a fixed seed.
inline Matrix RandomMatrix(std::int32_t rows, std::int32_t cols, std::uint32_t seed, double mean = 0.0,
                           double sd = 1.0) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> dist(mean, sd);
  Matrix m = Array<double>::Matrix(rows, cols);
  for (std::size_t k = 0; k < m.Size(); ++k) m.Data()[k] = dist(gen);
  return m;
}

/// Plain product and transpose for checking relations (not the code under
/// test); the product is accumulated in long double.
inline Matrix NaiveProduct(const Matrix& a, const Matrix& b) {
  Matrix c = Array<double>::Matrix(a.Rows(), b.Cols());
  for (std::int32_t i = 1; i <= a.Rows(); ++i)
    for (std::int32_t j = 1; j <= b.Cols(); ++j) {
      long double sum = 0;
      for (std::int32_t l = 1; l <= a.Cols(); ++l) sum += static_cast<long double>(a(i, l)) * b(l, j);
      c(i, j) = static_cast<double>(sum);
    }
  return c;
}
inline Matrix NaiveTranspose(const Matrix& a) {
  Matrix t = Array<double>::Matrix(a.Cols(), a.Rows());
  for (std::int32_t i = 1; i <= a.Rows(); ++i)
    for (std::int32_t j = 1; j <= a.Cols(); ++j) t(j, i) = a(i, j);
  return t;
}

/// A random symmetric positive definite k x k matrix: X'X of random data,
/// exactly symmetric (the same products summed in the same order).
inline Matrix RandomSpd(std::int32_t k, std::uint32_t seed) {
  const Matrix x = RandomMatrix(k + 5, k, seed);
  return NaiveProduct(NaiveTranspose(x), x);
}

/// Largest |m(i, j) - expected(i, j)| over the matrix; infinite when the
/// shapes differ or an element is NaN.
inline double MaxAbsDifference(const Matrix& m, const Matrix& expected) {
  if (m.Rows() != expected.Rows() || m.Cols() != expected.Cols()) return INFINITY;
  double worst = 0.0;
  for (std::size_t k = 0; k < m.Size(); ++k) {
    const double d = std::fabs(m.Data()[k] - expected.Data()[k]);
    worst = std::max(worst, std::isnan(d) ? INFINITY : d);
  }
  return worst;
}

inline Matrix Identity(std::int32_t k) {
  Matrix m = Array<double>::Matrix(k, k);
  for (std::int32_t i = 1; i <= k; ++i) m(i, i) = 1.0;
  return m;
}

}  // namespace nml::test
