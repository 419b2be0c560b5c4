// Benchmarks of the support library's matrix operations at the sizes the
// analyses must handle, on generated data with a fixed seed. Each analysis
// benchmark makes the calls its analysis makes, in the same order.
//
// Besides the time, every benchmark reports peak_extra_MB: how far the
// resident set grew above what it was before the benchmark (the input data
// already in place), and extra_per_input, that growth over the input size.
//
//   cmake --build build --target matrix_ops_bench && build/bench/matrix_ops_bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "host/numerics/distributions.h"
#include "host/numerics/matrix_ops.h"

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

// Resident-set bookkeeping through /proc: clear_refs 5 resets the high-water
// mark to the current resident size.
long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
  return -1;
}
long ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
  return StatusKb("VmRSS:");
}
void ReportPeak(benchmark::State& state, long baselineKb, double inputBytes) {
  const long peakKb = StatusKb("VmHWM:");
  if (peakKb < 0 || baselineKb < 0) return;
  const double extra = static_cast<double>(peakKb - baselineKb) * 1024.0;
  state.counters["peak_extra_MB"] = extra / 1e6;
  state.counters["extra_per_input"] = extra / inputBytes;
}
double Bytes(const Matrix& m) { return static_cast<double>(m.Size()) * sizeof(double); }

// Simple correlation with descriptives: 200,000 cases by 100 variables.
void BM_SimpleCorrelation(benchmark::State& state) {
  const Matrix& x = Data100();
  const long base = ResetPeak();
  MatrixOps ops;
  for (auto _ : state) {
    Array<double> means, sds, ses, ns;
    ops.ColumnDescriptives(x, means, sds, ses, ns);
    const Matrix r = ops.CorrelationMatrix(x, 0);
    Distributions dist;
    double sum = 0.0;
    for (std::int32_t i = 1; i <= 100; ++i)
      for (std::int32_t j = 1; j <= 100; ++j) {
        const double v = r(i, j) >= 1.0 ? 0.5 : r(i, j);
        const double t = std::fabs(v * std::sqrt(kCases - 2.0) / std::sqrt(1.0 - v * v));
        sum += dist.TProbability(t, kCases - 2, 2).AsDouble();
      }
    benchmark::DoNotOptimize(sum);
  }
  ReportPeak(state, base, Bytes(x));
}
BENCHMARK(BM_SimpleCorrelation)->Unit(benchmark::kMillisecond);

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

// Multiple correlation: 50 predictors, 50 dependent variables, descriptives.
void BM_MultipleCorrelation(benchmark::State& state) {
  const Matrix& x = DataX50();
  const Matrix& y = DataY50();
  const long base = ResetPeak();
  MatrixOps ops;
  for (auto _ : state) {
    {
      const Matrix joined = ops.AppendColumns(y, x);
      Array<double> means, sds, ses, ns;
      ops.ColumnDescriptives(joined, means, sds, ses, ns);
    }
    const Matrix sxx = ops.CrossProducts(x, x);
    const Matrix sxy = ops.CrossProducts(x, y);
    const Matrix syx = ops.Transpose(sxy);
    const Matrix syy = ops.CrossProducts(y, y);
    const Matrix inv = ops.Inverse(sxx, Variant::Missing());
    const Matrix g = ops.Multiply(ops.Multiply(syx, inv), sxy);
    benchmark::DoNotOptimize(g.Data());
    benchmark::DoNotOptimize(syy.Data());
  }
  ReportPeak(state, base, Bytes(x) + Bytes(y));
}
BENCHMARK(BM_MultipleCorrelation)->Unit(benchmark::kMillisecond);

// Partial correlation: 50 control variables, 50 variables of interest.
void BM_PartialCorrelation(benchmark::State& state) {
  const Matrix& x = DataX50();
  const Matrix& y = DataY50();
  const long base = ResetPeak();
  MatrixOps ops;
  for (auto _ : state) {
    {
      const Matrix joined = ops.AppendColumns(y, x);
      Array<double> means, sds, ses, ns;
      ops.ColumnDescriptives(joined, means, sds, ses, ns);
    }
    const Matrix sxx = ops.CrossProducts(x, x);
    const Matrix sxy = ops.CrossProducts(x, y);
    const Matrix syx = ops.Transpose(sxy);
    const Matrix syy = ops.CrossProducts(y, y);
    const Matrix inv = ops.Inverse(sxx, Variant::Missing());
    const Matrix h = ops.Subtract(syy, ops.Multiply(ops.Multiply(syx, inv), sxy));
    Matrix d = Array<double>::Matrix(50, 50);
    for (std::int32_t i = 1; i <= 50; ++i) d(i, i) = 1.0 / std::sqrt(h(i, i));
    const Matrix r = ops.Multiply(ops.Multiply(d, h), d);
    Distributions dist;
    double sum = 0.0;
    for (std::int32_t i = 1; i <= 50; ++i)
      for (std::int32_t j = 1; j <= 50; ++j) {
        const double v = i == j ? 0.5 : r(i, j);
        sum += dist.TProbability(std::fabs(v * std::sqrt(kCases - 52.0) / std::sqrt(1.0 - v * v)), kCases - 52, 2)
                   .AsDouble();
      }
    benchmark::DoNotOptimize(sum);
  }
  ReportPeak(state, base, Bytes(x) + Bytes(y));
}
BENCHMARK(BM_PartialCorrelation)->Unit(benchmark::kMillisecond);

// One set of canonical coefficients, as the engine forms them.
Matrix CanonicalSet(const MatrixOps& ops, const Matrix& sOwn, const Matrix& sCross, const Matrix& sOtherInv,
                    const Matrix& sCrossT) {
  const Matrix b = ops.InverseFactor(ops.SquareRootFactor(sOwn));
  const Matrix c = ops.Multiply(ops.Multiply(sCross, sOtherInv), sCrossT);
  const Matrix w = ops.Transpose(ops.Multiply(b, ops.Multiply(c, ops.Transpose(b))));
  Matrix e = ops.Eigen(w);
  ops.SortEigen(e, -1, 1);
  const Matrix v = ops.SubMatrix(e, 1, 2, e.UBound(2), e.UBound(1) - 1);
  return ops.Multiply(ops.Transpose(b), v);
}

// Canonical correlation: 50 + 50 variables, raw and standardised results
// (without descriptives, which add one AppendColumns and ColumnDescriptives).
void BM_CanonicalCorrelation(benchmark::State& state) {
  const Matrix& x = DataX50();
  const Matrix& y = DataY50();
  const long base = ResetPeak();
  MatrixOps ops;
  for (auto _ : state) {
    const Matrix sxx = ops.CrossProducts(x, x);
    const Matrix sxy = ops.CrossProducts(x, y);
    const Matrix syx = ops.Transpose(sxy);
    const Matrix syy = ops.CrossProducts(y, y);
    const Matrix sxxInv = ops.Inverse(sxx, Variant::Missing());
    const Matrix syyInv = ops.Inverse(syy, Variant::Missing());
    Matrix r;
    {
      const Matrix joined = ops.AppendColumns(x, y);
      r = ops.CorrelationMatrix(joined, 0);
    }
    Distributions dist;
    double sum = 0.0;
    for (std::int32_t i = 1; i <= 100; ++i)
      for (std::int32_t j = 1; j <= 100; ++j) {
        const double v = i == j ? 0.5 : r(i, j);
        sum += dist.TProbability(std::fabs(v * std::sqrt(kCases - 2.0) / std::sqrt(1.0 - v * v)), kCases - 2, 2)
                   .AsDouble();
      }
    benchmark::DoNotOptimize(sum);
    const Matrix coeffY = CanonicalSet(ops, syy, syx, sxxInv, sxy);
    const Matrix coeffX = CanonicalSet(ops, sxx, sxy, syyInv, syx);
    for (int kind = 0; kind < 2; ++kind) {  // raw, then standardised
      const Matrix scoresY = ops.Multiply(y, coeffY);
      const Matrix scoresX = ops.Multiply(x, coeffX);
      benchmark::DoNotOptimize(ops.CrossCorrelations(x, scoresX).Data());
      benchmark::DoNotOptimize(ops.CrossCorrelations(y, scoresY).Data());
      benchmark::DoNotOptimize(ops.CrossCorrelations(x, scoresY).Data());
      benchmark::DoNotOptimize(ops.CrossCorrelations(y, scoresX).Data());
    }
  }
  ReportPeak(state, base, Bytes(x) + Bytes(y));
}
BENCHMARK(BM_CanonicalCorrelation)->Unit(benchmark::kMillisecond);

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
