// Whole runs through clsCorrelation::Results on the worksheet host: read the
// ranges, analyse, lay the report out, paste it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "host/application.h"
#include "support/host_link.h"
#include "host/workbook.h"
#include "host/worksheet.h"
#include "nmlcorrelation/correlation.h"

namespace {

// A workbook whose sheet "Data" holds a name row and `rows` cases of `cols`
// correlated columns.
nml::host::ApplicationRef MakeHost(std::int32_t rows, std::int32_t cols) {
  auto app = nml::host::Application::Create();
  nml::support::TheHostLink().Attach(app);
  auto book = app->Workbooks()->Add("Book1");
  auto sheet = book->Worksheets()->Item(1);
  sheet->SetName("Data");
  std::mt19937_64 rng(42);
  std::normal_distribution<double> z(0.0, 1.0);
  auto names = nml::Array<nml::Variant>::Matrix(1, cols);
  for (std::int32_t c = 1; c <= cols; ++c) names(1, c) = nml::Variant(std::string("v").append(std::to_string(c)));
  sheet->GetRange(*sheet->Cells(1, 1), *sheet->Cells(1, cols))->SetValue(nml::Variant(names));
  auto values = nml::Array<nml::Variant>::Matrix(rows, cols);
  for (std::int32_t r = 1; r <= rows; ++r) {
    const double common = z(rng);
    for (std::int32_t c = 1; c <= cols; ++c) values(r, c) = nml::Variant(0.4 * common + z(rng) + c);
  }
  sheet->GetRange(*sheet->Cells(2, 1), *sheet->Cells(rows + 1, cols))->SetValue(nml::Variant(std::move(values)));
  return app;
}

std::string Column(std::int32_t c) {
  std::string s;
  for (; c > 0; c = (c - 1) / 26) s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
  return s;
}

void BM_SimpleThroughResults(benchmark::State& state) {
  const auto rows = static_cast<std::int32_t>(state.range(0));
  const auto cols = static_cast<std::int32_t>(state.range(1));
  auto app = MakeHost(rows, cols);
  for (auto _ : state) {
    nml::clsCorrelation corr;
    corr.XRange("Data!A1:" + Column(cols) + std::to_string(rows + 1));
    corr.Headers(true);
    corr.Descriptives(true);
    corr.OutputRange("Data!" + Column(cols + 3) + "1");
    corr.Results(true);
  }
  nml::support::TheHostLink().Detach();
}
BENCHMARK(BM_SimpleThroughResults)->Args({100000, 50})->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CanonicalThroughResults(benchmark::State& state) {
  const auto rows = static_cast<std::int32_t>(state.range(0));
  const auto half = static_cast<std::int32_t>(state.range(1));
  auto app = MakeHost(rows, 2 * half);
  for (auto _ : state) {
    nml::clsCorrelation corr;
    corr.Method(nml::nmlCorrCanonical);
    corr.XRange("Data!A1:" + Column(half) + std::to_string(rows + 1));
    corr.YRange("Data!" + Column(half + 1) + "1:" + Column(2 * half) + std::to_string(rows + 1));
    corr.Headers(true);
    corr.Raw(true);
    corr.Standardised(true);
    corr.OutputRange("Data!" + Column(2 * half + 3) + "1");
    corr.Results(true);
  }
  nml::support::TheHostLink().Detach();
}
BENCHMARK(BM_CanonicalThroughResults)->Args({100000, 10})->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
