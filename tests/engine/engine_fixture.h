// Shared helpers of the engine tests: the example data read from the CSV
// files, the independent reference values, and comparisons with tolerances.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/cls_correlation_bo.h"
#include "nmlcorrelation/array.h"
#include "nmlcorrelation/error.h"
#include "nmlcorrelation/variant.h"

namespace nml::test {

using nlohmann::json;

/// The numeric columns of a CSV file with a header row of (quoted) names.
class CsvData {
 public:
  explicit CsvData(const std::string& file) {
    std::ifstream in(std::string(NML_TEST_DATA) + "/" + file);
    if (!in) throw std::runtime_error("cannot open " + file);
    std::string line;
    std::getline(in, line);
    names_ = Split(line);
    columns_.resize(names_.size());
    while (std::getline(in, line)) {
      if (line.empty()) continue;
      const auto cells = Split(line);
      for (std::size_t c = 0; c < cells.size() && c < names_.size(); ++c) {
        char* end = nullptr;
        const double v = std::strtod(cells[c].c_str(), &end);
        if (end != cells[c].c_str() && *end == '\0') columns_[c].push_back(v);
      }
    }
  }

  /// The named columns side by side, rows = cases.
  Matrix Columns(const std::vector<std::string>& names) const {
    std::vector<const std::vector<double>*> picked;
    for (const auto& name : names) {
      bool found = false;
      for (std::size_t c = 0; c < names_.size(); ++c)
        if (names_[c] == name) {
          picked.push_back(&columns_[c]);
          found = true;
        }
      if (!found) throw std::runtime_error("no column " + name);
    }
    const auto rows = static_cast<std::int32_t>(picked.empty() ? 0 : picked.front()->size());
    Matrix m = Array<double>::Matrix(rows, static_cast<std::int32_t>(picked.size()));
    for (std::int32_t j = 1; j <= m.UBound(2); ++j)
      for (std::int32_t i = 1; i <= rows; ++i) m(i, j) = (*picked[j - 1])[i - 1];
    return m;
  }

 private:
  static std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::string cell;
    std::stringstream ss(line);
    while (std::getline(ss, cell, ',')) {
      if (!cell.empty() && cell.back() == '\r') cell.pop_back();
      if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') cell = cell.substr(1, cell.size() - 2);
      out.push_back(cell);
    }
    return out;
  }

  std::vector<std::string> names_;
  std::vector<std::vector<double>> columns_;
};

inline json LoadReference(const std::string& name) {
  std::ifstream in(std::string(NML_TEST_DATA) + "/" + name + ".json");
  if (!in) throw std::runtime_error("cannot open " + name + ".json");
  return json::parse(in);
}

/// The reference cases of one data set that use the given method.
inline std::vector<json> CasesOf(const json& reference, const std::string& method) {
  std::vector<json> out;
  for (const auto& c : reference.at("cases"))
    if (c.at("method") == method) out.push_back(c);
  return out;
}

/// Tolerances: statistics to 1e-10 relative; probabilities to 1e-9 relative,
/// or 1e-15 absolute below 1e-6.
inline constexpr double kStatTol = 1e-10;

inline ::testing::AssertionResult CloseRel(double got, double want, double rel = kStatTol) {
  if (std::isfinite(got) && std::fabs(got - want) <= rel * std::fabs(want) + 1e-15)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << got << ", want " << want << " (relative "
                                       << std::fabs(got - want) / std::fabs(want) << ")";
}

inline ::testing::AssertionResult CloseProb(double got, double want) {
  const bool ok = want < 1e-6 ? std::fabs(got - want) <= 1e-15 : std::fabs(got - want) <= 1e-9 * std::fabs(want);
  if (std::isfinite(got) && ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "probability got " << got << ", want " << want;
}

inline bool IsMarker(const Variant& v) { return v.IsText() && v.Text() == "-"; }
inline bool IsZeroInteger(const Variant& v) { return v.Kind() == VarKind::kInteger && v.AsInteger() == 0; }

/// A result cell against a reference cell: "-" must be the marker, a number a
/// Double within the tolerance.
inline ::testing::AssertionResult CellMatches(const Variant& got, const json& want, bool probability) {
  if (want.is_string()) {
    if (IsMarker(got)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "want the marker, got kind " << static_cast<int>(got.Kind());
  }
  if (got.Kind() != VarKind::kDouble)
    return ::testing::AssertionFailure() << "want a Double " << want << ", got kind " << static_cast<int>(got.Kind());
  return probability ? CloseProb(got.AsDouble(), want.get<double>()) : CloseRel(got.AsDouble(), want.get<double>());
}

/// A square Variant matrix against a nested reference list.
inline void ExpectVariantMatrix(const Variant& got, const json& want, bool probability, const std::string& what) {
  const Array<Variant>& a = got.Variants();
  ASSERT_EQ(a.UBound(1), static_cast<std::int32_t>(want.size())) << what;
  ASSERT_EQ(a.UBound(2), static_cast<std::int32_t>(want.at(0).size())) << what;
  for (std::int32_t i = 1; i <= a.UBound(1); ++i)
    for (std::int32_t j = 1; j <= a.UBound(2); ++j)
      EXPECT_TRUE(CellMatches(a(i, j), want.at(i - 1).at(j - 1), probability)) << what << "(" << i << ", " << j << ")";
}

inline void ExpectDoubleMatrix(const Matrix& got, const json& want, const std::string& what,
                               double rel = kStatTol) {
  ASSERT_EQ(got.UBound(1), static_cast<std::int32_t>(want.size())) << what;
  ASSERT_EQ(got.UBound(2), static_cast<std::int32_t>(want.at(0).size())) << what;
  for (std::int32_t i = 1; i <= got.UBound(1); ++i)
    for (std::int32_t j = 1; j <= got.UBound(2); ++j)
      EXPECT_TRUE(CloseRel(got(i, j), want.at(i - 1).at(j - 1).get<double>(), rel)) << what << "(" << i << ", " << j << ")";
}

/// Columns compared up to the sign of each (the sign of a canonical variate
/// is arbitrary).
inline void ExpectColumnsUpToSign(const Matrix& got, const json& want, const std::string& what,
                                  double rel = kStatTol) {
  ASSERT_EQ(got.UBound(1), static_cast<std::int32_t>(want.size())) << what;
  ASSERT_EQ(got.UBound(2), static_cast<std::int32_t>(want.at(0).size())) << what;
  for (std::int32_t j = 1; j <= got.UBound(2); ++j) {
    double dot = 0;
    for (std::int32_t i = 1; i <= got.UBound(1); ++i) dot += got(i, j) * want.at(i - 1).at(j - 1).get<double>();
    const double sign = dot < 0 ? -1.0 : 1.0;
    for (std::int32_t i = 1; i <= got.UBound(1); ++i)
      EXPECT_TRUE(CloseRel(sign * got(i, j), want.at(i - 1).at(j - 1).get<double>(), rel))
          << what << "(" << i << ", " << j << ")";
  }
}

inline void ExpectVector(const Array<double>& got, const json& want, const std::string& what, double rel = kStatTol) {
  ASSERT_EQ(got.UBound(1), static_cast<std::int32_t>(want.size())) << what;
  for (std::int32_t i = 1; i <= got.UBound(1); ++i)
    EXPECT_TRUE(CloseRel(got(i), want.at(i - 1).get<double>(), rel)) << what << "(" << i << ")";
}

/// A matrix written row by row.
inline Matrix Rows(std::initializer_list<std::initializer_list<double>> rows) {
  const auto r = static_cast<std::int32_t>(rows.size());
  const auto c = static_cast<std::int32_t>(rows.begin()->size());
  Matrix m = Array<double>::Matrix(r, c);
  std::int32_t i = 1;
  for (const auto& row : rows) {
    std::int32_t j = 1;
    for (double v : row) m(i, j++) = v;
    ++i;
  }
  return m;
}

/// Columns given one by one.
inline Matrix Cols(std::initializer_list<std::vector<double>> cols) {
  const auto c = static_cast<std::int32_t>(cols.size());
  const auto r = static_cast<std::int32_t>(cols.begin()->size());
  Matrix m = Array<double>::Matrix(r, c);
  std::int32_t j = 1;
  for (const auto& col : cols) {
    for (std::int32_t i = 1; i <= r; ++i) m(i, j) = col[i - 1];
    ++j;
  }
  return m;
}

/// Runs the engine and returns the error it raised (number 0 when none).
inline Error RunExpectingError(clsCorrelationBO& engine) {
  try {
    engine.Analyse();
  } catch (const Error& e) {
    return e;
  }
  return Error(0, "no error");
}

/// True when every Double held by a variant (recursively through arrays) is finite.
inline bool AllFinite(const Variant& v) {
  switch (v.Kind()) {
    case VarKind::kDouble: return std::isfinite(v.AsDouble());
    case VarKind::kDoubleArray: {
      const auto& a = v.Doubles();
      for (std::size_t i = 0; i < a.Size(); ++i)
        if (!std::isfinite(a.Data()[i])) return false;
      return true;
    }
    case VarKind::kVariantArray: {
      const auto& a = v.Variants();
      for (std::size_t i = 0; i < a.Size(); ++i)
        if (!AllFinite(a.Data()[i])) return false;
      return true;
    }
    default: return true;
  }
}

inline bool AllFinite(const Matrix& m) { return AllFinite(Variant(m)); }

}  // namespace nml::test
