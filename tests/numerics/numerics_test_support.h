// Helpers for the numerics tests: the example data sets, their reference
// values, seeded random matrices and error capture.
#pragma once

#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/support_errors.h"
#include "nmlcorrelation/array.h"
#include "nmlcorrelation/error.h"

namespace nml::test {

/// A CSV data set: the column names of its header and every numeric column.
struct DataSet {
  std::vector<std::string> names;
  std::map<std::string, std::vector<double>> columns;

  /// The named columns side by side, rows = cases.
  Matrix Columns(const std::vector<std::string>& which) const {
    const std::size_t n = columns.at(which.front()).size();
    Matrix m = Array<double>::Matrix(static_cast<std::int32_t>(n), static_cast<std::int32_t>(which.size()));
    for (std::size_t j = 0; j < which.size(); ++j) {
      const std::vector<double>& col = columns.at(which[j]);
      for (std::size_t i = 0; i < n; ++i)
        m(static_cast<std::int32_t>(i + 1), static_cast<std::int32_t>(j + 1)) = col[i];
    }
    return m;
  }
};

inline std::string Unquote(std::string s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

inline std::vector<std::string> SplitCsvLine(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  bool quoted = false;
  for (char ch : line) {
    if (ch == '"') quoted = !quoted;
    if (ch == ',' && !quoted) {
      cells.push_back(cell);
      cell.clear();
    } else if (ch != '\r') {
      cell += ch;
    }
  }
  cells.push_back(cell);
  return cells;
}

/// Loads tests/data/<file>; text columns (such as country names) are skipped.
inline DataSet LoadCsv(const std::string& file) {
  std::ifstream in(std::string(NML_TEST_DATA) + "/" + file);
  if (!in) throw std::runtime_error("cannot open " + file);
  DataSet d;
  std::string line;
  std::getline(in, line);
  for (const std::string& name : SplitCsvLine(line)) d.names.push_back(Unquote(name));
  std::vector<std::vector<std::string>> rows;
  while (std::getline(in, line))
    if (!line.empty()) rows.push_back(SplitCsvLine(line));
  for (std::size_t j = 0; j < d.names.size(); ++j) {
    std::vector<double> values;
    bool numeric = true;
    for (const auto& row : rows) {
      const std::string& cell = row.at(j);
      char* end = nullptr;
      const double v = std::strtod(cell.c_str(), &end);
      if (cell.empty() || *end != '\0') {
        numeric = false;
        break;
      }
      values.push_back(v);
    }
    if (numeric) d.columns[d.names[j]] = values;
  }
  return d;
}

inline nlohmann::json LoadReference(const std::string& file) {
  std::ifstream in(std::string(NML_TEST_DATA) + "/" + file);
  if (!in) throw std::runtime_error("cannot open " + file);
  return nlohmann::json::parse(in);
}

/// The reference case of the given method and variable lists.
inline nlohmann::json FindCase(const nlohmann::json& ref, const std::string& method) {
  for (const auto& c : ref.at("cases"))
    if (c.at("method") == method) return c;
  throw std::runtime_error("no " + method + " case");
}

inline double RelativeError(double actual, double expected) {
  if (expected == 0.0) return std::fabs(actual);
  return std::fabs(actual - expected) / std::fabs(expected);
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

/// A random symmetric positive definite k x k matrix (X'X of random data).
inline Matrix RandomSpd(std::int32_t k, std::uint32_t seed) {
  const Matrix x = RandomMatrix(k + 5, k, seed);
  Matrix s = Array<double>::Matrix(k, k);
  for (std::int32_t i = 1; i <= k; ++i)
    for (std::int32_t j = 1; j <= k; ++j) {
      double sum = 0.0;
      for (std::int32_t r = 1; r <= k + 5; ++r) sum += x(r, i) * x(r, j);
      s(i, j) = sum;
    }
  for (std::int32_t i = 1; i <= k; ++i)
    for (std::int32_t j = 1; j < i; ++j) s(j, i) = s(i, j);
  return s;
}

/// Plain product for checking relations (not the code under test).
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

/// Largest |m(i, j) - expected(i, j)| over the matrix.
inline double MaxAbsDifference(const Matrix& m, const Matrix& expected) {
  double worst = 0.0;
  for (std::size_t k = 0; k < m.Size(); ++k) worst = std::max(worst, std::fabs(m.Data()[k] - expected.Data()[k]));
  return worst;
}

inline Matrix Identity(std::int32_t k) {
  Matrix m = Array<double>::Matrix(k, k);
  for (std::int32_t i = 1; i <= k; ++i) m(i, i) = 1.0;
  return m;
}

/// The error raised by f: its number and description (0 and "" when none).
struct Raised {
  std::int32_t number = 0;
  std::string description;
};

template <class F>
Raised ErrorOf(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return Raised{e.Number(), e.Description()};
  }
  return Raised{};
}

/// The number raised for a support-library code.
inline std::int32_t Support(std::int32_t code) { return ComponentError(code); }

}  // namespace nml::test
