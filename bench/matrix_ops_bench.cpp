// Benchmarks of the support library's matrix operations one by one, at the
// sizes the analyses must handle, on generated data with a fixed seed. The
// analyses themselves, with the engine's own sequence of calls, are timed by
// engine_bench.
//
//   cmake --build build --target matrix_ops_bench && build/bench/matrix_ops_bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "support/numerics/distributions.h"
#include "support/numerics/matrix_ops.h"

namespace {

using nml::Array;
using nml::Matrix;
using nml::Variant;
using nml::support::Distributions;
using nml::support::MatrixOps;

constexpr std::int32_t kCases = 200000;

// n x k data whose columns share a common factor (so correlations are not
// all near 0), with means and spreads that differ from column to column.
Matrix Generate(std::int32_t n, std::int32_t k, std::uint32_t seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  Matrix m = Array<double>::Matrix(n, k);
  std::vector<double> factor(static_cast<std::size_t>(n));
  for (double& f : factor) f = normal(gen);
  for (std::int32_t j = 0; j < k; ++j) {
    const double mean = 10.0 * (j + 1);
    const double scale = 1.0 + 0.1 * j;
    const double loading = 0.3 + 0.5 * ((j * 7) % 10) / 10.0;
    double* col = m.Data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(n);
    for (std::int32_t i = 0; i < n; ++i)
      col[i] = mean + scale * (loading * factor[static_cast<std::size_t>(i)] + normal(gen));
  }
  return m;
}

const Matrix& Data100() {
  static const Matrix m = Generate(kCases, 100, 1);
  return m;
}
const Matrix& DataX50() {
  static const Matrix m = Generate(kCases, 50, 2);
  return m;
}
const Matrix& DataY50() {
  static const Matrix m = Generate(kCases, 50, 3);
  return m;
}

void BM_ColumnDescriptives(benchmark::State& state) {
  const Matrix& x = Data100();
  MatrixOps ops;
  for (auto _ : state) {
    Array<double> means, sds, ses, ns;
    ops.ColumnDescriptives(x, means, sds, ses, ns);
    benchmark::DoNotOptimize(means.Data());
  }
}
BENCHMARK(BM_ColumnDescriptives)->Unit(benchmark::kMillisecond);

void BM_CorrelationMatrix(benchmark::State& state) {
  const Matrix& x = Data100();
  MatrixOps ops;
  for (auto _ : state) benchmark::DoNotOptimize(ops.CorrelationMatrix(x, 0).Data());
}
BENCHMARK(BM_CorrelationMatrix)->Unit(benchmark::kMillisecond);

void BM_TProbability10000(benchmark::State& state) {
  Distributions dist;
  for (auto _ : state) {
    double sum = 0.0;
    for (int i = 0; i < 10000; ++i) sum += dist.TProbability(0.001 * i, kCases - 2, 2).AsDouble();
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_TProbability10000)->Unit(benchmark::kMillisecond);

void BM_CrossProductsXY(benchmark::State& state) {
  MatrixOps ops;
  for (auto _ : state) benchmark::DoNotOptimize(ops.CrossProducts(DataX50(), DataY50()).Data());
}
BENCHMARK(BM_CrossProductsXY)->Unit(benchmark::kMillisecond);

void BM_CrossCorrelations(benchmark::State& state) {
  MatrixOps ops;
  for (auto _ : state) benchmark::DoNotOptimize(ops.CrossCorrelations(DataX50(), DataY50()).Data());
}
BENCHMARK(BM_CrossCorrelations)->Unit(benchmark::kMillisecond);

void BM_MultiplyDataByCoefficients(benchmark::State& state) {
  MatrixOps ops;
  const Matrix coefficients = Generate(50, 50, 4);
  for (auto _ : state) benchmark::DoNotOptimize(ops.Multiply(DataX50(), coefficients).Data());
}
BENCHMARK(BM_MultiplyDataByCoefficients)->Unit(benchmark::kMillisecond);

void BM_AppendColumns(benchmark::State& state) {
  MatrixOps ops;
  for (auto _ : state) benchmark::DoNotOptimize(ops.AppendColumns(DataX50(), DataY50()).Data());
}
BENCHMARK(BM_AppendColumns)->Unit(benchmark::kMillisecond);

// Reading a range's values: 1,000,000 cells by 10 columns of variants.
void BM_ToMatrix(benchmark::State& state) {
  static const Variant values = [] {
    std::mt19937_64 gen(5);
    std::uniform_real_distribution<double> u(-100.0, 100.0);
    Array<Variant> a = Array<Variant>::Matrix(1000000, 10);
    for (std::size_t k = 0; k < a.Size(); ++k) a.Data()[k] = Variant(u(gen));
    return Variant(std::move(a));
  }();
  MatrixOps ops;
  for (auto _ : state) benchmark::DoNotOptimize(ops.ToMatrix(values).Data());
}
BENCHMARK(BM_ToMatrix)->Unit(benchmark::kMillisecond);

// Small-matrix work of the analyses: a 50 x 50 inverse with refinement.
void BM_Inverse50(benchmark::State& state) {
  MatrixOps ops;
  const Matrix s = ops.CrossProducts(DataX50(), DataX50());
  for (auto _ : state) benchmark::DoNotOptimize(ops.Inverse(s).Data());
}
BENCHMARK(BM_Inverse50)->Unit(benchmark::kMicrosecond);

}  // namespace
