// The property setters of clsCorrelation and the checks that open Results.
#include <gtest/gtest.h>

#include "fixture.h"
#include "frontend/correlation_state.h"

namespace nml::testing {
namespace {

constexpr std::int32_t E(std::int32_t code) { return ComponentError(code); }

class Validation : public HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    Fill(1, 12, 1, 6, Noise);
  }
  clsCorrelation corr;
};

TEST_F(Validation, RangeSettersRefuseEmptyAndBadText) {
  EXPECT_EQ(ErrorNumberOf([&] { corr.XRange(""); }), E(5012));
  EXPECT_EQ(ErrorNumberOf([&] { corr.YRange(""); }), E(5011));
  EXPECT_EQ(ErrorNumberOf([&] { corr.XRange("not a range"); }), E(5010));
  EXPECT_EQ(ErrorNumberOf([&] { corr.YRange("A0:B3"); }), E(5009));
  EXPECT_EQ(ErrorNumberOf([&] { corr.OutputRange("Nowhere!A1"); }), E(5001));
  EXPECT_EQ(ErrorNumberOf([&] { corr.OutputRange("XFE1"); }), E(5001));
  // The setters' errors carry no source, and nothing was stored.
  std::string source = "unset";
  EXPECT_EQ(ErrorNumberOf([&] { corr.XRange("A1:B"); }, &source), E(5010));
  EXPECT_TRUE(source.empty());
  EXPECT_FALSE(detail::StateOf(corr).XRangeCells);
  EXPECT_FALSE(detail::StateOf(corr).YRangeCells);
  EXPECT_TRUE(detail::StateOf(corr).XRangeText.empty());
}

TEST_F(Validation, SameTextIsEvaluatedOnce) {
  corr.YRange("A1:B5");
  const auto first = detail::StateOf(corr).YRangeCells;
  // Another sheet active now: the same text keeps the range resolved before.
  auto other = book->Worksheets()->Add();
  other->Activate();
  corr.YRange("A1:B5");
  EXPECT_EQ(detail::StateOf(corr).YRangeCells, first);
  EXPECT_EQ(detail::StateOf(corr).YRangeCells->Worksheet()->Name(), "Data");
  // A different text (here only in case) is evaluated afresh, on the active sheet.
  corr.YRange("a1:b5");
  EXPECT_NE(detail::StateOf(corr).YRangeCells, first);
  EXPECT_EQ(detail::StateOf(corr).YRangeCells->Worksheet(), other);
}

// The checks that open Results, each on a fresh object; a refused call changes
// nothing (the flags Results sets stay unset). Unqualified ranges are on the
// active sheet, so the passing row comes last (its report activates a new one).
TEST_F(Validation, ResultsRefusesBadSettings) {
  struct Case {
    std::int32_t method;
    bool headers;
    const char* x;
    const char* y;
    std::int32_t error;
  };
  const Case cases[] = {
      {0, false, "", "", 5012},                  // no X range
      {0, false, "A1:A12", "", 5049},            // simple correlation of one column
      {0, false, "A1:A12", "B1:C12", 5049},      // ... even with a Y range
      {2, false, "A1:A12", "B1:B12", 5048},      // partial needs two Y columns
      {3, false, "A1:A12", "B1:B12", 5048},      // canonical too
      {1, false, "A1:A12", "B1:B11", 5028},      // X and Y rows differ
      {1, false, "A1:B12", "", 5011},            // no Y range
      {3, false, "A1:B12", "", 5011},
      {-1, false, "A1:B12", "", 5011},
      {0, false, "A1:B10,D1:D12", "", 5038},     // X areas of different heights
      {3, false, "A1:B12", "C1:D12,E3:E12", 5036},  // Y areas of different heights
      {0, true, "Data!A1:B3", "", 5051},         // the name row leaves two data rows
      {0, false, "Data!A1:B2", "", 5051},
      {1, false, "Data!A1:B2", "Data!C1:C2", 5051},  // X's own check fires first
      {0, false, "Data!A1:B3", "", 0},           // three rows without names pass
      {1, false, "Data!A1:B3", "Data!C1:C3", 0},
      {2, false, "Data!A1:A12", "Data!B1:C12", 0},  // two Y columns are enough
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("method ") + std::to_string(c.method) + " x " + c.x + " y " + c.y);
    clsCorrelation fresh;
    fresh.Method(c.method);
    fresh.Headers(c.headers);
    if (*c.x) fresh.XRange(c.x);
    if (*c.y) fresh.YRange(c.y);
    std::string source;
    EXPECT_EQ(ErrorNumberOf([&] { fresh.Results(); }, &source), c.error ? E(c.error) : 0);
    if (!c.error) continue;
    EXPECT_EQ(detail::StateOf(fresh).Standardised, kVFalse);
    // Its own errors are stamped with the line and the routine by Results.
    EXPECT_EQ(source.rfind("Line ", 0), 0u) << source;
    EXPECT_EQ(source.substr(source.find(" in ")), " in NMLCorrelation.clsCorrelation.Results");
  }
}

TEST_F(Validation, NonNumericCellsAreRefusedByTheChecker) {
  Put(5, 2, Variant("n/a"));
  corr.XRange("A1:B12");
  std::string source;
  const auto number = ErrorNumberOf([&] { corr.Results(); }, &source);
  EXPECT_EQ(number, ComponentError(6001));
  EXPECT_NE(source.find(" in NMLCorrelation.clsCorrelation.Results"), std::string::npos) << source;
  // With a name row, text in the first row is fine.
  Put(5, 2, Variant(1.5));
  Put(1, 1, Variant("height"));
  corr.Headers(true);
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), 0);
  // Text in a Y column is refused by the checker too, with its own number.
  Put(5, 3, Variant("n/a"));
  corr.Method(nmlCorrMultiple);
  corr.YRange("Data!C1:C12");
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), ComponentError(6002));
}

}  // namespace
}  // namespace nml::testing
