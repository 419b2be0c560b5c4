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
  // Nothing was stored by the refused calls.
  EXPECT_FALSE(detail::StateOf(corr).XRangeCells);
  EXPECT_FALSE(detail::StateOf(corr).YRangeCells);
  EXPECT_TRUE(detail::StateOf(corr).XRangeText.empty());
}

TEST_F(Validation, RangeSetterErrorsCarryNoSource) {
  std::string source = "unset";
  EXPECT_EQ(ErrorNumberOf([&] { corr.XRange("A1:B"); }, &source), E(5010));
  EXPECT_TRUE(source.empty());
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

TEST_F(Validation, ResultsChecksInOrder) {
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5012));
  corr.XRange("A1:A12");
  // Simple correlation of one column fails before anything is read.
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5049));
  corr.YRange("B1:C12");
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5049));
  corr.Method(nmlCorrPartial);
  corr.YRange("B1:B12");
  // Partial correlation needs two Y columns; multiple correlation does not.
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5048));
  corr.Method(nmlCorrCanonical);
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5048));
  corr.Method(nmlCorrMultiple);
  corr.YRange("B1:B11");
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5028));
}

TEST_F(Validation, MissingYRangeForOtherMethods) {
  corr.XRange("A1:B12");
  for (std::int32_t m : {1, 2, 3, 4, -1}) {
    corr.Method(m);
    EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5011)) << "method " << m;
  }
}

TEST_F(Validation, AreasWithDifferentRowCounts) {
  corr.XRange("A1:B10,D1:D12");
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5038));
  corr.XRange("A1:B12");
  corr.YRange("C1:D12,E3:E12");
  corr.Method(nmlCorrCanonical);
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5036));
}

TEST_F(Validation, TooFewDataRowsCountsTheNameRow) {
  corr.XRange("Data!A1:B3");
  EXPECT_NE(ErrorNumberOf([&] { corr.Results(); }), E(5051));  // three rows without names pass (the report lands on a new sheet, now active)
  corr.Headers(true);
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5051));
  corr.Headers(false);
  corr.XRange("Data!A1:B2");
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5051));
  // Y rows must equal X rows, so X's own check fires first for a short Y too.
  corr.Method(nmlCorrMultiple);
  corr.XRange("Data!A1:B2");
  corr.YRange("Data!C1:C2");
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5051));
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
  EXPECT_NE(ErrorNumberOf([&] { corr.Results(); }), ComponentError(6001));
}

TEST_F(Validation, FailedChecksChangeNothing) {
  corr.Method(nmlCorrCanonical);
  corr.XRange("A1:B12");
  corr.YRange("C1:C12");
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }), E(5048));
  EXPECT_EQ(detail::StateOf(corr).Standardised, kVFalse);
}

TEST_F(Validation, OwnErrorsAreStampedByResults) {
  std::string source;
  EXPECT_EQ(ErrorNumberOf([&] { corr.Results(); }, &source), E(5012));
  EXPECT_EQ(source.rfind("Line ", 0), 0u);
  EXPECT_EQ(source.substr(source.find(" in ")), " in NMLCorrelation.clsCorrelation.Results");
}

}  // namespace
}  // namespace nml::testing
