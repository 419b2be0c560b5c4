// Shared helpers of the engine tests: the example data read from the CSV
// files, the independent reference values, comparisons with tolerances, and
// running one analysis.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <regex>
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
      std::size_t c = 0;
      while (c < names_.size() && names_[c] != name) ++c;
      if (c == names_.size()) throw std::runtime_error("no column " + name);
      picked.push_back(&columns_[c]);
    }
    Matrix m = Array<double>::Matrix(static_cast<std::int32_t>(picked.at(0)->size()),
                                     static_cast<std::int32_t>(picked.size()));
    for (std::int32_t j = 1; j <= m.UBound(2); ++j)
      for (std::int32_t i = 1; i <= m.UBound(1); ++i) m(i, j) = picked[j - 1]->at(i - 1);
    return m;
  }

 private:
  static std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::string cell;
    std::stringstream ss(line);
    while (std::getline(ss, cell, ',')) {
      if (!cell.empty() && cell.back() == '\r') cell.pop_back();
      if (cell.size() >= 2 && cell.front() == '"') cell = cell.substr(1, cell.size() - 2);
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

/// Statistics to 1e-10 relative; probabilities to 1e-9 relative, or 1e-15
/// absolute below 1e-6.
inline constexpr double kStatTol = 1e-10;

inline ::testing::AssertionResult CloseRel(double got, double want, double rel = kStatTol) {
  if (std::isfinite(got) && std::fabs(got - want) <= rel * std::fabs(want) + 1e-15)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << got << ", want " << want;
}

inline ::testing::AssertionResult CloseProb(double got, double want) {
  const bool ok = want < 1e-6 ? std::fabs(got - want) <= 1e-15 : std::fabs(got - want) <= 1e-9 * std::fabs(want);
  if (std::isfinite(got) && ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "probability got " << got << ", want " << want;
}

inline bool IsMarker(const Variant& v) { return v.IsText() && v.Text() == "-"; }
inline bool IsZeroInteger(const Variant& v) { return v.Kind() == VarKind::kInteger && v.AsInteger() == 0; }

/// How a result is compared with the reference: a statistic, a probability,
/// or a canonical quantity whose columns are known up to their sign.
enum class Compare { kStat, kProb, kUpToSign };

/// Element (i, j) of a result array (j = 1 for a vector), as a Variant.
inline Variant At(const Variant& a, std::int32_t i, std::int32_t j) {
  if (a.Kind() == VarKind::kDoubleArray) return a.Doubles().Rank() == 1 ? a.Doubles()(i) : a.Doubles()(i, j);
  return a.Variants().Rank() == 1 ? a.Variants()(i) : a.Variants()(i, j);
}

/// A result vector or matrix against a flat or nested reference list: "-"
/// must be the marker, a number a Double within the tolerance.
inline void ExpectLike(const Variant& got, const json& want, Compare how, const std::string& what) {
  ASSERT_TRUE(got.IsArray()) << what;
  const bool nested = want.at(0).is_array();
  const auto rows = static_cast<std::int32_t>(want.size());
  const auto cols = nested ? static_cast<std::int32_t>(want.at(0).size()) : 1;
  const int rank = got.Kind() == VarKind::kDoubleArray ? got.Doubles().Rank() : got.Variants().Rank();
  ASSERT_EQ(rank, nested ? 2 : 1) << what;
  ASSERT_EQ(got.Kind() == VarKind::kDoubleArray ? got.Doubles().UBound(1) : got.Variants().UBound(1), rows) << what;
  if (nested) {
    ASSERT_EQ(got.Kind() == VarKind::kDoubleArray ? got.Doubles().UBound(2) : got.Variants().UBound(2), cols) << what;
  }
  for (std::int32_t j = 1; j <= cols; ++j) {
    double sign = 1;
    if (how == Compare::kUpToSign) {
      double dot = 0;
      for (std::int32_t i = 1; i <= rows; ++i) dot += At(got, i, j).ToDouble() * want.at(i - 1).at(j - 1).get<double>();
      sign = dot < 0 ? -1 : 1;
    }
    for (std::int32_t i = 1; i <= rows; ++i) {
      const json& w = nested ? want.at(i - 1).at(j - 1) : want.at(i - 1);
      const Variant g = At(got, i, j);
      const std::string where = what + "(" + std::to_string(i) + ", " + std::to_string(j) + ")";
      if (w.is_string()) {
        EXPECT_TRUE(IsMarker(g)) << where << ": want the marker";
      } else if (g.Kind() != VarKind::kDouble) {
        ADD_FAILURE() << where << ": want a Double " << w << ", got kind " << static_cast<int>(g.Kind());
      } else {
        EXPECT_TRUE(how == Compare::kProb ? CloseProb(g.AsDouble(), w.get<double>())
                                          : CloseRel(sign * g.AsDouble(), w.get<double>()))
            << where;
      }
    }
  }
}

/// Columns given one by one.
inline Matrix Cols(std::initializer_list<std::vector<double>> cols) {
  Matrix m = Array<double>::Matrix(static_cast<std::int32_t>(cols.begin()->size()),
                                   static_cast<std::int32_t>(cols.size()));
  std::int32_t j = 1;
  for (const auto& col : cols) {
    for (std::int32_t i = 1; i <= m.UBound(1); ++i) m(i, j) = col[i - 1];
    ++j;
  }
  return m;
}

struct Flags {
  bool descriptives = false, raw = false, standardised = false;
};

/// Gives the engine its data and options and runs it; returns the error it
/// raised (number 0 when none).
inline Error Analyse(clsCorrelationBO& engine, std::int32_t method, const Matrix& x, const Matrix& y = Matrix(),
                 Flags flags = {}) {
  engine.X(x);
  engine.Y(y);
  engine.Method(method);
  engine.CalculateDescriptives(ToVBool(flags.descriptives));
  engine.Raw(ToVBool(flags.raw));
  engine.Standardised(ToVBool(flags.standardised));
  try {
    engine.Analyse();
  } catch (const Error& e) {
    return e;
  }
  return Error(0, "no error");
}

/// The source an error gets on its way out of one analysis routine.
inline ::testing::AssertionResult TrailsThrough(const Error& e, const std::string& routine) {
  if (std::regex_match(e.Source(), std::regex(R"(Line \d+ in NMLCorrelation\.clsCorrelationBO\.)" + routine +
                                              R"(\.Analyse)")))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "source \"" << e.Source() << "\" (error " << e.Number() << ")";
}

}  // namespace nml::test
