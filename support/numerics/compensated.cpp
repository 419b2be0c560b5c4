#include "support/numerics/compensated.h"

#include <cstring>

// The vector helpers below are always inlined into each per-level copy of
// the public functions, so no 64-byte vector ever crosses a call: GCC's note
// that passing one would change the calling convention does not apply.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wpsabi"
#elif defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace nml::support::detail {

namespace {

// Doubles operated on lane by lane (GCC vector extensions), eight at a
// time: one AVX-512 register, two AVX or four SSE2 ones. The compensated
// formulas need only +, - and *, which act lane by lane with the same
// rounding as scalar code, so every instruction-set level sums in the same
// order and gets the same digits. The public functions below are compiled
// for the baseline and for the AVX2 and AVX-512 levels, and the processor's
// best is chosen when the program starts.
constexpr std::size_t kLanes = 8;
using V = double __attribute__((vector_size(kLanes * sizeof(double))));
using VMask = long long __attribute__((vector_size(kLanes * sizeof(long long))));

[[gnu::always_inline]] inline V Load(const double* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

[[gnu::always_inline]] inline V Broadcast(double x) {
  V v;
  for (std::size_t l = 0; l < kLanes; ++l) v[l] = x;
  return v;
}

[[gnu::always_inline]] inline void TwoSumV(const V& a, const V& b, V& s, V& e) {
  s = a + b;
  const V z = s - a;
  e = (a - (s - z)) + (b - z);
}

// Dekker's TwoProduct for a square, by splitting d into two 26-bit halves
// (Veltkamp): p + e == d * d exactly for |d| below about 1e145.
[[gnu::always_inline]] inline void TwoSquareV(const V& d, V& p, V& e) {
  const V c = Broadcast(134217729.0) * d;  // 2^27 + 1
  const V hi = c - (c - d);
  const V lo = d - hi;
  p = d * d;
  e = ((hi * hi - p) + Broadcast(2.0) * hi * lo) + lo * lo;
}

[[gnu::always_inline]] inline DD SumLanes(const V& s, const V& c) {
  DD total;
  for (std::size_t l = 0; l < kLanes; ++l) total = Add(total, DD{s[l], c[l]});
  return total;
}

}  // namespace

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__AVX512F__)
#define NML_PER_LEVEL __attribute__((target_clones("default", "arch=x86-64-v3", "arch=x86-64-v4")))
#else
#define NML_PER_LEVEL
#endif

namespace {

// The per-level copies have internal linkage (so has the function choosing
// among them); the public functions below call them.
NML_PER_LEVEL
DD SumPerLevel(const double* x, std::size_t n, bool* allEqualFirst) {
  // Two independent accumulators hide the latency of the running sums.
  V s0 = {}, c0 = {}, s1 = {}, c1 = {};
  VMask differ = {};
  const V first = Broadcast(n > 0 ? x[0] : 0.0);
  std::size_t i = 0;
  for (; i + 2 * kLanes <= n; i += 2 * kLanes) {
    const V a = Load(x + i);
    const V b = Load(x + i + kLanes);
    differ |= (a != first) | (b != first);
    V t, e;
    TwoSumV(s0, a, t, e);
    s0 = t;
    c0 += e;
    TwoSumV(s1, b, t, e);
    s1 = t;
    c1 += e;
  }
  DD total = Add(SumLanes(s0, c0), SumLanes(s1, c1));
  bool equal = true;
  for (std::size_t l = 0; l < kLanes; ++l) equal = equal && differ[l] == 0;
  for (; i < n; ++i) {
    total = Add(total, x[i]);
    equal = equal && x[i] == x[0];
  }
  if (allEqualFirst) *allEqualFirst = equal;
  return total;
}

NML_PER_LEVEL
void ShiftedSumsPerLevel(const double* x, std::size_t n, double shift, DD& sum, DD& sumSquares) {
  V s = {}, c = {}, q = {}, qc = {};
  const V m = Broadcast(shift);
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    const V d = Load(x + i) - m;
    V t, e;
    TwoSumV(s, d, t, e);
    s = t;
    c += e;
    V p, pe;
    TwoSquareV(d, p, pe);
    TwoSumV(q, p, t, e);
    q = t;
    qc += e + pe;
  }
  sum = SumLanes(s, c);
  sumSquares = SumLanes(q, qc);
  for (; i < n; ++i) {
    const double d = x[i] - shift;
    sum = Add(sum, d);
    double p, pe;
    TwoProduct(d, d, p, pe);
    sumSquares = Add(sumSquares, DD{p, pe});
  }
}

}  // namespace

DD CompensatedSum(const double* x, std::size_t n, bool* allEqualFirst) { return SumPerLevel(x, n, allEqualFirst); }

void CompensatedShiftedSums(const double* x, std::size_t n, double shift, DD& sum, DD& sumSquares) {
  ShiftedSumsPerLevel(x, n, shift, sum, sumSquares);
}

}  // namespace nml::support::detail
