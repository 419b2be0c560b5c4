// Benchmarks of the report layouts on large results: the engine runs once
// before timing; each iteration creates a writer (which wipes the scratch
// sheet) and lays the whole report out.
//
//   build-bench/bench/report_bench
//
// Canonical: 100,000 cases, 10 + 10 variables, raw and standardised sections
// (two 100,000-row score tables of 20 columns). Simple: 100,000 cases by 50
// variables with descriptives. CaseLabels: one 100,000-row score column with
// its generated case numbers, the one place labels are written cell by cell
// in bulk.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "engine/cls_correlation_bo.h"
#include "host/application.h"
#include "support/host_link.h"
#include "host/workbook.h"
#include "report/cls_correlation_output.h"
#include "report/layouts.h"

namespace {

using nml::Array;
using nml::clsCorrelationBO;
using nml::Matrix;

constexpr std::int32_t kCases = 100000;

/// n cases of k variables sharing three factors, from a fixed seed.
Matrix Generate(std::int32_t k, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::mt19937_64 factorRng(777);
  std::normal_distribution<double> normal;
  Matrix factors = Matrix::Matrix(kCases, 3);
  for (std::size_t i = 0; i < factors.Size(); ++i) factors.Data()[i] = normal(factorRng);
  Matrix m = Matrix::Matrix(kCases, k);
  for (std::int32_t j = 1; j <= k; ++j)
    for (std::int32_t i = 1; i <= kCases; ++i) m(i, j) = 0.5 * factors(i, (j - 1) % 3 + 1) + normal(rng) + j;
  return m;
}

Array<std::string> Names(const char* prefix, std::int32_t k) {
  Array<std::string> a = Array<std::string>::Vector(k);
  for (std::int32_t i = 1; i <= k; ++i) a(i) = prefix + std::to_string(i);
  return a;
}

struct Host {
  Host() {
    app = nml::host::Application::Create();
    nml::support::TheHostLink().Attach(app);
    data = app->Workbooks()->Add("Book1")->Worksheets()->Item(1);
  }
  ~Host() { nml::support::TheHostLink().Detach(); }
  nml::host::ApplicationRef app;
  nml::host::WorksheetRef data;
};

void BM_CanonicalLayout(benchmark::State& state) {
  Host host;
  clsCorrelationBO engine;
  engine.X(Generate(10, 1));
  engine.Y(Generate(10, 2));
  engine.Method(3);
  engine.Raw(nml::kVTrue);
  engine.Standardised(nml::kVTrue);
  engine.CalculateDescriptives(nml::kVTrue);
  engine.Analyse();

  nml::report::LayoutInput in;
  in.method = 3;
  in.descriptives = nml::kVTrue;
  in.raw = nml::kVTrue;
  in.standardised = nml::kVTrue;
  in.xRangeCells = host.data->GetRange("A2:J100001");
  in.yRangeCells = host.data->GetRange("K2:T100001");
  in.engine = &engine;
  const auto xNames = Names("x", 10);
  const auto yNames = Names("y", 10);
  nml::Variant rawCoords, stdCoords;
  for (auto _ : state) {
    auto range = nml::report::FormatCanonicalResults(in, xNames, yNames, rawCoords, stdCoords);
    benchmark::DoNotOptimize(range);
  }
  state.counters["cells"] = 2.0 * kCases * 21;
}
BENCHMARK(BM_CanonicalLayout)->Unit(benchmark::kMillisecond);

void BM_SimpleLayout(benchmark::State& state) {
  Host host;
  clsCorrelationBO engine;
  engine.X(Generate(50, 3));
  engine.Method(0);
  engine.CalculateDescriptives(nml::kVTrue);
  engine.Analyse();

  nml::report::LayoutInput in;
  in.method = 0;
  in.descriptives = nml::kVTrue;
  in.xRangeCells = host.data->GetRange("A2:AX100001");
  in.engine = &engine;
  const auto names = Names("v", 50);
  for (auto _ : state) {
    auto range = nml::report::FormatSimpleResults(in, names);
    benchmark::DoNotOptimize(range);
  }
}
BENCHMARK(BM_SimpleLayout)->Unit(benchmark::kMillisecond);

void BM_CaseLabels(benchmark::State& state) {
  Host host;
  Array<std::string> cases = Array<std::string>::Vector(3);
  cases(1) = "Enumerate";
  cases(2) = "Case";
  cases(3) = "";
  Array<std::string> caption = Array<std::string>::Vector(1);
  caption(1) = "Score";
  const nml::Variant body(Matrix::Matrix(kCases, 1));
  for (auto _ : state) {
    nml::report::clsCorrelationOutput out;
    out.OutputMatrix(caption, cases, body, "Scores");
    benchmark::DoNotOptimize(out.CurrentRow());
  }
  state.SetItemsProcessed(state.iterations() * kCases);
}
BENCHMARK(BM_CaseLabels)->Unit(benchmark::kMillisecond);

}  // namespace
