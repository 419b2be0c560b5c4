// Options, messages and the text rendering of nmlcorr.
#include <gtest/gtest.h>

#include "cli/hints.h"
#include "cli/messages.h"
#include "cli/options.h"
#include "cli/report_text.h"

namespace nml::cli {
namespace {

TEST(Options, DialogSettings) {
  auto o = ParseOptions({"data.xlsx", "-m", "canonical", "-x", "A1:B9", "--y-range=C1:D9", "--headers", "--standardized",
                  "--plots", "-o", "out.xlsx", "--overwrite", "-q"});
  EXPECT_EQ(o.method, 3);
  EXPECT_EQ(o.data + " " + o.xRange + " " + o.yRange + " " + o.output, "data.xlsx A1:B9 C1:D9 out.xlsx");
  EXPECT_TRUE(o.headers && o.standardised && o.plots && o.overwrite && o.quiet);
  EXPECT_FALSE(o.raw || o.descriptives);
  EXPECT_EQ(ParseOptions({"d.csv", "-x", "A1:B3", "--method", "Partial"}).method, 2);
}

// Each command line and what its usage error says; "" when it is accepted.
TEST(Options, UsageErrors) {
  for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"d.csv", "-m", "regression", "-x", "A1:B2"}, "unknown method"}, {{"d.csv", "-x"}, "needs a value"},
           {{"d.csv", "--frobnicate"}, "unknown option --frobnicate"}, {{"a.csv"}, "no X range"},
           {{"a.csv", "b.csv", "-x", "A1:B2"}, "more than one DATA"}, {{"--help"}, ""},
           {{"a.csv", "-x", "A1:B2", "--headers=yes"}, "takes no value"}, {{}, ""}}) {  // {}: the bundled example
    std::string said;
    try {
      ParseOptions(args);
    } catch (const UsageError& e) {
      said = e.message;
    }
    EXPECT_TRUE(message.empty() ? said.empty() : said.find(message) != std::string::npos) << message << ": " << said;
  }
}

// Every component code has its own message; library errors keep their descriptions.
TEST(Messages, EveryCodeHasItsOwnMessage) {
  for (std::int32_t code : {5001, 5009, 5010, 5011, 5012, 5028, 5036, 5038, 5048, 5049, 5050, 5051}) {
    const std::string text = DescribeError(Error(ComponentError(code), {}));
    EXPECT_EQ(text.rfind("error " + std::to_string(code) + ": ", 0), 0u) << text;
    EXPECT_EQ(text.find("Application-defined"), std::string::npos) << text;
  }
  EXPECT_EQ(DescribeError(Error(ComponentError(6011), {})).rfind("error 6011: the variables of a set", 0), 0u);
  EXPECT_EQ(DescribeError(Error(11, {})), "error 11: Division by zero (a variable without variation?)");
  EXPECT_EQ(DescribeError(Error(1004, "Unable to get the FDist property of the WorksheetFunction class")),
            "error 1004: Unable to get the FDist property of the WorksheetFunction class");
}

TEST(Hints, ForErrorsTheWorkbookCannotExplain) {
  const Error pastLastRow(1004, "Application-defined or object-defined error",
                          "Line 234 in NMLCorrelation.clsCorrelationOutput.OutputMatrix.FormatCanonicalResults");
  EXPECT_NE(Hint(pastLastRow, {}, {}).find("past the last row of the sheet (1,048,576): ask for one section only"),
            std::string::npos);
  EXPECT_NE(Hint(Error(ComponentError(6003), {}), {}, {}).find("past the last row"), std::string::npos);
  EXPECT_EQ(Hint(Error(1004, "x", "Line 3 in NMLCorrelation.clsCorrelation.Results"), {}, {}), "");
  HintFacts counts;
  counts.missing.emplace().nonNumericCells = 1;
  EXPECT_EQ(Hint(Error(ComponentError(6002), "d!$B$3 holds text"), {}, counts), "the ranges hold 1 other non-numeric cell");
}

TEST(DisplayText, NumbersAsTheSheetShowsThem) {
  for (const auto& [value, format, shown] : std::vector<std::tuple<Variant, const char*, const char*>>{
      {Variant(0.123456), "0.0000", "0.1235"},    {Variant(-0.00001), "0.0000", "0.0000"},
      {Variant(50.0), "0", "50"},                 {Variant(2.5), "0", "3"},
      {Variant(-0.00005), "0.0000", "-0.0001"},   {Variant(1106.7584), "General", "1106.7584"},
      {Variant(1.0 / 3), "General", "0.3333333333"}, {Variant(8.16e-20), "General", "8.16E-20"},
      {Variant("-"), "0.0000", "-"},              {Variant::Integer(0), "0.0000", "0.0000"},
      {Variant::ErrorValue(2042), "General", "#N/A"}, {Variant(), "0.0000", ""}}) {
    EXPECT_EQ(DisplayText(value, format), shown) << shown;
  }
}

}  // namespace
}  // namespace nml::cli
