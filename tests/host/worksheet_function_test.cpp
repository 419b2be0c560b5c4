#include "host/worksheet_function.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
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

// Arguments out of a function's domain raise 1004 naming the function;
// degrees of freedom up to 1e10 are accepted.
TEST(WorksheetFunction, OutOfDomainRaises1004) {
  const WorksheetFunction wf;
  const Variant one(1.0), inf(std::numeric_limits<double>::infinity());
  for (const auto& [call, function] : std::vector<std::pair<std::function<void()>, std::string>>{
           {[&] { wf.FDist(Variant(-0.1), one, one); }, "FDist"},
           {[&] { wf.FDist(one, Variant(0.99), one); }, "FDist"},
           {[&] { wf.FDist(one, one, Variant(1e10)); }, "FDist"},
           {[&] { wf.FDist(Variant("abc"), one, one); }, "FDist"},
           {[&] { wf.FDist(Variant(std::nan("")), one, one); }, "FDist"},
           {[&] { wf.FDist(one, Variant(Array<double>::Vector(1)), one); }, "FDist"},
           {[&] { wf.ChiDist(Variant(-1.0), Variant(2.0)); }, "ChiDist"},
           {[&] { wf.ChiDist(one, Variant(0.5)); }, "ChiDist"},
           {[&] { wf.ChiDist(one, Variant(1e10)); }, "ChiDist"},
           {[&] { wf.ChiDist(one, Variant::ErrorValue(2042)); }, "ChiDist"},
           {[&] { wf.ChiDist(inf, Variant(3.0)); }, "ChiDist"}}) {
    const auto e = ErrorOf(call);
    EXPECT_EQ(e.Number(), 1004) << function;
    EXPECT_EQ(e.Description(), "Unable to get the " + function + " property of the WorksheetFunction class");
  }
  EXPECT_NO_THROW(wf.ChiDist(one, Variant(9999999999.0)));
}

}  // namespace
}  // namespace nml::host
