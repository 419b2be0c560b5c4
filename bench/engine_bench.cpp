// Benchmarks of the statistics engine on large generated data sets: one
// Analyse per iteration on 200,000 cases, on every core (NML_THREADS=1 for
// one thread). bench/compare_with_numpy.py runs the simple and canonical
// cases against numpy.
//
// Besides the time, each benchmark reports the process's peak resident memory
// during its runs (peak_MB, reset before the first run through
// /proc/self/clear_refs) against the size of the input matrices (input_MB):
// peak_ratio = peak_MB / input_MB, and data_ratio, the same without the
// memory the process held before the data were made (code, libraries). The
// data are moved into the engine, so the input is held once; the canonical
// run must keep four n by m score matrices besides, twice the input.
//
//   build-bench/bench/engine_bench --benchmark_filter=Simple
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <string>

#include "engine/cls_correlation_bo.h"

namespace {

using nml::Array;
using nml::clsCorrelationBO;
using nml::Matrix;

constexpr std::int32_t kCases = 200000;

/// n cases of k variables driven by five shared factors plus noise, from a
/// fixed seed, so that every cross-product matrix is well conditioned.
Matrix Generate(std::int32_t k, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal;
  Matrix m = Array<double>::Matrix(kCases, k);
  Matrix factors = Array<double>::Matrix(kCases, 5);
  std::mt19937_64 factorRng(12345);  // shared by every matrix
  for (std::size_t i = 0; i < factors.Size(); ++i) factors.Data()[i] = normal(factorRng);
  for (std::int32_t j = 1; j <= k; ++j) {
    const std::int32_t f = (j - 1) % 5 + 1;
    const double loading = 0.3 + 0.1 * ((j * 7) % 5);
    const double scale = 1.0 + j;
    for (std::int32_t i = 1; i <= kCases; ++i)
      m(i, j) = scale * (loading * factors(i, f) + normal(rng)) + 10.0 * j;
  }
  return m;
}

long ReadStatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
  return -1;
}

void ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

void Run(benchmark::State& state, std::int32_t method, std::int32_t kx, std::int32_t ky, bool descriptives,
         bool raw, bool standardised) {
  const double baseMb = ReadStatusKb("VmRSS") / 1024.0;
  clsCorrelationBO engine;
  engine.X(Generate(kx, 1));
  if (ky > 0) engine.Y(Generate(ky, 2));
  engine.Method(method);
  engine.CalculateDescriptives(nml::ToVBool(descriptives));
  engine.Raw(nml::ToVBool(raw));
  engine.Standardised(nml::ToVBool(standardised));

  const double inputMb = 8.0 * kCases * (kx + ky) / (1024.0 * 1024.0);
  ResetPeak();
  for (auto _ : state) {
    engine.Analyse();
    benchmark::ClobberMemory();
  }
  const double peakMb = ReadStatusKb("VmHWM") / 1024.0;
  state.counters["input_MB"] = inputMb;
  state.counters["peak_MB"] = peakMb;
  state.counters["peak_ratio"] = peakMb / inputMb;
  state.counters["data_ratio"] = (peakMb - baseMb) / inputMb;
}

void BM_SimpleCorrelation(benchmark::State& state) { Run(state, 0, 100, 0, true, false, false); }
void BM_MultipleCorrelation(benchmark::State& state) { Run(state, 1, 50, 50, false, false, false); }
void BM_PartialCorrelation(benchmark::State& state) { Run(state, 2, 50, 50, false, false, false); }
void BM_CanonicalCorrelation(benchmark::State& state) { Run(state, 3, 50, 50, false, true, true); }
void BM_CanonicalWithDescriptives(benchmark::State& state) { Run(state, 3, 50, 50, true, true, true); }

}  // namespace

BENCHMARK(BM_SimpleCorrelation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MultipleCorrelation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PartialCorrelation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CanonicalCorrelation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CanonicalWithDescriptives)->Unit(benchmark::kMillisecond)->UseRealTime();
