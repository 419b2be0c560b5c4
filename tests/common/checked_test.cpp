#include "common/checked.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/perfect_correlation.h"
#include "nmlcorrelation/error.h"
#include "support/error_catch.h"

namespace nml {
namespace {

TEST(Checked, ArithmeticFailuresRaiseRuntimeErrors) {
  EXPECT_NML_ERROR(CheckedDiv(1, 0), 11);
  EXPECT_NML_ERROR(CheckedDiv(0, 0), 11);
  EXPECT_NML_ERROR(CheckedDiv(1e308, 1e-308), 6);
  EXPECT_NML_ERROR(CheckedSqrt(-1e-300), 5);
  EXPECT_NML_ERROR(CheckedSqrt(std::nan("")), 5);
  EXPECT_NML_ERROR(CheckedLog(0), 5);
  EXPECT_NML_ERROR(CheckedLog(-2), 5);
  EXPECT_NML_ERROR(CheckedPow(0, -0.5), 11);
  EXPECT_NML_ERROR(CheckedPow(-4, -0.5), 5);
  EXPECT_DOUBLE_EQ(CheckedPow(4, -0.5), 0.5);
  EXPECT_DOUBLE_EQ(CheckedSqrt(0), 0);
  EXPECT_DOUBLE_EQ(CheckedLog(1), 0);
}

TEST(Checked, IntegerConversionsRoundHalvesToEvenAndOverflow) {
  EXPECT_EQ(ToInteger(2.5), 2);
  EXPECT_EQ(ToInteger(3.5), 4);
  EXPECT_EQ(ToInteger(-2.5), -2);
  EXPECT_EQ(ToInteger(std::int64_t{32767}), 32767);
  EXPECT_NML_ERROR(ToInteger(std::int64_t{32768}), 6);
  EXPECT_NML_ERROR(ToInteger(-32768.6), 6);
  EXPECT_NML_ERROR(AddInteger(32767, 1), 6);
  EXPECT_NML_ERROR(ToLong(2147483648.0), 6);
  EXPECT_NML_ERROR(MulLong(65536, 65536), 6);
  EXPECT_NML_ERROR(ToLong(std::nan("")), 6);
}

// Perfect from about 0.9999999702 read back as Single, from about
// 0.9999999999999995 as Double; never near -1.
TEST(PerfectCorrelation, ThresholdsOfBothReadBacks) {
  for (const auto& [r, readBack, perfect] : std::vector<std::tuple<double, ReadBack, bool>>{
      {1.0, ReadBack::kSingle, true},           {0.99999999, ReadBack::kSingle, true},
      {0.99999998, ReadBack::kSingle, true},    {0.9999999, ReadBack::kSingle, false},
      {0.99999996, ReadBack::kSingle, false},   {-1.0, ReadBack::kSingle, false},
      {-0.99999999, ReadBack::kSingle, false},  {1.0, ReadBack::kDouble, true},
      {0.9999999999999996, ReadBack::kDouble, true}, {std::nextafter(1.0, 2.0), ReadBack::kDouble, true},
      {0.999999999999999, ReadBack::kDouble, false}, {0.99999999, ReadBack::kDouble, false}}) {
    EXPECT_EQ(IsPerfectCorrelation(r, readBack), perfect) << r << " read back " << int(readBack);
  }
}

}  // namespace
}  // namespace nml
