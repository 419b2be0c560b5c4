// The engine object: its starting state, value semantics of the accessors,
// the dispatch of Analyse, what a run leaves alone, and error sources.
#include <regex>

#include "engine_fixture.h"

namespace nml::test {
namespace {

Matrix SmallData() {
  return Cols({{1, 2, 3, 4, 5, 6}, {2, 1, 4, 3, 6, 5}, {5, 3, 4, 1, 2, 0}});
}

TEST(EngineState, NewEngineHoldsNothing) {
  clsCorrelationBO engine;
  EXPECT_EQ(engine.Method(), 0);
  EXPECT_TRUE(engine.R().IsEmpty());
  EXPECT_TRUE(engine.P().IsEmpty());
  EXPECT_TRUE(engine.TestStat().IsEmpty());
  EXPECT_TRUE(engine.CanCorrP().IsEmpty());
  for (const auto& a : {engine.Means(), engine.SDs(), engine.SEs(), engine.Ns(), engine.CanCorrelations(),
                        engine.CanCorrLambda(), engine.CanCorrChiSq(), engine.CanCorrDF()})
    EXPECT_FALSE(a.Allocated());
  for (const auto& m : {engine.X(), engine.Y(), engine.CanCoeffsRawX(), engine.CanCoeffsRawY(),
                        engine.CanCoeffsStdX(), engine.CanCoeffsStdY(), engine.CanLoadingsRawX(),
                        engine.CanLoadingsRawY(), engine.CanLoadingsCrossRawX(), engine.CanLoadingsCrossRawY(),
                        engine.CanLoadingsStdX(), engine.CanLoadingsStdY(), engine.CanLoadingsCrossStdX(),
                        engine.CanLoadingsCrossStdY(), engine.CanVarRawX(), engine.CanVarRawY(), engine.CanVarStdX(),
                        engine.CanVarStdY()})
    EXPECT_FALSE(m.Allocated());
}

TEST(EngineState, SettersCopyAndGettersHandOutCopies) {
  clsCorrelationBO engine;
  Matrix data = SmallData();
  engine.X(data);
  data(1, 1) = 99;  // the caller's array is not the engine's
  EXPECT_EQ(engine.X()(1, 1), 1.0);

  Matrix copy = engine.X();
  copy(2, 2) = -7;
  EXPECT_EQ(engine.X()(2, 2), 1.0);

  engine.CalculateDescriptives(kVTrue);
  engine.Analyse();
  Array<double> means = engine.Means();
  means(1) = 1000;
  EXPECT_EQ(engine.Means()(1), 3.5);

  Variant r = engine.R();
  r.Doubles()(1, 2) = 5;
  EXPECT_NE(engine.R().Doubles()(1, 2), 5.0);
  Variant p = engine.P();
  p.Variants()(1, 1) = Variant(1.0);
  EXPECT_TRUE(IsMarker(engine.P().Variants()(1, 1)));
}

TEST(EngineState, MovedDataIsTakenOver) {
  clsCorrelationBO engine;
  Matrix data = SmallData();
  engine.Y(std::move(data));
  EXPECT_EQ(engine.Y(), SmallData());
}

TEST(EngineDispatch, MethodsOutsideTheListRunSimpleCorrelation) {
  clsCorrelationBO reference;
  reference.X(SmallData());
  reference.Analyse();

  // Y is never set: only the simple analysis can succeed without it.
  for (std::int32_t method : {4, -1, 1000}) {
    clsCorrelationBO engine;
    engine.X(SmallData());
    engine.Method(method);
    engine.Analyse();
    EXPECT_EQ(engine.Method(), method);
    EXPECT_EQ(engine.R(), reference.R()) << method;
    EXPECT_EQ(engine.TestStat(), reference.TestStat()) << method;
    EXPECT_EQ(engine.P(), reference.P()) << method;
  }
}

TEST(EngineDispatch, MultipleNeedsY) {
  clsCorrelationBO engine;
  engine.X(SmallData());
  engine.Method(1);
  EXPECT_NE(RunExpectingError(engine).Number(), 0);
}

TEST(EngineRuns, CanonicalRunLeavesTestStat) {
  clsCorrelationBO engine;
  engine.X(SmallData());
  engine.Analyse();
  const Variant before = engine.TestStat();
  ASSERT_TRUE(before.IsArray());

  engine.Y(Cols({{3, 1, 4, 1, 5, 9}, {2, 7, 1, 8, 2, 8}}));
  engine.Method(3);
  engine.Analyse();
  EXPECT_EQ(engine.TestStat(), before);
  EXPECT_EQ(engine.P().Variants().UBound(1), 5);  // the canonical run did write P
}

TEST(EngineRuns, DescriptivesAreLeftWhenNotRequested) {
  clsCorrelationBO engine;
  engine.X(SmallData());
  engine.CalculateDescriptives(kVTrue);
  engine.Analyse();
  const Array<double> means = engine.Means();
  const Array<double> sds = engine.SDs();
  ASSERT_EQ(means.UBound(1), 3);

  engine.X(Cols({{10, 20, 30, 40}}));
  engine.CalculateDescriptives(kVFalse);
  engine.Analyse();
  EXPECT_EQ(engine.R().Doubles().UBound(1), 1);
  EXPECT_EQ(engine.Means(), means);
  EXPECT_EQ(engine.SDs(), sds);
}

TEST(EngineErrors, ConstantDependentVariableStopsMultipleCorrelation) {
  clsCorrelationBO engine;
  engine.X(SmallData());
  engine.Y(Cols({{4, 4, 4, 4, 4, 4}}));
  engine.Method(1);
  const Error e = RunExpectingError(engine);
  EXPECT_EQ(e.Number(), rt::kDivisionByZero);
  EXPECT_EQ(e.Description(), "Division by zero");
  EXPECT_TRUE(std::regex_match(e.Source(),
                               std::regex(R"(Line \d+ in NMLCorrelation\.clsCorrelationBO\.DoMultipleCorr\.Analyse)")))
      << e.Source();
}

TEST(EngineErrors, SupportLibraryErrorsPassThroughWithTheirNumber) {
  // Two identical predictors: the cross-product matrix cannot be inverted.
  clsCorrelationBO engine;
  engine.X(Cols({{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}}));
  engine.Y(Cols({{2, 1, 4, 3, 5}}));
  engine.Method(1);
  const Error e = RunExpectingError(engine);
  EXPECT_EQ(e.Number(), ComponentError(6011));
  EXPECT_TRUE(std::regex_match(e.Source(),
                               std::regex(R"(Line \d+ in NMLCorrelation\.clsCorrelationBO\.DoMultipleCorr\.Analyse)")))
      << e.Source();
}

TEST(EngineErrors, MoreThan32767VariablesOverflowTheCounters) {
  clsCorrelationBO engine;
  engine.X(Array<double>::Matrix(3, 32768));
  engine.Y(Cols({{1, 2, 3}}));
  engine.Method(3);
  const Error e = RunExpectingError(engine);
  EXPECT_EQ(e.Number(), rt::kOverflow);
  EXPECT_TRUE(std::regex_match(
      e.Source(), std::regex(R"(Line \d+ in NMLCorrelation\.clsCorrelationBO\.DoCanonicalCorr\.Analyse)")))
      << e.Source();
}

}  // namespace
}  // namespace nml::test
