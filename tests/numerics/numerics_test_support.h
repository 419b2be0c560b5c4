// Helpers for the numerics tests: the example data sets and their reference
// values, seeded random matrices and plain products to check relations with.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "nmlcorrelation/array.h"

namespace nml::test {

inline std::ifstream OpenData(const std::string& file) {
  std::ifstream in(std::string(NML_TEST_DATA) + "/" + file);
  if (!in) throw std::runtime_error("cannot open " + file);
  return in;
}

/// The named columns of tests/data/<file> (a CSV file whose quoted texts hold
/// no commas) side by side, rows = cases.
inline Matrix LoadColumns(const std::string& file, const std::vector<std::string>& names) {
  std::ifstream in = OpenData(file);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::erase(line, '"');
    std::erase(line, '\r');
    std::stringstream cells(line);
    rows.emplace_back();
    for (std::string cell; std::getline(cells, cell, ',');) rows.back().push_back(cell);
  }
  Matrix m = Array<double>::Matrix(static_cast<std::int32_t>(rows.size() - 1), static_cast<std::int32_t>(names.size()));
  for (std::int32_t j = 1; j <= m.Cols(); ++j) {
    const auto at = std::find(rows[0].begin(), rows[0].end(), names[j - 1]);
    if (at == rows[0].end()) throw std::runtime_error("no column " + names[j - 1] + " in " + file);
    for (std::int32_t i = 1; i <= m.Rows(); ++i) m(i, j) = std::stod(rows[i].at(at - rows[0].begin()));
  }
  return m;
}

inline nlohmann::json LoadReference(const std::string& file) { return nlohmann::json::parse(OpenData(file)); }

/// The first reference case of the given method ("simple", "multiple", ...).
inline nlohmann::json FindCase(const std::string& file, const std::string& method) {
  const nlohmann::json ref = LoadReference(file);
  for (const auto& c : ref.at("cases"))
    if (c.at("method") == method) return c;
  throw std::runtime_error("no " + method + " case in " + file);
}

inline std::vector<std::string> Names(const nlohmann::json& list) { return list.get<std::vector<std::string>>(); }

inline double RelativeError(double actual, double expected) {
  return expected == 0.0 ? std::fabs(actual) : std::fabs(actual - expected) / std::fabs(expected);
}

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

/// Largest |m(i, j) - expected(i, j)| over the matrix.
inline double MaxAbsDifference(const Matrix& m, const Matrix& expected) {
  if (m.Size() != expected.Size()) return INFINITY;
  double worst = 0.0;
  for (std::size_t k = 0; k < m.Size(); ++k) worst = std::max(worst, std::fabs(m.Data()[k] - expected.Data()[k]));
  return worst;
}

inline Matrix Identity(std::int32_t k) {
  Matrix m = Array<double>::Matrix(k, k);
  for (std::int32_t i = 1; i <= k; ++i) m(i, i) = 1.0;
  return m;
}

}  // namespace nml::test
