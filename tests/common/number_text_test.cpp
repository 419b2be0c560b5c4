// Numbers to text and back: the classic runtime's forms, and the same results
// whatever locale the host process has set.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "common/number_text.h"
#include "nmlcorrelation/variant.h"
#include "support/error_catch.h"

namespace nml::testing {
namespace {

TEST(NumberText, ShortestFormWithAtMostTheDigitsAsked) {
  for (const auto& [value, digits, text] : std::vector<std::tuple<double, int, std::string>>{
      {0.1, 15, "0.1"},                        {1.0 / 3, 15, "0.333333333333333"},
      {1e-5, 15, "1E-05"},                     {0.0001, 15, "0.0001"},
      {123456789012345678.0, 15, "1.23456789012346E+17"},
      {999999999999999.0, 15, "999999999999999"}, {1e15, 15, "1E+15"},
      {-2.5e-300, 15, "-2.5E-300"},            {1234.5, 3, "1.23E+03"},
      {1.0 / 3, 7, "0.3333333"},               {-0.0, 15, "0"},
      {std::numeric_limits<double>::quiet_NaN(), 15, "NaN"},
      {-std::numeric_limits<double>::infinity(), 15, "-Infinity"},
  }) {
    EXPECT_EQ(NumberToText(value, digits), text) << value;
  }
}

TEST(NumberText, ReadsDecimalNumbersOnly) {
  for (const auto& [text, result, value] : std::vector<std::tuple<const char*, NumberRead, double>>{
      {" 12.5 ", NumberRead::kNumber, 12.5},   {"\t7\r\n", NumberRead::kNumber, 7},
      {"+3", NumberRead::kNumber, 3},          {"-.5", NumberRead::kNumber, -0.5},
      {"1.5E-3", NumberRead::kNumber, 0.0015}, {"+-1", NumberRead::kNotANumber, 0},
      {"1,5", NumberRead::kNotANumber, 0},     {"inf", NumberRead::kNotANumber, 0},
      {"nan", NumberRead::kNotANumber, 0},     {"0x10", NumberRead::kNotANumber, 0},
      {"12abc", NumberRead::kNotANumber, 0},   {"", NumberRead::kNotANumber, 0},
      {"+", NumberRead::kNotANumber, 0},       {"1e400", NumberRead::kOutOfRange, 0}}) {
    double out = -99;
    EXPECT_EQ(ReadNumber(text, out), result) << '"' << text << '"';
    if (result == NumberRead::kNumber) {
      EXPECT_EQ(out, value) << text;
    }
  }
}

TEST(NumberText, SameUnderALocaleWithADecimalComma) {
  struct CommaLocale {
    bool set = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr || std::setlocale(LC_ALL, "fr_FR.UTF-8") != nullptr;
    ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
  } locale;
  if (!locale.set) GTEST_SKIP() << "no German or French locale installed (Debian: locales-all)";
  char printed[16];
  std::snprintf(printed, sizeof printed, "%.1f", 1.5);
  ASSERT_STREQ(printed, "1,5") << "the locale does not use a decimal comma";

  EXPECT_EQ(Variant(1.5).ToText(), "1.5");
  EXPECT_EQ(Variant("1.5").ToDouble(), 1.5);
  EXPECT_NML_ERROR(Variant("1,5").ToDouble(), rt::kTypeMismatch);  // a decimal comma is no number
  EXPECT_EQ(NumberToText(1234.5, 3), "1.23E+03");
  EXPECT_EQ(TextToNumber(" 0.25 "), 0.25);
}

}  // namespace
}  // namespace nml::testing
