#include "common/handlers.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/checked.h"
#include "nmlcorrelation/error.h"
#include "support/error_catch.h"

namespace nml {
namespace {

// A three-level road, as an engine routine called through two others.
void Outer() {
  Trail({"clsCorrelation", "GetResults"}, [] {
    Trail({"clsCorrelationBO", "Analyse"}, [] {
      Trail({"clsCorrelationBO", "DoSimpleCorr"}, [] { CheckedDiv(1.0, 0.0); });
    });
  });
}

// The trail builds the whole road; a stamp replaces an earlier source, and a
// trail stamps a foreign one; every source starts with its line. A foreign
// exception becomes a numbered error.
TEST(Handlers, SourcesNameTheRoadTaken) {
  using Row = std::tuple<std::function<void()>, std::int32_t, const char*, const char*>;
  for (const auto& [run, number, description, road] : std::vector<Row>{
      {Outer, rt::kDivisionByZero, "Division by zero",
       " in NMLCorrelation.clsCorrelationBO.DoSimpleCorr.Analyse.GetResults"},
      {[] { Stamp({"clsCorrelationBO", "GetR"}, [] { Raise(9, {}, "Line 3 in NMLCorrelation.x.y"); }); }, 9,
       "Subscript out of range", " in NMLCorrelation.clsCorrelationBO.GetR"},
      {[] { Trail({"clsCorrelationOutput", "OutputMatrix"}, [] { Raise(1004, {}, "Microsoft Excel"); }); }, 1004,
       "Application-defined or object-defined error", " in NMLCorrelation.clsCorrelationOutput.OutputMatrix"},
      {[] { Stamp({"clsCorrelation", "Results"}, [] { throw std::bad_alloc(); }); }, rt::kOutOfMemory,
       "Out of memory", " in NMLCorrelation.clsCorrelation.Results"}}) {
    const Error e = test::ErrorOf(run);
    EXPECT_EQ(e.Number(), number) << road;
    EXPECT_EQ(e.Description(), description) << road;
    EXPECT_EQ(e.Source().rfind("Line ", 0), 0u) << e.Source();
    EXPECT_TRUE(e.Source().ends_with(road)) << e.Source();
    EXPECT_EQ(e.Source().find("x.y"), std::string::npos) << e.Source();
  }
}

TEST(Handlers, RangeSetterMapping) {
  // The error raised inside, and the component code it leaves as.
  for (const auto& [thrown, code] : std::vector<std::pair<std::int32_t, std::int32_t>>{
           {1004, 5010}, {rt::kTypeMismatch, 5010}, {ComponentError(5000), 5000}, {ComponentError(5101), 5101},
           {ComponentError(5102), 5010}, {ComponentError(4999), 5010}}) {
    const Error e =
        test::ErrorOf([&] { MapRangeSetterError(5010, [&] { Raise(thrown, "some text", "Line 1 in somewhere"); }); });
    EXPECT_EQ(e.Number(), ComponentError(code)) << thrown;
    EXPECT_TRUE(e.Source().empty());
  }
}

// Component codes sit above the automation error base; the runtime's own
// numbers keep the classic descriptions.
TEST(ErrorNumbers, ComponentCodesAndStandardDescriptions) {
  EXPECT_EQ(static_cast<std::uint32_t>(ComponentError(5038)), 0x800413AEu);
  for (const auto& [number, text] : std::vector<std::pair<std::int32_t, const char*>>{
           {5, "Invalid procedure call or argument"}, {6, "Overflow"}, {13, "Type mismatch"},
           {91, "Object variable or With block variable not set"}}) {
    EXPECT_EQ(StandardDescription(number), text) << number;
  }
}

}  // namespace
}  // namespace nml
