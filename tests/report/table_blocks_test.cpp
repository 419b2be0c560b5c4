// The writer's table blocks: titled matrices with label requests and
// coordinates, the descriptive table, explained-variance tables, their
// formats and widths, and the inputs they refuse.
#include <gtest/gtest.h>

#include <limits>
#include <optional>

#include "support/addin_globals.h"
#include "report/cls_correlation_output.h"
#include "report/layouts.h"
#include "report_fixture.h"

namespace nml::report {
namespace {

using namespace testing;

using Blocks = testing::ReportTest;

Matrix Filled(std::int32_t rows, std::int32_t cols, double first) {
  Matrix m = Matrix::Matrix(rows, cols);
  for (std::int32_t i = 1; i <= rows; ++i)
    for (std::int32_t j = 1; j <= cols; ++j) m(i, j) = first++;
  return m;
}

/// A vector of the values given, or with `cols` a matrix of them listed row by row.
Array<double> Values(std::initializer_list<double> list, std::int32_t cols = 0) {
  const auto n = static_cast<std::int32_t>(list.size());
  Array<double> a = cols ? Matrix::Matrix(n / cols, cols) : Array<double>::Vector(n);
  for (std::int32_t k = 0; k < n; ++k) a.Data()[cols ? k / cols + (k % cols) * (n / cols) : k] = list.begin()[k];
  return a;
}

TEST_F(Blocks, NamedMatrixStartedAtRowTenWithItsCoordinatesAndFormats) {
  clsCorrelationOutput out;
  out.InsertBlankLines(9);
  Variant coords;
  out.OutputMatrix(Names({"a", "b", "c"}), Names({"x", "y", "z"}), Variant(Filled(3, 3, 0.5)), "Title", &coords);
  Grid g(9);
  g.insert(g.end(), {{"Title"}, {"", "a", "b", "c"}, {"x", 0.5, 1.5, 2.5}, {"y", 3.5, 4.5, 5.5}, {"z", 6.5, 7.5, 8.5}});
  ExpectGrid(*ResultsSheet(), g, 4);

  // ((first row, first column), (last row, last column)) of the body, as Longs.
  Array<Variant> expected = Array<Variant>::Matrix(2, 2);
  expected(1, 1) = Variant::Long(12), expected(1, 2) = Variant::Long(2);
  expected(2, 1) = Variant::Long(14), expected(2, 2) = Variant::Long(4);
  EXPECT_EQ(coords, Variant(expected));
  EXPECT_EQ(out.CurrentRow(), 15);

  auto sheet = ResultsSheet();
  const int boldCells[][2] = {{10, 1}, {11, 1}, {11, 2}, {12, 1}};  // title, heading strip, row label
  for (const auto& rc : boldCells) EXPECT_TRUE(FormatAt(*app, *sheet, rc[0], rc[1]).bold) << rc[0] << "," << rc[1];
  EXPECT_EQ(FormatAt(*app, *sheet, 12, 1).horizontalAlignment, host::kAlignLeft);
  EXPECT_EQ(FormatAt(*app, *sheet, 12, 2).numberFormat, "0.0000");
  EXPECT_EQ(FormatAt(*app, *sheet, 14, 4).numberFormat, "0.0000");
  EXPECT_EQ(FormatAt(*app, *sheet, 15, 2).numberFormat, "General") << "below the body";
}

TEST_F(Blocks, RowLabelRequests) {
  // Row headers: "Enumerate" numbers the rows, its second entry is the corner
  // caption and its third the prefix (bare numbers without one); an empty
  // first entry leaves out the label column.
  clsCorrelationOutput out;
  Variant coords;
  out.OutputMatrix(Names({"Enumerate", "never shown", "CV "}), Names({"Enumerate", "Case", ""}),
                   Variant(Filled(3, 2, 1)), "Scores");
  out.OutputMatrix(Names({"R", "P"}), Names({"Enumerate", "Variate", "CV "}), Variant(Filled(2, 2, 1)), "T");
  out.OutputMatrix(Names({"p", "q"}), Names({"", "ignored"}), Variant(Filled(2, 2, 1)), "Bare", &coords);
  ExpectGrid(*ResultsSheet(),
             {{"Scores"}, {"Case", "CV 1", "CV 2"}, {1, 1, 2}, {2, 3, 4}, {3, 5, 6},
              {"T"}, {"Variate", "R", "P"}, {"CV 1", 1, 2}, {"CV 2", 3, 4},
              {"Bare"}, {"p", "q"}, {1, 2}, {3, 4}},
             3);
  EXPECT_EQ(ResultsSheet()->Store().Get(4, 1).Kind(), VarKind::kDouble) << "case numbers are numbers";
  EXPECT_EQ(ScoreCoord(coords, 1, 2), 1);
  EXPECT_EQ(ScoreCoord(coords, 2, 2), 2);
  Array<Variant> tall = Array<Variant>::Matrix(3, 2);
  for (std::size_t k = 0; k < tall.Size(); ++k) tall.Data()[k] = Variant::Long(1);
  EXPECT_EQ(ErrorOf([&] { ScoreCoord(Variant(tall), 1, 1); }).Number(), rt::kTypeMismatch) << "coordinates are 2 x 2";
}

TEST_F(Blocks, WidthCountsALabelColumnAndTwoAtLeastAndNeverShrinks) {
  clsCorrelationOutput out;
  out.OutputMatrix(Names({"R"}), Names({"a", "b"}), Variant(Filled(2, 1, 1)), "One");
  EXPECT_EQ(out.WidestColumn(), 2);
  out.OutputMatrix(Names({"p", "q"}), Names({"", "x"}), Variant(Filled(1, 2, 1)), "No labels");
  EXPECT_EQ(out.WidestColumn(), 3) << "one label column is counted even when there is none";
  out.OutputDescriptives(Names({"u"}), Values({1}), Values({1}), Values({1}), Values({1}));
  out.OutputMatrix(Names({"R"}), Names({"u"}), Variant(Filled(1, 1, 1)), "R");
  EXPECT_EQ(out.WidestColumn(), 5);
  out.OutputMatrix(Names({"a", "b", "c", "d", "e", "f"}), Names({"u"}), Variant(Filled(1, 6, 1)), "Wide");
  EXPECT_EQ(out.WidestColumn(), 7);
  EXPECT_EQ(out.Results()->Address(), "$A$1:$G$17");
}

TEST_F(Blocks, DescriptivesShowOnlyTheNamedVariables) {
  clsCorrelationOutput out;
  out.InsertBlankLines(2);
  out.OutputDescriptives(Names({"u", "v", "w"}), Values({1.5, 2.5, 3.5, 4.5, 5.5}), Values({0.1, 0.2, 0.3, 0.4, 0.5}),
                         Values({0.01, 0.02, 0.03, 0.04, 0.05}), Values({30, 30, 30, 30, 30}));
  ExpectGrid(*ResultsSheet(),
             {{}, {}, {"Descriptive Statistics"}, {"Variable", "Mean", "Std Dev.", "Std Err", "N"},
              {"u", 1.5, 0.1, 0.01, 30}, {"v", 2.5, 0.2, 0.02, 30}, {"w", 3.5, 0.3, 0.03, 30}},
             5);
  EXPECT_EQ(out.CurrentRow(), 8);  // (its width: see the width test)
  auto sheet = ResultsSheet();
  for (std::int32_t c = 1; c <= 5; ++c) EXPECT_TRUE(FormatAt(*app, *sheet, 4, c).bold) << c;
  EXPECT_EQ(FormatAt(*app, *sheet, 5, 5).numberFormat, "0");
  EXPECT_EQ(FormatAt(*app, *sheet, 7, 4).numberFormat, "0.0000");
  EXPECT_EQ(FormatAt(*app, *sheet, 6, 1).horizontalAlignment, support::TheAddinGlobals().LabelAlignment());
  EXPECT_EQ(FormatAt(*app, *sheet, 4, 3).numberFormat, "General") << "the heading strip is no data";
  EXPECT_NE(FormatAt(*app, *sheet, 6, 2).horizontalAlignment, support::TheAddinGlobals().LabelAlignment());
}

TEST_F(Blocks, ExplainedSquaresAndAverages) {
  clsCorrelationOutput out;
  out.OutputExplained(Names({"x1", "x2"}), Values({0.6, -0.8}, 1), "Proportion");
  EXPECT_EQ(out.CurrentRow(), 6);
  EXPECT_EQ(out.WidestColumn(), 2);
  out.OutputExplained(Names({"a", "b", "c"}), Values({0.5, 0.1, 0.5, -0.2, 1.0, 0.3}, 2), "T");
  ExpectGrid(*ResultsSheet(),
             {{"Proportion"}, {"Variable", "CV 1"}, {"x1", 0.36}, {"x2", 0.64}, {"Average", 0.5},
              {"T"}, {"Variable", "CV 1", "CV 2"}, {"a", 0.25, 0.01}, {"b", 0.25, 0.04}, {"c", 1.0, 0.09},
              {"Average", 0.5, 0.14 / 3}},
             3, 1e-12);
  auto sheet = ResultsSheet();
  EXPECT_EQ(FormatAt(*app, *sheet, 11, 3).numberFormat, "0.0000");
  EXPECT_TRUE(FormatAt(*app, *sheet, 7, 3).bold);
  // Title and the strip from its first cell; every label down to "Average"
  // aligned as labels are.
  EXPECT_TRUE(FormatAt(*app, *sheet, 1, 1).bold && FormatAt(*app, *sheet, 6, 1).bold);
  EXPECT_TRUE(FormatAt(*app, *sheet, 2, 1).border && FormatAt(*app, *sheet, 7, 1).border);
  EXPECT_EQ(FormatAt(*app, *sheet, 5, 3).numberFormat, "General") << "right of the first table";
  for (std::int32_t r : {3, 4, 5, 10, 11})
    EXPECT_EQ(FormatAt(*app, *sheet, r, 1).horizontalAlignment, support::TheAddinGlobals().LabelAlignment()) << r;
}

// Refused inputs of the writer's calls, its header and cursor moves included.
TEST_F(Blocks, RefusedInputsRaiseBeforeOrWhileWriting) {
  const double inf = std::numeric_limits<double>::infinity();
  Matrix withNaN = Filled(2, 2, 1);
  withNaN(2, 1) = std::numeric_limits<double>::quiet_NaN();
  const Array<double> two = Values({1, 2}), three = Values({1, 2, 3}), bad = Values({1, inf});
  struct Case {
    const char* what;
    std::function<void(clsCorrelationOutput&)> call;
    std::int32_t number;
    const char* procedure;
    std::optional<Grid> written;  // what stays on the sheet, where known
  };
  const std::vector<Case> cases = {
      {"fewer column names than columns (what was written stays)",
       [](auto& o) { o.OutputMatrix(Names({"a", "b"}), Names({"x", "y"}), Variant(Filled(2, 3, 1)), "T"); },
       rt::kSubscriptOutOfRange, "OutputMatrix", Grid{{"T"}, {"", "a", "b"}}},
      {"fewer row names than rows",
       [](auto& o) { o.OutputMatrix(Names({"a"}), Names({"x"}), Variant(Filled(2, 1, 1)), "T"); },
       rt::kSubscriptOutOfRange, "OutputMatrix", std::nullopt},
      {"text body", [](auto& o) { o.OutputMatrix(Names({"a"}), Names({"x"}), Variant("0.5"), "T"); },
       rt::kTypeMismatch, "OutputMatrix", Grid{}},
      {"empty body", [](auto& o) { o.OutputMatrix(Names({"a"}), Names({"x"}), Variant(Matrix()), "T"); },
       rt::kSubscriptOutOfRange, "OutputMatrix", Grid{}},
      {"NaN", [&](auto& o) { o.OutputMatrix(Names({"a", "b"}), Names({"x", "y"}), Variant(withNaN), "T"); },
       rt::kOverflow, "OutputMatrix", Grid{}},
      {"infinite statistic", [&](auto& o) { o.OutputDescriptives(Names({"a", "b"}), bad, bad, bad, bad); },
       rt::kOverflow, "OutputDescriptives", Grid{}},
      {"infinite mean", [&](auto& o) { o.OutputDescriptives(Names({"a", "b"}), bad, two, two, two); },
       rt::kOverflow, "OutputDescriptives", Grid{}},
      {"statistics shorter than the names",
       [&](auto& o) { o.OutputDescriptives(Names({"u", "v", "w"}), two, three, three, three); },
       rt::kSubscriptOutOfRange, "OutputDescriptives", std::nullopt},
      {"more than 32767 rows",
       [](auto& o) { o.OutputExplained(Array<std::string>::Vector(32768), Matrix::Matrix(32768, 1), "T"); },
       rt::kOverflow, "OutputExplained", Grid{}},
      {"negative blank lines", [](auto& o) { o.InsertBlankLines(-2); }, rt::kInvalidCall, "InsertBlankLines", Grid{}},
      {"negative lines after a comment", [](auto& o) { o.OutputComment("up", -3); }, rt::kInvalidCall, "OutputComment",
       Grid{}},
      {"a three-line header without a Y range (its first line stays)",
       [](auto& o) { o.Method(1); o.OutputHeader("S!$A$1:$A$4", Variant::Missing(), Variant("")); },
       rt::kTypeMismatch, "OutputHeader", Grid{{"Multiple Correlation Results for:"}}},
  };
  for (const Case& c : cases) {
    clsCorrelationOutput out;
    const Error e = ErrorOf([&] { c.call(out); });
    EXPECT_EQ(e.Number(), c.number) << c.what;
    EXPECT_TRUE(e.Source().ends_with(std::string("clsCorrelationOutput.") + c.procedure)) << c.what << e.Source();
    if (!c.written) continue;
    if (c.written->empty()) {
      EXPECT_EQ(out.CurrentRow(), 1) << c.what << ": refused before anything was written";
    }
    ExpectGrid(*ResultsSheet(), *c.written, 4);
  }
}

}  // namespace
}  // namespace nml::report
