#include "common/handlers.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/checked.h"
#include "nmlcorrelation/error.h"
#include "support/error_catch.h"

namespace nml {
namespace {

// A three-level road, as an engine routine called through two others.
void Innermost() {
  Trail({"clsCorrelationBO", "DoSimpleCorr"}, [] { CheckedDiv(1.0, 0.0); });
}
void Middle() {
  Trail({"clsCorrelationBO", "Analyse"}, [] { Innermost(); });
}
void Outer() {
  Trail({"clsCorrelation", "GetResults"}, [] { Middle(); });
}

// The trail builds the whole road; a stamp replaces an earlier source, and a
// trail stamps a foreign one; every source starts with its line.
TEST(Handlers, SourcesNameTheRoadTaken) {
  struct Case {
    std::function<void()> run;
    std::int32_t number;
    const char* road;
  };
  const Case cases[] = {
      {Outer, rt::kDivisionByZero, " in NMLCorrelation.clsCorrelationBO.DoSimpleCorr.Analyse.GetResults"},
      {[] { Stamp({"clsCorrelationBO", "GetR"}, [] { Raise(9, {}, "Line 3 in NMLCorrelation.x.y"); }); }, 9,
       " in NMLCorrelation.clsCorrelationBO.GetR"},
      {[] { Trail({"clsCorrelationOutput", "OutputMatrix"}, [] { Raise(1004, {}, "Microsoft Excel"); }); }, 1004,
       " in NMLCorrelation.clsCorrelationOutput.OutputMatrix"},
  };
  for (const Case& c : cases) {
    const Error e = test::ErrorOf(c.run);
    EXPECT_EQ(e.Number(), c.number) << c.road;
    EXPECT_EQ(e.Source().rfind("Line ", 0), 0u) << e.Source();
    EXPECT_TRUE(e.Source().ends_with(c.road)) << e.Source();
    EXPECT_EQ(e.Source().find("x.y"), std::string::npos) << e.Source();
  }
  EXPECT_EQ(test::ErrorOf(Outer).Description(), "Division by zero");
}

TEST(Handlers, RangeSetterMapping) {
  auto run = [](std::int32_t thrown) -> std::int32_t {
    const Error e =
        test::ErrorOf([&] { MapRangeSetterError(5010, [&] { Raise(thrown, "some text", "Line 1 in somewhere"); }); });
    EXPECT_TRUE(e.Source().empty());
    return e.Number();
  };
  EXPECT_EQ(run(1004), ComponentError(5010));
  EXPECT_EQ(run(rt::kTypeMismatch), ComponentError(5010));
  EXPECT_EQ(run(ComponentError(5000)), ComponentError(5000));
  EXPECT_EQ(run(ComponentError(5101)), ComponentError(5101));
  EXPECT_EQ(run(ComponentError(5102)), ComponentError(5010));
  EXPECT_EQ(run(ComponentError(4999)), ComponentError(5010));
}

TEST(Handlers, ForeignExceptionsBecomeNumberedErrors) {
  const Error e = test::ErrorOf([] { Stamp({"clsCorrelation", "Results"}, [] { throw std::bad_alloc(); }); });
  EXPECT_EQ(e.Number(), rt::kOutOfMemory);
  EXPECT_EQ(e.Description(), "Out of memory");
}

TEST(ErrorNumbers, ComponentCodesMatchTheTable) {
  EXPECT_EQ(ComponentError(5001), -2147216503);
  EXPECT_EQ(ComponentError(5028), -2147216476);
  EXPECT_EQ(ComponentError(5051), -2147216453);
  EXPECT_EQ(static_cast<std::uint32_t>(ComponentError(5038)), 0x800413AEu);
}

TEST(ErrorNumbers, StandardDescriptions) {
  EXPECT_EQ(StandardDescription(5), "Invalid procedure call or argument");
  EXPECT_EQ(StandardDescription(6), "Overflow");
  EXPECT_EQ(StandardDescription(9), "Subscript out of range");
  EXPECT_EQ(StandardDescription(11), "Division by zero");
  EXPECT_EQ(StandardDescription(13), "Type mismatch");
  EXPECT_EQ(StandardDescription(91), "Object variable or With block variable not set");
}

}  // namespace
}  // namespace nml
