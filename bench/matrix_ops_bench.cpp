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

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
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

// Sum of the two-sided p-values of the k x k correlations r with df degrees
// of freedom, as the analyses compute them (the diagonal, and any r of 1,
// replaced by 0.5 so that t stays finite).
double SumPValues(const Matrix& r, std::int32_t k, std::int32_t df) {
  const Distributions dist;
  double sum = 0.0;
  for (std::int32_t i = 1; i <= k; ++i)
    for (std::int32_t j = 1; j <= k; ++j) {
      const double v = i == j || r(i, j) >= 1.0 ? 0.5 : r(i, j);
      sum += dist.TProbability(std::fabs(v * std::sqrt(df) / std::sqrt(1.0 - v * v)), df, 2).AsDouble();
    }
  return sum;
}

// Descriptives of a's columns followed by b's, as the analyses form them
// (the joined copy freed before the next step).
void JoinedDescriptives(const MatrixOps& ops, const Matrix& a, const Matrix& b) {
  const Matrix joined = ops.AppendColumns(a, b);
  Array<double> means, sds, ses, ns;
  ops.ColumnDescriptives(joined, means, sds, ses, ns);
  benchmark::DoNotOptimize(means.Data());
}

// The cross-product blocks of predictors x and dependent variables y.
struct CrossBlocks {
  Matrix sxx, sxy, syx, syy;
};
CrossBlocks FormCrossBlocks(const MatrixOps& ops, const Matrix& x, const Matrix& y) {
  CrossBlocks b{ops.CrossProducts(x, x), ops.CrossProducts(x, y), Matrix{}, Matrix{}};
  b.syx = ops.Transpose(b.sxy);
  b.syy = ops.CrossProducts(y, y);
  return b;
}

// G = (Syx Sxx^-1) Sxy: the part of Syy that x explains.
Matrix Explained(const MatrixOps& ops, const CrossBlocks& b) {
  const Matrix inv = ops.Inverse(b.sxx, Variant::Missing());
  return ops.Multiply(ops.Multiply(b.syx, inv), b.sxy);
}

// Simple correlation with descriptives: 200,000 cases by 100 variables.
void BM_SimpleCorrelation(benchmark::State& state) {
  const Matrix& x = Data100();
  const long base = ResetPeak();
  MatrixOps ops;
  for (auto _ : state) {
    Array<double> means, sds, ses, ns;
    ops.ColumnDescriptives(x, means, sds, ses, ns);
    benchmark::DoNotOptimize(SumPValues(ops.CorrelationMatrix(x, 0), 100, kCases - 2));
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

// Times analysis(ops, x, y) on the 50 + 50 variable data and reports how far
// the resident set grew above the data already in place.
template <class Analysis>
void RunOnXY(benchmark::State& state, Analysis analysis) {
  const Matrix& x = DataX50();
  const Matrix& y = DataY50();
  const long base = ResetPeak();
  const MatrixOps ops;
  for (auto _ : state) analysis(ops, x, y);
  ReportPeak(state, base, Bytes(x) + Bytes(y));
}

// Multiple correlation: 50 predictors, 50 dependent variables, descriptives.
void BM_MultipleCorrelation(benchmark::State& state) {
  RunOnXY(state, [](const MatrixOps& ops, const Matrix& x, const Matrix& y) {
    JoinedDescriptives(ops, y, x);
    const CrossBlocks b = FormCrossBlocks(ops, x, y);
    benchmark::DoNotOptimize(Explained(ops, b).Data());
    benchmark::DoNotOptimize(b.syy.Data());
  });
}
BENCHMARK(BM_MultipleCorrelation)->Unit(benchmark::kMillisecond);

// Partial correlation: 50 control variables, 50 variables of interest.
void BM_PartialCorrelation(benchmark::State& state) {
  RunOnXY(state, [](const MatrixOps& ops, const Matrix& x, const Matrix& y) {
    JoinedDescriptives(ops, y, x);
    const CrossBlocks b = FormCrossBlocks(ops, x, y);
    const Matrix h = ops.Subtract(b.syy, Explained(ops, b));
    Matrix d = Array<double>::Matrix(50, 50);
    for (std::int32_t i = 1; i <= 50; ++i) d(i, i) = 1.0 / std::sqrt(h(i, i));
    benchmark::DoNotOptimize(SumPValues(ops.Multiply(ops.Multiply(d, h), d), 50, kCases - 52));
  });
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
  RunOnXY(state, [](const MatrixOps& ops, const Matrix& x, const Matrix& y) {
    const CrossBlocks b = FormCrossBlocks(ops, x, y);
    const Matrix sxxInv = ops.Inverse(b.sxx, Variant::Missing());
    const Matrix syyInv = ops.Inverse(b.syy, Variant::Missing());
    Matrix r;
    {
      const Matrix joined = ops.AppendColumns(x, y);
      r = ops.CorrelationMatrix(joined, 0);
    }
    benchmark::DoNotOptimize(SumPValues(r, 100, kCases - 2));
    const Matrix coeffY = CanonicalSet(ops, b.syy, b.syx, sxxInv, b.sxy);
    const Matrix coeffX = CanonicalSet(ops, b.sxx, b.sxy, syyInv, b.syx);
    for (int kind = 0; kind < 2; ++kind) {  // raw, then standardised
      const Matrix scoresY = ops.Multiply(y, coeffY);
      const Matrix scoresX = ops.Multiply(x, coeffX);
      benchmark::DoNotOptimize(ops.CrossCorrelations(x, scoresX).Data());
      benchmark::DoNotOptimize(ops.CrossCorrelations(y, scoresY).Data());
      benchmark::DoNotOptimize(ops.CrossCorrelations(x, scoresY).Data());
      benchmark::DoNotOptimize(ops.CrossCorrelations(y, scoresX).Data());
    }
  });
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
