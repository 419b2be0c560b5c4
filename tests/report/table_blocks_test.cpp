// The writer's table blocks: descriptive table, titled matrices with label
// requests and coordinates, explained-variance tables, and their formats.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/addin_globals.h"
#include "report/cls_correlation_output.h"
#include "report/layouts.h"
#include "report_fixture.h"

namespace nml::report {
namespace {

using testing::ExpectGrid;
using testing::FormatAt;
using testing::Grid;
using testing::Names;
using testing::ReportTest;

using Blocks = ReportTest;

Matrix Filled(std::int32_t rows, std::int32_t cols, double first) {
  Matrix m = Matrix::Matrix(rows, cols);
  double v = first;
  for (std::int32_t i = 1; i <= rows; ++i)
    for (std::int32_t j = 1; j <= cols; ++j) m(i, j) = v++;
  return m;
}

Array<double> Values(std::initializer_list<double> list) {
  Array<double> a = Array<double>::Vector(static_cast<std::int32_t>(list.size()));
  std::int32_t i = 1;
  for (double d : list) a(i++) = d;
  return a;
}

template <class F>
Error Caught(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return Error(0, "none");
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// --- OutputMatrix -------------------------------------------------------------

TEST_F(Blocks, NamedMatrixStartedAtRowTen) {
  clsCorrelationOutput out;
  out.InsertBlankLines(9);
  Variant coords;
  out.OutputMatrix(Names({"a", "b", "c"}), Names({"x", "y", "z"}), Variant(Filled(3, 3, 1)), "Title", &coords);

  Grid g(9);
  g.push_back({"Title"});
  g.push_back({"", "a", "b", "c"});
  g.push_back({"x", 1, 2, 3});
  g.push_back({"y", 4, 5, 6});
  g.push_back({"z", 7, 8, 9});
  ExpectGrid(*ResultsSheet(), g, 4);

  EXPECT_EQ(ScoreCoord(coords, 1, 1), 12);
  EXPECT_EQ(ScoreCoord(coords, 1, 2), 2);
  EXPECT_EQ(ScoreCoord(coords, 2, 1), 14);
  EXPECT_EQ(ScoreCoord(coords, 2, 2), 4);
  const Array<Variant>& c = coords.Variants();
  EXPECT_EQ(c.UBound(1), 2);
  EXPECT_EQ(c.UBound(2), 2);
  EXPECT_EQ(c(1, 1).Kind(), VarKind::kLong);
  EXPECT_EQ(out.CurrentRow(), 15);
  EXPECT_GE(out.WidestColumn(), 4);
}

TEST_F(Blocks, MatrixFormats) {
  clsCorrelationOutput out;
  out.OutputMatrix(Names({"a", "b"}), Names({"x", "y"}), Variant(Filled(2, 2, 0.5)), "Title");
  auto sheet = ResultsSheet();
  EXPECT_TRUE(FormatAt(*app, *sheet, 1, 1).bold) << "title";
  EXPECT_TRUE(FormatAt(*app, *sheet, 2, 2).bold) << "heading strip";
  EXPECT_TRUE(FormatAt(*app, *sheet, 2, 1).bold) << "the strip starts in column 1";
  EXPECT_TRUE(FormatAt(*app, *sheet, 3, 1).bold) << "row labels";
  EXPECT_EQ(FormatAt(*app, *sheet, 3, 1).horizontalAlignment, host::kAlignLeft);
  EXPECT_EQ(FormatAt(*app, *sheet, 3, 2).numberFormat, "0.0000");
  EXPECT_EQ(FormatAt(*app, *sheet, 4, 3).numberFormat, "0.0000");
  EXPECT_EQ(FormatAt(*app, *sheet, 5, 2).numberFormat, "General") << "below the body";
}

TEST_F(Blocks, NoLabelColumnPutsTheBodyInColumnOne) {
  clsCorrelationOutput out;
  Variant coords;
  out.OutputMatrix(Names({"p", "q"}), Names({"", "ignored"}), Variant(Filled(2, 2, 1)), "Bare", &coords);
  ExpectGrid(*ResultsSheet(), {{"Bare"}, {"p", "q"}, {1, 2}, {3, 4}}, 2);
  EXPECT_EQ(ScoreCoord(coords, 1, 2), 1);
  EXPECT_EQ(ScoreCoord(coords, 2, 2), 2);
  EXPECT_EQ(out.WidestColumn(), 3) << "one label column is counted even when there is none";
  EXPECT_TRUE(FormatAt(*app, *ResultsSheet(), 2, 1).bold);
}

TEST_F(Blocks, EnumeratedRowsAndColumns) {
  clsCorrelationOutput out;
  out.OutputMatrix(Names({"Enumerate", "never shown", "CV "}), Names({"Enumerate", "Case", ""}),
                   Variant(Filled(3, 2, 1)), "Scores");
  ExpectGrid(*ResultsSheet(),
             {{"Scores"}, {"Case", "CV 1", "CV 2"}, {1, 1, 2}, {2, 3, 4}, {3, 5, 6}}, 3);
  EXPECT_EQ(out.CurrentRow(), 6);
  // Without a prefix the labels are the bare case numbers, as numeric cells.
  EXPECT_EQ(ResultsSheet()->Store().Get(4, 1).Kind(), VarKind::kDouble);
}

TEST_F(Blocks, EnumeratedRowsWithAPrefix) {
  clsCorrelationOutput out;
  out.OutputMatrix(Names({"R", "P"}), Names({"Enumerate", "Variate", "CV "}), Variant(Filled(2, 2, 1)), "T");
  ExpectGrid(*ResultsSheet(), {{"T"}, {"Variate", "R", "P"}, {"CV 1", 1, 2}, {"CV 2", 3, 4}}, 3);
}

TEST_F(Blocks, OneColumnMatrixClaimsTwoColumns) {
  clsCorrelationOutput out;
  out.OutputMatrix(Names({"R"}), Names({"a", "b", "c", "d", "e"}), Variant(Filled(5, 1, 1)), "Five");
  EXPECT_EQ(out.WidestColumn(), 2);
  EXPECT_EQ(out.CurrentRow(), 8);
}

TEST_F(Blocks, MarkersInAVariantBodyAreWrittenAsTheyAre) {
  Array<Variant> body = Array<Variant>::Matrix(2, 2);
  body(1, 1) = Variant("-");
  body(1, 2) = Variant::Integer(0);
  body(2, 1) = Variant(0.25);
  body(2, 2) = Variant("-");
  clsCorrelationOutput out;
  out.OutputMatrix(Names({"a", "b"}), Names({"a", "b"}), Variant(body), "P");
  ExpectGrid(*ResultsSheet(), {{"P"}, {"", "a", "b"}, {"a", "-", 0}, {"b", 0.25, "-"}}, 3);
  EXPECT_EQ(ResultsSheet()->Store().Get(3, 3).Kind(), VarKind::kInteger);
  EXPECT_EQ(ResultsSheet()->Store().Get(4, 2).Kind(), VarKind::kDouble);
}

TEST_F(Blocks, ShortHeaderArraysAreSubscriptErrors) {
  {
    clsCorrelationOutput out;
    const Error e = Caught([&] { out.OutputMatrix(Names({"a", "b"}), Names({"x", "y"}), Variant(Filled(2, 3, 1)), "T"); });
    EXPECT_EQ(e.Number(), rt::kSubscriptOutOfRange);
    EXPECT_TRUE(EndsWith(e.Source(), " in NMLCorrelation.clsCorrelationOutput.OutputMatrix")) << e.Source();
    // Nothing is undone: the title and the labels that existed stay.
    ExpectGrid(*ResultsSheet(), {{"T"}, {"", "a", "b"}}, 4);
  }
  {
    clsCorrelationOutput out;
    const Error e = Caught([&] { out.OutputMatrix(Names({"a"}), Names({"x"}), Variant(Filled(2, 1, 1)), "T"); });
    EXPECT_EQ(e.Number(), rt::kSubscriptOutOfRange);
  }
  {
    clsCorrelationOutput out;
    const Error e =
        Caught([&] { out.OutputMatrix(Names({"Enumerate", "CV "}), Names({"x"}), Variant(Filled(1, 1, 1)), "T"); });
    EXPECT_EQ(e.Number(), rt::kSubscriptOutOfRange);
  }
}

TEST_F(Blocks, ABodyThatIsNoMatrixWritesNothing) {
  clsCorrelationOutput out;
  const Error text = Caught([&] { out.OutputMatrix(Names({"a"}), Names({"x"}), Variant("0.5"), "T"); });
  EXPECT_EQ(text.Number(), rt::kTypeMismatch);
  EXPECT_TRUE(EndsWith(text.Source(), "clsCorrelationOutput.OutputMatrix")) << text.Source();
  const Error vector = Caught([&] { out.OutputMatrix(Names({"a"}), Names({"x"}), Variant(Values({1, 2})), "T"); });
  EXPECT_EQ(vector.Number(), rt::kSubscriptOutOfRange);
  const Error empty = Caught([&] { out.OutputMatrix(Names({"a"}), Names({"x"}), Variant(Matrix()), "T"); });
  EXPECT_EQ(empty.Number(), rt::kSubscriptOutOfRange);
  EXPECT_EQ(out.CurrentRow(), 1);
  ExpectGrid(*ResultsSheet(), {}, 2);
}

TEST_F(Blocks, NonFiniteNumbersAreRefusedBeforeAnythingIsWritten) {
  clsCorrelationOutput out;
  Matrix m = Filled(2, 2, 1);
  m(2, 1) = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Caught([&] { out.OutputMatrix(Names({"a", "b"}), Names({"x", "y"}), Variant(m), "T"); }).Number(),
            rt::kOverflow);
  Array<Variant> v = Array<Variant>::Matrix(1, 1);
  v(1, 1) = Variant(std::numeric_limits<double>::infinity());
  EXPECT_EQ(Caught([&] { out.OutputMatrix(Names({"a"}), Names({"x"}), Variant(v), "T"); }).Number(), rt::kOverflow);
  const Array<double> bad = Values({1, std::numeric_limits<double>::infinity()});
  EXPECT_EQ(Caught([&] { out.OutputDescriptives(Names({"a", "b"}), bad, bad, bad, bad); }).Number(), rt::kOverflow);
  EXPECT_EQ(out.CurrentRow(), 1);
  ExpectGrid(*ResultsSheet(), {}, 5);
}

// --- OutputDescriptives --------------------------------------------------------------

TEST_F(Blocks, DescriptivesShowOnlyTheNamedVariables) {
  clsCorrelationOutput out;
  out.InsertBlankLines(2);
  const Array<double> mean = Values({1.5, 2.5, 3.5, 4.5, 5.5});
  const Array<double> sd = Values({0.1, 0.2, 0.3, 0.4, 0.5});
  const Array<double> se = Values({0.01, 0.02, 0.03, 0.04, 0.05});
  const Array<double> n = Values({30, 30, 30, 30, 30});
  out.OutputDescriptives(Names({"u", "v", "w"}), mean, sd, se, n);
  ExpectGrid(*ResultsSheet(),
             {{},
              {},
              {"Descriptive Statistics"},
              {"Variable", "Mean", "Std Dev.", "Std Err", "N"},
              {"u", 1.5, 0.1, 0.01, 30},
              {"v", 2.5, 0.2, 0.02, 30},
              {"w", 3.5, 0.3, 0.03, 30}},
             5);
  EXPECT_EQ(out.CurrentRow(), 8) << "the cursor moves by the three rows plus title and headings";
  EXPECT_EQ(out.WidestColumn(), 5);
}

TEST_F(Blocks, DescriptiveFormats) {
  clsCorrelationOutput out;
  out.OutputDescriptives(Names({"u", "v"}), Values({1, 2}), Values({1, 2}), Values({1, 2}), Values({12, 13}));
  auto sheet = ResultsSheet();
  EXPECT_TRUE(FormatAt(*app, *sheet, 1, 1).bold);
  for (std::int32_t c = 1; c <= 5; ++c) EXPECT_TRUE(FormatAt(*app, *sheet, 2, c).bold) << c;
  EXPECT_EQ(FormatAt(*app, *sheet, 3, 5).numberFormat, "0");
  EXPECT_EQ(FormatAt(*app, *sheet, 4, 5).numberFormat, "0");
  EXPECT_EQ(FormatAt(*app, *sheet, 3, 2).numberFormat, "0.0000");
  EXPECT_EQ(FormatAt(*app, *sheet, 4, 4).numberFormat, "0.0000");
  EXPECT_EQ(FormatAt(*app, *sheet, 3, 1).numberFormat, "General");
  const std::int32_t align = support::TheAddinGlobals().LabelAlignment();
  EXPECT_EQ(FormatAt(*app, *sheet, 3, 1).horizontalAlignment, align);
  EXPECT_EQ(FormatAt(*app, *sheet, 4, 1).horizontalAlignment, align);
}

TEST_F(Blocks, ShortStatisticsAreASubscriptError) {
  clsCorrelationOutput out;
  const Error e = Caught([&] {
    out.OutputDescriptives(Names({"u", "v", "w"}), Values({1, 2}), Values({1, 2, 3}), Values({1, 2, 3}),
                           Values({1, 2, 3}));
  });
  EXPECT_EQ(e.Number(), rt::kSubscriptOutOfRange);
  EXPECT_TRUE(EndsWith(e.Source(), "clsCorrelationOutput.OutputDescriptives")) << e.Source();
}

TEST_F(Blocks, WidthNeverShrinks) {
  clsCorrelationOutput out;
  out.OutputDescriptives(Names({"u"}), Values({1}), Values({1}), Values({1}), Values({1}));
  out.OutputMatrix(Names({"R"}), Names({"u"}), Variant(Filled(1, 1, 1)), "R");
  EXPECT_EQ(out.WidestColumn(), 5);
  out.OutputMatrix(Names({"a", "b", "c", "d", "e", "f"}), Names({"u"}), Variant(Filled(1, 6, 1)), "Wide");
  EXPECT_EQ(out.WidestColumn(), 7);
  EXPECT_EQ(out.Results()->Address(), "$A$1:$G$10");
}

// --- OutputExplained ---------------------------------------------------------------

TEST_F(Blocks, ExplainedSquaresAndAverages) {
  clsCorrelationOutput out;
  Matrix loadings = Matrix::Matrix(2, 1);
  loadings(1, 1) = 0.6;
  loadings(2, 1) = -0.8;
  out.OutputExplained(Names({"x1", "x2"}), loadings, "Proportion");
  ExpectGrid(*ResultsSheet(),
             {{"Proportion"}, {"Variable", "CV 1"}, {"x1", 0.36}, {"x2", 0.64}, {"Average", 0.5}}, 2, 1e-12);
  EXPECT_EQ(out.CurrentRow(), 6);
  EXPECT_EQ(out.WidestColumn(), 2);
}

TEST_F(Blocks, ExplainedOverSeveralVariates) {
  clsCorrelationOutput out;
  out.InsertBlankLines(1);
  Matrix loadings = Matrix::Matrix(3, 2);
  loadings(1, 1) = 0.5;
  loadings(2, 1) = 0.5;
  loadings(3, 1) = 1.0;
  loadings(1, 2) = 0.1;
  loadings(2, 2) = -0.2;
  loadings(3, 2) = 0.3;
  out.OutputExplained(Names({"a", "b", "c"}), loadings, "T");
  ExpectGrid(*ResultsSheet(),
             {{},
              {"T"},
              {"Variable", "CV 1", "CV 2"},
              {"a", 0.25, 0.01},
              {"b", 0.25, 0.04},
              {"c", 1.0, 0.09},
              {"Average", 0.5, 0.14 / 3}},
             3, 1e-12);
  EXPECT_EQ(out.CurrentRow(), 8);
  auto sheet = ResultsSheet();
  const std::int32_t align = support::TheAddinGlobals().LabelAlignment();
  for (std::int32_t r = 3; r <= 7; ++r) EXPECT_EQ(FormatAt(*app, *sheet, r, 1).horizontalAlignment, align) << r;
  EXPECT_EQ(FormatAt(*app, *sheet, 4, 2).numberFormat, "0.0000");
  EXPECT_EQ(FormatAt(*app, *sheet, 7, 3).numberFormat, "0.0000");
  EXPECT_TRUE(FormatAt(*app, *sheet, 3, 3).bold);
}

TEST_F(Blocks, ExplainedCountsOverflowSixteenBitsBeforeWriting) {
  clsCorrelationOutput out;
  const Matrix tall = Matrix::Matrix(32768, 1);
  const Error e = Caught([&] { out.OutputExplained(Array<std::string>::Vector(32768), tall, "T"); });
  EXPECT_EQ(e.Number(), rt::kOverflow);
  EXPECT_TRUE(EndsWith(e.Source(), "clsCorrelationOutput.OutputExplained")) << e.Source();
  EXPECT_TRUE(ResultsSheet()->Store().Get(1, 1).IsEmpty());
  EXPECT_EQ(out.CurrentRow(), 1);
}

}  // namespace
}  // namespace nml::report
