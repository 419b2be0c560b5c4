// Error-free transformations and double-double arithmetic for the matrix
// operations.
//
// TwoSum (Knuth) and TwoProduct (with a fused multiply-add) return the rounded
// result together with its exact rounding error. Accumulating those errors
// separately gives the compensated dot product Dot2 of Ogita, Rump and Oishi,
// "Accurate sum and dot product", SIAM J. Sci. Comput. 26 (2005): the result
// is as accurate as if it had been computed in twice the working precision
// and then rounded. The double-double operations follow Hida, Li and Bailey,
// "Library for double-double and quad-double arithmetic" (2000).
//
// The build passes -ffp-contract=off, so every a * b + c below rounds twice
// unless it is written as std::fma: the compiler never fuses these formulas
// behind their back, which would break the error-free transformations.
#pragma once

#include <cmath>
#include <cstddef>

namespace nml::support::detail {

/// s = fl(a + b) and e with s + e == a + b exactly.
inline void TwoSum(double a, double b, double& s, double& e) {
  s = a + b;
  const double z = s - a;
  e = (a - (s - z)) + (b - z);
}

/// As TwoSum, for |a| >= |b| (or a == 0).
inline void FastTwoSum(double a, double b, double& s, double& e) {
  s = a + b;
  e = b - (s - a);
}

/// p = fl(a * b) and e with p + e == a * b exactly (barring underflow).
inline void TwoProduct(double a, double b, double& p, double& e) {
  p = a * b;
  e = std::fma(a, b, -p);
}

/// An unevaluated sum hi + lo with |lo| <= ulp(hi) / 2: about 106 bits.
struct DD {
  double hi = 0.0;
  double lo = 0.0;
};

inline DD Add(DD a, double b) {
  double s, e;
  TwoSum(a.hi, b, s, e);
  e += a.lo;
  DD r;
  FastTwoSum(s, e, r.hi, r.lo);
  return r;
}

inline DD Add(DD a, DD b) {
  double s1, s2, t1, t2;
  TwoSum(a.hi, b.hi, s1, s2);
  TwoSum(a.lo, b.lo, t1, t2);
  s2 += t1;
  FastTwoSum(s1, s2, s1, s2);
  s2 += t2;
  DD r;
  FastTwoSum(s1, s2, r.hi, r.lo);
  return r;
}

inline DD Negate(DD a) { return DD{-a.hi, -a.lo}; }

inline DD Mul(DD a, double b) {
  double p, e;
  TwoProduct(a.hi, b, p, e);
  e = std::fma(a.lo, b, e);
  DD r;
  FastTwoSum(p, e, r.hi, r.lo);
  return r;
}

inline DD Mul(DD a, DD b) {
  double p, e;
  TwoProduct(a.hi, b.hi, p, e);
  e += a.hi * b.lo + a.lo * b.hi;
  DD r;
  FastTwoSum(p, e, r.hi, r.lo);
  return r;
}

inline DD Div(DD a, double b) {
  const double q1 = a.hi / b;
  // Remainder a - q1 * b, exact in its leading part.
  double p, e;
  TwoProduct(q1, b, p, e);
  const double rem = ((a.hi - p) - e) + a.lo;
  const double q2 = rem / b;
  DD r;
  FastTwoSum(q1, q2, r.hi, r.lo);
  return r;
}

inline DD Div(DD a, DD b) {
  const double q1 = a.hi / b.hi;
  const DD rem = Add(a, Negate(Mul(b, q1)));
  const double q2 = rem.hi / b.hi;
  DD r;
  FastTwoSum(q1, q2, r.hi, r.lo);
  return r;
}

/// The double nearest to a.
inline double Round(DD a) { return a.hi + a.lo; }

/// s[i] + c[i] += (a[i] + alo[i]) * (b + blo) for i < count, Dot2-style: the
/// product a[i] * b and its sum into s[i] are error-free, their errors and the
/// small cross terms with the low parts go into c[i]. The low parts are used
/// only when the template flags say so. Independent lanes: vectorisable.
template <bool kALow, bool kBLow>
inline void AccumulateProducts(const double* __restrict a, const double* __restrict alo, double b, double blo,
                               double* __restrict s, double* __restrict c, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const double p = a[i] * b;
    const double pe = std::fma(a[i], b, -p);
    const double t = s[i] + p;
    const double z = t - s[i];
    const double e = (s[i] - (t - z)) + (p - z);
    s[i] = t;
    double extra = e + pe;
    if constexpr (kBLow) extra += a[i] * blo;
    if constexpr (kALow) extra += alo[i] * b;
    c[i] += extra;
  }
}

/// Sum of x[0..n) as a double-double (compensated lanes of vector width).
/// When allEqualFirst is given, it is set to whether every value equals x[0].
DD CompensatedSum(const double* x, std::size_t n, bool* allEqualFirst = nullptr);

/// Sum of (x[i] - shift) and of (x[i] - shift)^2 over x[0..n), both
/// compensated (the differences themselves are rounded once).
void CompensatedShiftedSums(const double* x, std::size_t n, double shift, DD& sum, DD& sumSquares);

}  // namespace nml::support::detail
