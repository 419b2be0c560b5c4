#include "support/numerics/double_double_linear.h"

#include <cmath>
#include <utility>

namespace nml::support::detail {

namespace {

inline DD Sub(DD a, DD b) { return Add(a, Negate(b)); }
inline double Magnitude(DD a) { return std::fabs(a.hi); }

}  // namespace

bool InverseDD(const DDMatrix& a, std::size_t k, DDMatrix& inverse) {
  DDMatrix lu = a;
  std::vector<std::size_t> perm(k);
  for (std::size_t i = 0; i < k; ++i) perm[i] = i;
  auto at = [&](std::size_t i, std::size_t j) -> DD& { return lu[i + j * k]; };
  for (std::size_t j = 0; j < k; ++j) {
    std::size_t pivot = j;
    for (std::size_t i = j + 1; i < k; ++i)
      if (Magnitude(at(i, j)) > Magnitude(at(pivot, j))) pivot = i;
    if (at(pivot, j).hi == 0.0) return false;
    if (pivot != j) {
      for (std::size_t c = 0; c < k; ++c) std::swap(at(j, c), at(pivot, c));
      std::swap(perm[j], perm[pivot]);
    }
    const DD d = at(j, j);
    for (std::size_t i = j + 1; i < k; ++i) at(i, j) = Div(at(i, j), d);
    for (std::size_t c = j + 1; c < k; ++c) {
      const DD u = at(j, c);
      if (u.hi == 0.0) continue;
      for (std::size_t i = j + 1; i < k; ++i) at(i, c) = Sub(at(i, c), Mul(at(i, j), u));
    }
  }
  // Column c of the inverse solves L U x = P e_c.
  inverse.assign(k * k, DD{});
  std::vector<DD> x(k);
  for (std::size_t c = 0; c < k; ++c) {
    for (std::size_t i = 0; i < k; ++i) x[i] = DD{perm[i] == c ? 1.0 : 0.0, 0.0};
    for (std::size_t i = 0; i < k; ++i)
      for (std::size_t l = 0; l < i; ++l)
        if (x[l].hi != 0.0) x[i] = Sub(x[i], Mul(at(i, l), x[l]));
    for (std::size_t i = k; i-- > 0;) {
      for (std::size_t l = i + 1; l < k; ++l) x[i] = Sub(x[i], Mul(at(i, l), x[l]));
      x[i] = Div(x[i], at(i, i));
    }
    for (std::size_t i = 0; i < k; ++i) inverse[i + c * k] = x[i];
  }
  return true;
}

std::size_t CholeskyDD(const DDMatrix& s, std::size_t k, DDMatrix& f, std::vector<double>& pivotSquares) {
  f.assign(k * k, DD{});
  pivotSquares.assign(k, 0.0);
  for (std::size_t j = 0; j < k; ++j) {
    DD d = s[j + j * k];
    for (std::size_t l = 0; l < j; ++l) d = Sub(d, Mul(f[j + l * k], f[j + l * k]));
    pivotSquares[j] = d.hi;
    if (!(d.hi > 0.0)) return j;
    // Square root in double-double: one Newton step from the double root.
    const double r = std::sqrt(d.hi);
    double p, e;
    TwoProduct(r, r, p, e);
    const double correction = ((d.hi - p) - e + d.lo) / (2.0 * r);
    DD root;
    FastTwoSum(r, correction, root.hi, root.lo);
    f[j + j * k] = root;
    for (std::size_t i = j + 1; i < k; ++i) {
      DD v = s[i + j * k];
      for (std::size_t l = 0; l < j; ++l) v = Sub(v, Mul(f[i + l * k], f[j + l * k]));
      f[i + j * k] = Div(v, root);
    }
  }
  return k;
}

void TriangularInverseDD(const DDMatrix& f, std::size_t k, bool lower, DDMatrix& inverse) {
  inverse.assign(k * k, DD{});
  // Column c of the inverse solves F x = e_c; for a lower F only rows c..k-1
  // are non-zero, for an upper F only rows 0..c.
  for (std::size_t c = 0; c < k; ++c) {
    if (lower) {
      for (std::size_t i = c; i < k; ++i) {
        DD v{i == c ? 1.0 : 0.0, 0.0};
        for (std::size_t l = c; l < i; ++l) v = Sub(v, Mul(f[i + l * k], inverse[l + c * k]));
        inverse[i + c * k] = Div(v, f[i + i * k]);
      }
    } else {
      for (std::size_t i = c + 1; i-- > 0;) {
        DD v{i == c ? 1.0 : 0.0, 0.0};
        for (std::size_t l = i + 1; l <= c; ++l) v = Sub(v, Mul(f[i + l * k], inverse[l + c * k]));
        inverse[i + c * k] = Div(v, f[i + i * k]);
      }
    }
  }
}

void MultiplyDD(const DDMatrix& a, const DDMatrix& b, std::size_t m, std::size_t p, std::size_t n, DDMatrix& out) {
  out.assign(m * n, DD{});
  for (std::size_t j = 0; j < n; ++j)
    for (std::size_t l = 0; l < p; ++l) {
      const DD v = b[l + j * p];
      if (v.hi == 0.0) continue;
      for (std::size_t i = 0; i < m; ++i) out[i + j * m] = Add(out[i + j * m], Mul(a[i + l * m], v));
    }
}

}  // namespace nml::support::detail
