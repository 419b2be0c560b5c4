#include "host/range_checker.h"

#include <gtest/gtest.h>

#include "common/support_errors.h"
#include "host_fixture.h"

namespace nml::support {
namespace {

using host::testing::Catch;

class RangeCheckerTest : public host::testing::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    data->GetRange("A1:C1")->SetValue(Variant("name"));
    auto block = Array<double>::Matrix(20, 3);
    for (std::int32_t i = 1; i <= 20; ++i)
      for (std::int32_t j = 1; j <= 3; ++j) block(i, j) = i * j;
    data->GetRange("A2:C21")->SetValue(Variant(block));
  }
  host::testing::Caught CheckX(const char* address, VBool headers) {
    return Catch([&] {
      std::int32_t a = 5, b = 5, c = 5;
      TheRangeChecker().CheckXArea(*data->GetRange(address), headers, a, b, c);
    });
  }
};

TEST_F(RangeCheckerTest, AcceptsNumericAreasWithOrWithoutNameRow) {
  EXPECT_EQ(CheckX("A1:C21", kVTrue).number, 0);
  EXPECT_EQ(CheckX("A2:C21", kVFalse).number, 0);
  EXPECT_EQ(CheckX("A1:C1", kVTrue).number, 0);  // no data rows: nothing to object to
  std::int32_t a = 1, b = 2, c = 3, d = 4;
  TheRangeChecker().CheckYArea(*data->GetRange("B2:B21"), kVFalse, a, b, c, d);
  EXPECT_EQ(a + b + c + d, 0);
}

TEST_F(RangeCheckerTest, NamesTheFirstOffendingCell) {
  const auto header = CheckX("A1:C21", kVFalse);
  EXPECT_EQ(header.number, ComponentError(kNonNumericXCell));
  EXPECT_EQ(header.description, "Data!$A$1 holds text, not a number");

  data->Cells(7, 2)->SetValue(Variant());
  data->Cells(9, 1)->SetValue(Variant("n/a"));
  EXPECT_EQ(CheckX("A1:C21", kVTrue).description, "Data!$B$7 is empty");
  data->Cells(7, 3)->SetValue(Variant::Boolean(true));
  EXPECT_EQ(CheckX("C1:C21", kVTrue).description, "Data!$C$7 holds a logical value, not a number");
  EXPECT_EQ(CheckX("A8:A21", kVFalse).description, "Data!$A$9 holds text, not a number");
  EXPECT_EQ(CheckX("A1:C30", kVTrue).description, "Data!$B$7 is empty");

  data->SetName("My data");
  const auto y = Catch([&] {
    std::int32_t a = 0, b = 0, c = 0, d = 0;
    TheRangeChecker().CheckYArea(*data->GetRange("A10:A30"), kVFalse, a, b, c, d);
  });
  EXPECT_EQ(y.number, ComponentError(kNonNumericYCell));
  EXPECT_EQ(y.description, "'My data'!$A$22 is empty");
}

TEST_F(RangeCheckerTest, PrepareOutputChecksGridAndExistingData) {
  auto anchor = data->Cells(30, 1);
  const auto before = anchor;
  TheRangeChecker().PrepareOutput(anchor, 5, 10, kVFalse);
  EXPECT_EQ(anchor, before);

  auto past = data->Cells(host::kMaxRows - 5, 1);
  const auto grid = Catch([&] { TheRangeChecker().PrepareOutput(past, 3, 7, kVTrue); });
  EXPECT_EQ(grid.number, ComponentError(kOutputPastGrid));
  auto right = data->Cells(1, host::kMaxColumns);
  EXPECT_EQ(Catch([&] { TheRangeChecker().PrepareOutput(right, 2, 1, kVTrue); }).number,
            ComponentError(kOutputPastGrid));
  EXPECT_EQ(Catch([&] { TheRangeChecker().PrepareOutput(past, 3, 6, kVTrue); }).number, 0);

  auto busy = data->Cells(20, 2);
  const auto full = Catch([&] { TheRangeChecker().PrepareOutput(busy, 4, 4, kVFalse); });
  EXPECT_EQ(full.number, ComponentError(kOutputNotEmpty));
  EXPECT_EQ(full.description, "Data!$B$20 already holds data where the report would go");
  EXPECT_EQ(Catch([&] { TheRangeChecker().PrepareOutput(busy, 4, 4, kVTrue); }).number, 0);

  // Formats alone do not count as data.
  data->GetRange("E1:F5")->SetBold(true);
  auto formatted = data->Cells(1, 5);
  EXPECT_EQ(Catch([&] { TheRangeChecker().PrepareOutput(formatted, 2, 5, kVFalse); }).number, 0);
  host::RangeRef none;
  EXPECT_EQ(Catch([&] { TheRangeChecker().PrepareOutput(none, 2, 5, kVFalse); }).number, 91);
}

}  // namespace
}  // namespace nml::support
