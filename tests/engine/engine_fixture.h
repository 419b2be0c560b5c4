// Shared helpers of the engine tests: results compared with reference lists,
// and running one analysis.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/cls_correlation_bo.h"
#include "support/test_data.h"
#include "support/tolerance.h"
#include "nmlcorrelation/array.h"
#include "nmlcorrelation/error.h"
#include "nmlcorrelation/variant.h"

namespace nml::test {

using nlohmann::json;

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
inline void ExpectLike(const Variant& got, const json& want, Compare how, const std::string& what,
                       double rel = kStatTol) {
  ASSERT_TRUE(got.IsArray()) << what;
  const bool nested = want.at(0).is_array();
  const auto rows = static_cast<std::int32_t>(want.size());
  const auto cols = nested ? static_cast<std::int32_t>(want.at(0).size()) : 1;
  const bool doubles = got.Kind() == VarKind::kDoubleArray;
  ASSERT_EQ(doubles ? got.Doubles().Rank() : got.Variants().Rank(), nested ? 2 : 1) << what;
  auto bound = [&](int d) { return doubles ? got.Doubles().UBound(d) : got.Variants().UBound(d); };
  ASSERT_EQ(bound(1), rows) << what;
  ASSERT_EQ(nested ? bound(2) : 1, cols) << what;
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
                                          : CloseRel(sign * g.AsDouble(), w.get<double>(), rel))
            << where;
      }
    }
  }
}

/// Columns given one by one.
inline Matrix Cols(std::initializer_list<std::vector<double>> cols) {
  Matrix m = Array<double>::Matrix(static_cast<std::int32_t>(cols.begin()->size()),
                                   static_cast<std::int32_t>(cols.size()));
  for (std::int32_t j = 1; j <= m.UBound(2); ++j)
    for (std::int32_t i = 1; i <= m.UBound(1); ++i) m(i, j) = cols.begin()[j - 1][i - 1];
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
