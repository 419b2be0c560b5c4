// The engine object: independent copies in and out, the dispatch of Analyse,
// and what a run leaves alone.
#include "engine_fixture.h"

namespace nml::test {
namespace {

Matrix SmallData() { return Cols({{1, 2, 3, 4, 5, 6}, {2, 1, 4, 3, 6, 5}, {5, 3, 4, 1, 2, 0}}); }

TEST(EngineState, SettersAndGettersCopy) {
  clsCorrelationBO e;
  Matrix data = SmallData();
  e.X(data);
  data(1, 1) = 99;  // the caller's array is not the engine's
  Matrix x = e.X();
  x(2, 2) = -7;
  EXPECT_EQ(e.X(), SmallData());
  e.Analyse();
  Variant r = e.R();
  r.Doubles()(1, 2) = 5;
  EXPECT_NE(e.R().Doubles()(1, 2), 5.0);
}

TEST(EngineDispatch, MethodsOutsideTheListRunSimpleCorrelation) {
  clsCorrelationBO simple;
  ASSERT_EQ(Analyse(simple, 0, SmallData()).Number(), 0);
  for (std::int32_t method : {4, -1, 1000}) {
    clsCorrelationBO e;
    ASSERT_EQ(Analyse(e, method, SmallData()).Number(), 0) << method;  // no Y: only simple correlation can run
    EXPECT_EQ(e.Method(), method);
    EXPECT_EQ(e.R(), simple.R()) << method;
    EXPECT_EQ(e.TestStat(), simple.TestStat()) << method;
    EXPECT_EQ(e.P(), simple.P()) << method;
  }
}

TEST(EngineRuns, ARunLeavesWhatItDoesNotCompute) {
  const Matrix x = CsvColumns("iris.csv", {"Sepal.Length", "Sepal.Width"});
  const Matrix y = CsvColumns("iris.csv", {"Petal.Length", "Petal.Width"});
  clsCorrelationBO e;
  ASSERT_EQ(Analyse(e, 0, x, Matrix(), {.descriptives = true}).Number(), 0);
  const Variant testStat = e.TestStat();
  const Array<double> means = e.Means(), sds = e.SDs();

  // Canonical correlation has no TestStat; descriptives off keeps the old ones.
  ASSERT_EQ(Analyse(e, 3, x, y, {.raw = true, .standardised = true}).Number(), 0);
  EXPECT_EQ(e.TestStat(), testStat);
  EXPECT_EQ(e.P().Variants().UBound(1), 4) << "the canonical run did write P";
  EXPECT_EQ(e.Means(), means);
  EXPECT_EQ(e.SDs(), sds);

  // Raw only: the standardised results stay; then neither: the raw ones stay.
  const Matrix stdScores = e.CanVarStdX(), stdLoadings = e.CanLoadingsCrossStdY(), rawScores = e.CanVarRawY();
  const Matrix ySwapped = CsvColumns("iris.csv", {"Petal.Width", "Petal.Length"});
  ASSERT_EQ(Analyse(e, 3, x, ySwapped, {.raw = true}).Number(), 0);
  EXPECT_EQ(e.CanVarStdX(), stdScores);
  EXPECT_EQ(e.CanLoadingsCrossStdY(), stdLoadings);
  EXPECT_FALSE(e.CanVarRawY() == rawScores) << "raw results were renewed";
  const Matrix rawNow = e.CanVarRawY();
  ASSERT_EQ(Analyse(e, 3, y, x).Number(), 0);
  EXPECT_EQ(e.CanVarRawY(), rawNow);
  EXPECT_EQ(e.CanVarStdX(), stdScores);
}

}  // namespace
}  // namespace nml::test
