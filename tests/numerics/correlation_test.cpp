// Descriptive statistics, cross-products and correlations against the
// reference values of the example data sets and values worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "host/numerics/matrix_ops.h"
#include "numerics_test_support.h"

namespace nml::support {
namespace {

using test::ErrorOf;
using test::Support;

struct Reference {
  const char* data;
  const char* json;
};

const Reference kSets[] = {{"iris.csv", "iris.json"}, {"longley.csv", "longley.json"}, {"savings.csv", "savings.json"}};

TEST(CorrelationMatrix, MatchesReferenceOfEveryDataSet) {
  for (const Reference& set : kSets) {
    const test::DataSet data = test::LoadCsv(set.data);
    const nlohmann::json ref = test::FindCase(test::LoadReference(set.json), "simple");
    const auto names = ref.at("x").get<std::vector<std::string>>();
    MatrixOps ops;
    const Matrix r = ops.CorrelationMatrix(data.Columns(names), 0);
    const std::int32_t k = static_cast<std::int32_t>(names.size());
    ASSERT_EQ(r.Rows(), k);
    ASSERT_EQ(r.Cols(), k);
    for (std::int32_t i = 1; i <= k; ++i)
      for (std::int32_t j = 1; j <= k; ++j)
        EXPECT_LT(test::RelativeError(r(i, j), ref.at("R")[i - 1][j - 1].get<double>()), 1e-12)
            << set.data << " (" << i << ", " << j << ")";
  }
}

TEST(CorrelationMatrix, DiagonalIsOneAndMatrixExactlySymmetricWithinBounds) {
  // Columns of very different scale and offset, some nearly proportional.
  Matrix x = test::RandomMatrix(60, 6, 21, 1e6, 1e-3);
  for (std::int32_t i = 1; i <= 60; ++i) {
    x(i, 2) = 3.0 * x(i, 1) + 1e-12 * i;
    x(i, 3) = -x(i, 1);
  }
  MatrixOps ops;
  const Matrix r = ops.CorrelationMatrix(x, 0);
  for (std::int32_t i = 1; i <= 6; ++i) {
    EXPECT_EQ(r(i, i), 1.0);
    for (std::int32_t j = 1; j <= 6; ++j) {
      EXPECT_EQ(r(i, j), r(j, i));
      EXPECT_LE(std::fabs(r(i, j)), 1.0);
    }
  }
  EXPECT_EQ(r(1, 3), -1.0);
}

TEST(CorrelationMatrix, ConstantColumnCorrelatesZero) {
  Matrix x = test::RandomMatrix(10, 3, 5);
  for (std::int32_t i = 1; i <= 10; ++i) x(i, 2) = 0.1;  // 0.1 is not exact in binary
  MatrixOps ops;
  const Matrix r = ops.CorrelationMatrix(x, 0);
  EXPECT_EQ(r(2, 2), 1.0);
  EXPECT_EQ(r(1, 2), 0.0);
  EXPECT_EQ(r(2, 3), 0.0);
  EXPECT_EQ(r(3, 2), 0.0);
  EXPECT_TRUE(std::isfinite(r(1, 3)));
}

TEST(CorrelationMatrix, IdenticalColumnsCorrelateOne) {
  Matrix x = test::RandomMatrix(25, 2, 8, 50.0, 7.0);
  for (std::int32_t i = 1; i <= 25; ++i) x(i, 2) = x(i, 1);
  MatrixOps ops;
  EXPECT_EQ(ops.CorrelationMatrix(x, 0)(1, 2), 1.0);
}

TEST(CorrelationMatrix, LargeDataTakesTheBlockedPathWithTheSameAccuracy) {
  // 30,000 cases by 40 variables exceeds the error-free path; a large common
  // offset tests the centring, a trend in column 1 the pilot centre.
  const std::int32_t n = 30000, k = 40;
  Matrix x = test::RandomMatrix(n, k, 31, 1e4, 0.5);
  for (std::int32_t i = 1; i <= n; ++i) {
    x(i, 1) = 1e-3 * i;  // sorted: the first block's mean is far from the mean
    x(i, 2) += 0.5 * x(i, 3);
  }
  MatrixOps ops;
  const Matrix r = ops.CorrelationMatrix(x, 0);
  // Independent reference in long double, two passes.
  auto corr = [&](std::int32_t a, std::int32_t b) {
    long double ma = 0, mb = 0;
    for (std::int32_t i = 1; i <= n; ++i) {
      ma += x(i, a);
      mb += x(i, b);
    }
    ma /= n;
    mb /= n;
    long double sab = 0, saa = 0, sbb = 0;
    for (std::int32_t i = 1; i <= n; ++i) {
      const long double da = x(i, a) - ma, db = x(i, b) - mb;
      sab += da * db;
      saa += da * da;
      sbb += db * db;
    }
    return static_cast<double>(sab / std::sqrt(saa * sbb));
  };
  for (auto [a, b] : std::vector<std::pair<int, int>>{{1, 2}, {2, 3}, {1, 40}, {17, 23}, {3, 39}})
    EXPECT_LT(std::fabs(r(a, b) - corr(a, b)), 1e-13) << a << ", " << b;
  for (std::int32_t i = 1; i <= k; ++i) EXPECT_EQ(r(i, i), 1.0);
}

TEST(CorrelationMatrix, RejectsTooFewCasesNonFiniteValuesAndUnallocatedInput) {
  MatrixOps ops;
  EXPECT_EQ(ErrorOf([&] { ops.CorrelationMatrix(test::RandomMatrix(1, 3, 1), 0); }).number,
            Support(kTooFewCases));
  Matrix x = test::RandomMatrix(8, 3, 2);
  x(3, 2) = std::nan("");
  const test::Raised e = ErrorOf([&] { ops.CorrelationMatrix(x, 0); });
  EXPECT_EQ(e.number, Support(kNonFiniteValue));
  EXPECT_NE(e.description.find("row 3, column 2"), std::string::npos) << e.description;
  EXPECT_EQ(ErrorOf([&] { ops.CorrelationMatrix(Matrix{}, 0); }).number, Support(kBadArgument));

  Matrix big = test::RandomMatrix(20000, 40, 3);
  big(19999, 40) = -INFINITY;
  const test::Raised eb = ErrorOf([&] { ops.CorrelationMatrix(big, 0); });
  EXPECT_EQ(eb.number, Support(kNonFiniteValue));
  EXPECT_NE(eb.description.find("row 19999, column 40"), std::string::npos) << eb.description;
}

TEST(CrossCorrelations, EqualTheBlockOfTheJoinedCorrelationMatrix) {
  const test::DataSet iris = test::LoadCsv("iris.csv");
  const nlohmann::json ref = test::FindCase(test::LoadReference("iris.json"), "simple");
  MatrixOps ops;
  const Matrix r = ops.CrossCorrelations(iris.Columns({"Sepal.Length", "Sepal.Width"}),
                                         iris.Columns({"Petal.Length", "Petal.Width", "Sepal.Length"}));
  ASSERT_EQ(r.Rows(), 2);
  ASSERT_EQ(r.Cols(), 3);
  for (std::int32_t i = 1; i <= 2; ++i)
    for (std::int32_t j = 1; j <= 2; ++j)
      EXPECT_LT(test::RelativeError(r(i, j), ref.at("R")[i - 1][j + 1].get<double>()), 1e-12);
  EXPECT_EQ(r(1, 3), 1.0);
  EXPECT_LT(test::RelativeError(r(2, 3), ref.at("R")[1][0].get<double>()), 1e-12);
}

TEST(CrossCorrelations, ConstantColumnGivesZeroAndRowCountsMustAgree) {
  Matrix a = test::RandomMatrix(12, 2, 4);
  Matrix b = Array<double>::Matrix(12, 1);
  for (std::int32_t i = 1; i <= 12; ++i) b(i, 1) = 7.0;
  MatrixOps ops;
  const Matrix r = ops.CrossCorrelations(a, b);
  EXPECT_EQ(r(1, 1), 0.0);
  EXPECT_EQ(r(2, 1), 0.0);
  EXPECT_EQ(ErrorOf([&] { ops.CrossCorrelations(a, test::RandomMatrix(11, 1, 4)); }).number,
            Support(kShapeMismatch));
}

TEST(CrossProducts, CentredSumsWorkedOutByHand) {
  Matrix x = Array<double>::Matrix(4, 2);
  const double xs[] = {1, 2, 3, 4}, ys[] = {2, 4, 5, 9};
  for (std::int32_t i = 1; i <= 4; ++i) {
    x(i, 1) = xs[i - 1] + 1e9;  // the offset must not matter
    x(i, 2) = ys[i - 1];
  }
  MatrixOps ops;
  const Matrix s = ops.CrossProducts(x, x);
  EXPECT_EQ(s(1, 1), 5.0);
  EXPECT_EQ(s(1, 2), 11.0);
  EXPECT_EQ(s(2, 1), 11.0);
  EXPECT_EQ(s(2, 2), 26.0);
  const Matrix sxy = ops.CrossProducts(ops.SubMatrix(x, 1, 1, 1, 4), ops.SubMatrix(x, 2, 1, 1, 4));
  ASSERT_EQ(sxy.Rows(), 1);
  EXPECT_EQ(sxy(1, 1), 11.0);
}

TEST(CrossProducts, DiagonalIsNMinusOneTimesTheReferenceVariance) {
  const test::DataSet longley = test::LoadCsv("longley.csv");
  const nlohmann::json ref = test::FindCase(test::LoadReference("longley.json"), "simple");
  const auto names = ref.at("x").get<std::vector<std::string>>();
  MatrixOps ops;
  const Matrix x = longley.Columns(names);
  const Matrix s = ops.CrossProducts(x, x);
  for (std::size_t j = 0; j < names.size(); ++j) {
    const double sd = ref.at("sd")[j].get<double>();
    const std::int32_t k = static_cast<std::int32_t>(j + 1);
    EXPECT_LT(test::RelativeError(s(k, k), 15.0 * sd * sd), 1e-13) << names[j];
  }
}

TEST(CrossProducts, RowCountsMustAgree) {
  MatrixOps ops;
  const test::Raised e = ErrorOf([&] { ops.CrossProducts(test::RandomMatrix(5, 2, 1), test::RandomMatrix(6, 2, 1)); });
  EXPECT_EQ(e.number, Support(kShapeMismatch));
  EXPECT_NE(e.description.find("5 by 2"), std::string::npos) << e.description;
}

TEST(ColumnDescriptives, MatchReferenceMeansAndStandardDeviations) {
  for (const Reference& set : kSets) {
    const test::DataSet data = test::LoadCsv(set.data);
    const nlohmann::json ref = test::FindCase(test::LoadReference(set.json), "simple");
    const auto names = ref.at("x").get<std::vector<std::string>>();
    const Matrix x = data.Columns(names);
    MatrixOps ops;
    Array<double> means, sds, ses, ns;
    ops.ColumnDescriptives(x, means, sds, ses, ns);
    const double n = x.Rows();
    ASSERT_EQ(means.Rows(), static_cast<std::int32_t>(names.size()));
    for (std::size_t j = 0; j < names.size(); ++j) {
      const std::int32_t k = static_cast<std::int32_t>(j + 1);
      EXPECT_LT(test::RelativeError(means(k), ref.at("mean")[j].get<double>()), 1e-14) << names[j];
      EXPECT_LT(test::RelativeError(sds(k), ref.at("sd")[j].get<double>()), 1e-13) << names[j];
      EXPECT_LT(test::RelativeError(ses(k), ref.at("sd")[j].get<double>() / std::sqrt(n)), 1e-13);
      EXPECT_EQ(ns(k), n);
    }
  }
}

TEST(ColumnDescriptives, ConstantColumnHasZeroSpreadAndHugeOffsetsKeepTheirDigits) {
  Matrix x = Array<double>::Matrix(5, 2);
  const double values[] = {1e9 + 1, 1e9 + 2, 1e9 + 3, 1e9 + 4, 1e9 + 5};
  for (std::int32_t i = 1; i <= 5; ++i) {
    x(i, 1) = 0.3;
    x(i, 2) = values[i - 1];
  }
  MatrixOps ops;
  Array<double> means, sds, ses, ns;
  ops.ColumnDescriptives(x, means, sds, ses, ns);
  EXPECT_EQ(means(1), 0.3);
  EXPECT_EQ(sds(1), 0.0);
  EXPECT_EQ(ses(1), 0.0);
  EXPECT_EQ(means(2), 1e9 + 3);
  EXPECT_EQ(sds(2), std::sqrt(2.5));
}

TEST(ColumnDescriptives, FewerThanTwoCasesRaise) {
  MatrixOps ops;
  Array<double> means, sds, ses, ns;
  EXPECT_EQ(ErrorOf([&] { ops.ColumnDescriptives(test::RandomMatrix(1, 4, 1), means, sds, ses, ns); }).number,
            Support(kTooFewCases));
  EXPECT_FALSE(means.Allocated());
}

}  // namespace
}  // namespace nml::support
