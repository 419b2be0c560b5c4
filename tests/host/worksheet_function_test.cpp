#include "host/worksheet_function.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "host_fixture.h"
#include "support/error_catch.h"

namespace nml::host {
namespace {

using test::ErrorOf;

// Relative agreement to 1e-9, however small the probability.
void ExpectP(double got, double want, const std::string& what) { EXPECT_NEAR(got, want, 1e-9 * want) << what; }

double FDist(double x, double d1, double d2) {
  return WorksheetFunction().FDist(Variant(x), Variant(d1), Variant(d2)).AsDouble();
}
double ChiDist(double x, double d) { return WorksheetFunction().ChiDist(Variant(x), Variant(d)).AsDouble(); }

TEST(WorksheetFunction, ClosedFormValuesAndTruncatedDegreesOfFreedom) {
  ExpectP(FDist(1, 1, 1), 0.5, "F(1,1) median");
  ExpectP(FDist(2.5, 7, 7), 1 - FDist(1 / 2.5, 7, 7), "F reciprocal symmetry");
  ExpectP(ChiDist(80, 2), std::exp(-40.0), "chi-square 2 df, far tail");
  ExpectP(ChiDist(3, 1), std::erfc(std::sqrt(1.5)), "chi-square 1 df");
  EXPECT_EQ(FDist(0, 3, 4), 1.0);
  EXPECT_EQ(FDist(1, 1.9, 1.99), 0.5);
  EXPECT_EQ(ChiDist(2, 2.7), std::exp(-1.0));
  EXPECT_EQ(WorksheetFunction().ChiDist(Variant::Integer(2), Variant::Long(2)).AsDouble(), std::exp(-1.0));
  EXPECT_EQ(WorksheetFunction().ChiDist(Variant("2"), Variant("2")).AsDouble(), std::exp(-1.0));
}

TEST(WorksheetFunction, OutOfDomainRaises1004) {
  const WorksheetFunction wf;
  const double inf = std::numeric_limits<double>::infinity();
  const auto neg = ErrorOf([&] { wf.FDist(Variant(-0.1), Variant(1.0), Variant(1.0)); });
  EXPECT_EQ(neg.Number(), 1004);
  EXPECT_EQ(neg.Description(), "Unable to get the FDist property of the WorksheetFunction class");
  for (const auto& [x, a, b] : std::vector<std::tuple<Variant, Variant, Variant>>{
           {Variant(1.0), Variant(0.99), Variant(1.0)}, {Variant(1.0), Variant(1.0), Variant(1e10)},
           {Variant("abc"), Variant(1.0), Variant(1.0)}, {Variant(std::nan("")), Variant(1.0), Variant(1.0)},
           {Variant(1.0), Variant(Array<double>::Vector(1)), Variant(1.0)}}) {
    EXPECT_NML_ERROR(wf.FDist(x, a, b), 1004);
  }
  const auto chi = ErrorOf([&] { wf.ChiDist(Variant(-1.0), Variant(2.0)); });
  EXPECT_EQ(chi.Number(), 1004);
  EXPECT_EQ(chi.Description(), "Unable to get the ChiDist property of the WorksheetFunction class");
  for (const auto& [x, d] : std::vector<std::pair<Variant, Variant>>{{Variant(1.0), Variant(0.5)},
                                                                      {Variant(1.0), Variant(1e10)},
                                                                      {Variant(1.0), Variant::ErrorValue(2042)},
                                                                      {Variant(inf), Variant(3.0)}}) {
    EXPECT_NML_ERROR(wf.ChiDist(x, d), 1004);
  }
  EXPECT_NO_THROW(wf.ChiDist(Variant(1.0), Variant(9999999999.0)));
}

}  // namespace
}  // namespace nml::host
