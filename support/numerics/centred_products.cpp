// Centred cross-products.
//
// Columns are centred before any product is formed: sums of raw products
// minus n * mean_i * mean_j lose all accuracy when the means are large
// against the spread. With z = x - c for a centre c (rounded once),
//
//   S(i, j) = sum z_i z_j - (sum z_i)(sum z_j) / n
//
// is exact for any c; the second term is the correction of the corrected
// two-pass algorithm (Chan, Golub and LeVeque, "Algorithms for computing the
// sample variance", Amer. Statist. 37, 1983), which removes what a rounded
// mean leaves behind. Rounding errors grow with 1 + (c - mean)^2 / variance,
// so c must lie within about one standard deviation of the mean.
//
// Two ways of summing the products:
// - Small problems (up to kCompensatedCrossWork multiply-adds): c is the
//   mean (first pass), x - c is formed exactly (as a double and its rounding
//   error), and every product is accumulated with TwoProduct and TwoSum
//   (Dot2, see compensated.h), so each entry is nearly the correctly rounded
//   centred sum of the data as given. Ill-conditioned regressions on few
//   cases depend on this.
// - Large problems: one pass. c is the mean of the first rows (a pilot
//   estimate); blocks of rows are centred into a scratch buffer, multiplied
//   by the block kernels (a symmetric rank-k update when a matrix meets
//   itself) and each block's products added into double-double
//   accumulators, so rounding grows with the block length, not with n. If a
//   pilot centre turns out more than one standard deviation from its
//   column's mean (sorted or trending data), the sums are formed again
//   around the exact means: two passes, as accurate as ever.
//
// A constant column is centred at its own value exactly, so its centred
// values, its sum of squares and all its cross-products are exactly 0.
#include "support/numerics/centred_products.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

#include "support/numerics/block_kernels.h"
#include "support/numerics/compensated.h"
#include "support/numerics/eigen_includes.h"
#include "support/numerics/matrix_checks.h"
#include "support/numerics/parallel.h"

namespace nml::support::detail {

namespace {

// Mean of x[0..n): exact for a constant column, otherwise the compensated
// sum divided by n.
double CompensatedMean(const double* x, std::size_t n) {
  bool constant = false;
  const DD sum = CompensatedSum(x, n, &constant);
  if (constant) return x[0];
  return Round(Div(sum, static_cast<double>(n)));
}

double ColumnMean(const double* x, std::size_t n, std::string_view operation, std::string_view argument,
                  std::int32_t column) {
  const double mean = CompensatedMean(x, n);
  if (std::isfinite(mean)) return mean;
  for (std::size_t i = 0; i < n; ++i)
    if (!std::isfinite(x[i])) RaiseNonFinite(operation, argument, static_cast<std::int64_t>(i) + 1, column, x[i]);
  // Every value is finite but their sum overflows: sum the values divided by
  // n instead, which cannot.
  DD scaled;
  const double inverse = 1.0 / static_cast<double>(n);
  for (std::size_t i = 0; i < n; ++i) scaled = Add(scaled, x[i] * inverse);
  return Round(scaled);
}

struct Operand {
  const double* data;
  std::int32_t cols;
  std::vector<double> centre;
};

// What one pass accumulates: the products (for a symmetric problem only the
// upper triangle, rows i <= j of column j), and the sums and sums of squares
// of the centred values of every column.
struct Sums {
  std::vector<DD> cross;
  std::vector<DD> sumA, sumB;
  std::vector<DD> squaresA, squaresB;
};

// Copies rows [r0, r0 + count) of m, centred, into z row by row (m.cols
// contiguous values per case): z + zLow is x - centre exactly.
void FillRowMajor(const Operand& m, std::size_t n, std::size_t r0, std::size_t count, double* z, double* zLow) {
  const std::size_t k = static_cast<std::size_t>(m.cols);
  for (std::size_t i = 0; i < k; ++i) {
    const double* col = m.data + i * n + r0;
    const double centre = m.centre[i];
    for (std::size_t r = 0; r < count; ++r) TwoSum(col[r], -centre, z[r * k + i], zLow[r * k + i]);
  }
}

// Sums of the exactly centred values of every column and of their squares,
// both as double-doubles.
void ExactCentredSums(const Operand& m, std::size_t n, std::vector<DD>& sums, std::vector<DD>& squares) {
  const std::size_t k = static_cast<std::size_t>(m.cols);
  sums.assign(k, DD{});
  squares.assign(k, DD{});
  for (std::size_t i = 0; i < k; ++i) {
    const double* col = m.data + i * n;
    const double centre = m.centre[i];
    double s = 0.0, c = 0.0, q = 0.0, qc = 0.0;
    for (std::size_t r = 0; r < n; ++r) {
      double z, zl, t, e, p, pe;
      TwoSum(col[r], -centre, z, zl);
      TwoSum(s, z, t, e);
      s = t;
      c += e + zl;
      TwoProduct(z, z, p, pe);
      TwoSum(q, p, t, e);
      q = t;
      qc += e + pe + 2.0 * z * zl;
    }
    TwoSum(s, c, sums[i].hi, sums[i].lo);
    TwoSum(q, qc, squares[i].hi, squares[i].lo);
  }
}

// Small problems: every product of exactly centred values accumulated
// error-free (the low parts of the centred values take part in the cross
// terms), so each sum is as accurate as if formed in twice the working
// precision from the data as given.
void CompensatedProducts(const Operand& a, const Operand& b, bool symmetric, std::size_t n, Sums& out) {
  const std::size_t ka = static_cast<std::size_t>(a.cols);
  const std::size_t kb = static_cast<std::size_t>(b.cols);
  ExactCentredSums(a, n, out.sumA, out.squaresA);
  if (symmetric) {
    out.sumB = out.sumA;
    out.squaresB = out.squaresA;
  } else {
    ExactCentredSums(b, n, out.sumB, out.squaresB);
  }
  std::vector<double> s(ka * kb, 0.0);
  std::vector<double> c(ka * kb, 0.0);
  const std::size_t block = 128;
  std::vector<double> za(block * ka), zaLow(block * ka);
  std::vector<double> zb(symmetric ? 0 : block * kb), zbLow(symmetric ? 0 : block * kb);
  for (std::size_t r0 = 0; r0 < n; r0 += block) {
    const std::size_t count = std::min(block, n - r0);
    FillRowMajor(a, n, r0, count, za.data(), zaLow.data());
    if (!symmetric) FillRowMajor(b, n, r0, count, zb.data(), zbLow.data());
    const double* zbData = symmetric ? za.data() : zb.data();
    const double* zbLowData = symmetric ? zaLow.data() : zbLow.data();
    for (std::size_t r = 0; r < count; ++r) {
      const double* zr = za.data() + r * ka;
      const double* zrLow = zaLow.data() + r * ka;
      const double* wr = zbData + r * kb;
      const double* wrLow = zbLowData + r * kb;
      // Column j of the result gathers z_i * w_j over i; a symmetric result
      // needs only i <= j.
      for (std::size_t j = 0; j < kb; ++j)
        AccumulateProducts<true, true>(zr, zrLow, wr[j], wrLow[j], s.data() + j * ka, c.data() + j * ka,
                                       symmetric ? j + 1 : ka);
    }
  }
  out.cross.resize(ka * kb);
  for (std::size_t k = 0; k < ka * kb; ++k) TwoSum(s[k], c[k], out.cross[k].hi, out.cross[k].lo);
}

// Large problems: blocks of centred rows multiplied by the block kernels,
// block results summed in double-double. The rows are cut into chunks whose
// size depends only on the problem's shape; each chunk is summed on its own
// (on whichever thread takes it) and the chunks' sums are added in chunk
// order, so the result does not depend on the number of threads.
void BlockedProducts(const Operand& a, const Operand& b, bool symmetric, std::size_t n, Sums& out) {
  const Eigen::Index ka = a.cols;
  const Eigen::Index kb = b.cols;
  // About two megabytes of scratch per block: long enough that adding each
  // block's products into the double-doubles costs little beside the
  // product itself, short enough that rounding within a block stays small.
  const Eigen::Index width = symmetric ? ka : ka + kb;
  Eigen::Index block = std::clamp<Eigen::Index>(262144 / std::max<Eigen::Index>(width, 1), 64, 4096);
  block = std::min<Eigen::Index>(block, static_cast<Eigen::Index>(n));
  const std::size_t blockRows = static_cast<std::size_t>(block);
  // Chunks of at least 32768 rows, and few enough that their sums stay
  // within 64 MB.
  const std::size_t partialBytes = static_cast<std::size_t>(ka * kb + 2 * (ka + kb)) * sizeof(DD);
  const std::size_t maxChunks = std::max<std::size_t>(1, (std::size_t{64} << 20) / partialBytes);
  std::size_t chunkRows = blockRows * std::max<std::size_t>(1, 32768 / blockRows);
  while ((n + chunkRows - 1) / chunkRows > maxChunks) chunkRows *= 2;
  const std::size_t chunks = (n + chunkRows - 1) / chunkRows;
  const BlockKernels& kernels = Kernels();

  auto fill = [n](const Operand& m, std::size_t r0, Eigen::Index count, Eigen::MatrixXd& z) {
    for (Eigen::Index i = 0; i < m.cols; ++i) {
      const Eigen::Map<const Eigen::VectorXd> col(m.data + static_cast<std::size_t>(i) * n + r0, count);
      z.col(i).head(count) = col.array() - m.centre[static_cast<std::size_t>(i)];
    }
  };
  // Sums of the block (in cache), added into the running double-doubles.
  auto addSums = [](const auto& z, std::vector<DD>& sums, std::vector<DD>& squares, bool withSquares) {
    for (Eigen::Index i = 0; i < z.cols(); ++i) {
      const std::size_t k = static_cast<std::size_t>(i);
      sums[k] = Add(sums[k], z.col(i).sum());
      if (withSquares) squares[k] = Add(squares[k], z.col(i).squaredNorm());
    }
  };

  std::vector<Sums> partial(chunks);
  ParallelFor(chunks, [&](std::size_t c) {
    Sums& s = partial[c];
    s.cross.assign(static_cast<std::size_t>(ka * kb), DD{});
    s.sumA.assign(static_cast<std::size_t>(ka), DD{});
    s.squaresA.assign(static_cast<std::size_t>(ka), DD{});
    s.sumB.assign(static_cast<std::size_t>(kb), DD{});
    s.squaresB.assign(static_cast<std::size_t>(kb), DD{});
    Eigen::MatrixXd za(block, ka);
    Eigen::MatrixXd zb(symmetric ? 0 : block, symmetric ? 0 : kb);
    Eigen::MatrixXd product(ka, kb);
    const std::size_t end = std::min(n, (c + 1) * chunkRows);
    for (std::size_t r0 = c * chunkRows; r0 < end; r0 += blockRows) {
      const Eigen::Index count = static_cast<Eigen::Index>(std::min(blockRows, end - r0));
      fill(a, r0, count, za);
      addSums(za.topRows(count), s.sumA, s.squaresA, !symmetric);
      if (symmetric) {
        kernels.selfProduct(za.data(), block, count, ka, product.data());
        // The lower triangle, in the product's own layout (mirrored once
        // at the end).
        for (Eigen::Index j = 0; j < ka; ++j)
          for (Eigen::Index i = j; i < ka; ++i) {
            DD& d = s.cross[static_cast<std::size_t>(i + j * ka)];
            d = Add(d, product(i, j));
          }
      } else {
        fill(b, r0, count, zb);
        kernels.crossProduct(za.data(), block, zb.data(), block, count, ka, kb, product.data());
        addSums(zb.topRows(count), s.sumB, s.squaresB, true);
        for (Eigen::Index k = 0; k < ka * kb; ++k) {
          DD& d = s.cross[static_cast<std::size_t>(k)];
          d = Add(d, product.data()[k]);
        }
      }
    }
  });

  out = std::move(partial[0]);
  for (std::size_t c = 1; c < chunks; ++c) {
    auto addInto = [](std::vector<DD>& to, const std::vector<DD>& from) {
      for (std::size_t k = 0; k < to.size(); ++k) to[k] = Add(to[k], from[k]);
    };
    addInto(out.cross, partial[c].cross);
    addInto(out.sumA, partial[c].sumA);
    addInto(out.squaresA, partial[c].squaresA);
    addInto(out.sumB, partial[c].sumB);
    addInto(out.squaresB, partial[c].squaresB);
  }
  if (symmetric) {
    for (Eigen::Index j = 0; j < ka; ++j)
      for (Eigen::Index i = j + 1; i < ka; ++i)
        out.cross[static_cast<std::size_t>(j + i * ka)] = out.cross[static_cast<std::size_t>(i + j * ka)];
    for (Eigen::Index i = 0; i < ka; ++i) out.squaresA[static_cast<std::size_t>(i)] =
        out.cross[static_cast<std::size_t>(i + i * ka)];
    out.sumB = out.sumA;
    out.squaresB = out.squaresA;
  }
}

// (sum z)^2 / n, the correction for a column's own sum of squares.
DD OwnCorrection(DD sum, double n) { return Div(Mul(sum, sum), n); }

// True when every centre lies within one standard deviation of its column's
// mean: |sum z / n| <= sqrt(M2 / n) with M2 = sum z^2 - (sum z)^2 / n.
bool CentresClose(const std::vector<DD>& sums, const std::vector<DD>& squares, double n) {
  for (std::size_t i = 0; i < sums.size(); ++i) {
    const double correction = Round(OwnCorrection(sums[i], n));
    const double m2 = Round(Add(squares[i], -correction));
    if (correction > m2) return false;
  }
  return true;
}

bool AllFinite(const std::vector<DD>& v) {
  for (const DD& d : v)
    if (!std::isfinite(d.hi) || !std::isfinite(d.lo)) return false;
  return true;
}

}  // namespace

std::vector<double> ColumnMeans(const Matrix& m, std::string_view operation, std::string_view argument) {
  const std::size_t n = static_cast<std::size_t>(RowsOf(m));
  const std::int32_t k = ColsOf(m);
  std::vector<double> means(static_cast<std::size_t>(k), 0.0);
  if (n == 0) return means;
  // Columns in parallel; a column whose mean is not finite is then dealt
  // with in column order, so that the error names the first such cell.
  const std::size_t columnsPerTask = std::max<std::size_t>(1, kColumnTaskValues / n);
  ParallelFor((static_cast<std::size_t>(k) + columnsPerTask - 1) / columnsPerTask, [&](std::size_t task) {
    const std::size_t last = std::min<std::size_t>(static_cast<std::size_t>(k), (task + 1) * columnsPerTask);
    for (std::size_t j = task * columnsPerTask; j < last; ++j) means[j] = CompensatedMean(m.Data() + j * n, n);
  });
  for (std::int32_t j = 0; j < k; ++j)
    if (!std::isfinite(means[static_cast<std::size_t>(j)]))
      means[static_cast<std::size_t>(j)] =
          ColumnMean(m.Data() + static_cast<std::size_t>(j) * n, n, operation, argument, j + 1);
  return means;
}

CentredProducts CentredCrossProducts(const Matrix& a, const Matrix* b, bool wantSquares, std::string_view operation) {
  const bool symmetric = b == nullptr;
  const std::size_t n = static_cast<std::size_t>(RowsOf(a));
  const std::string_view nameA = symmetric ? "matrix" : "first matrix";
  Operand opA{a.Data(), ColsOf(a), {}};
  Operand opB{symmetric ? a.Data() : b->Data(), symmetric ? ColsOf(a) : ColsOf(*b), {}};
  const std::size_t ka = static_cast<std::size_t>(opA.cols);
  const std::size_t kb = static_cast<std::size_t>(opB.cols);

  CentredProducts result;
  result.rows = opA.cols;
  result.cols = opB.cols;
  result.cross.assign(ka * kb, 0.0);
  if (wantSquares) {
    result.squaresA.assign(ka, 0.0);
    result.squaresB.assign(kb, 0.0);
  }
  if (n == 0 || ka == 0 || kb == 0) {
    RequireFinite(a, operation, nameA);
    if (!symmetric) RequireFinite(*b, operation, "second matrix");
    return result;
  }

  auto exactCentres = [&] {
    opA.centre = ColumnMeans(a, operation, nameA);
    opB.centre = symmetric ? opA.centre : ColumnMeans(*b, operation, "second matrix");
  };
  const double work = static_cast<double>(n) * static_cast<double>(ka) *
                      (symmetric ? 0.5 * static_cast<double>(ka + 1) : static_cast<double>(kb));
  Sums sums;
  if (work <= kCompensatedCrossWork) {
    exactCentres();
    CompensatedProducts(opA, opB, symmetric, n, sums);
  } else {
    const std::size_t pilotRows = std::min<std::size_t>(n, 4096);
    auto pilot = [&](const Operand& m) {
      std::vector<double> centre(static_cast<std::size_t>(m.cols));
      for (std::size_t i = 0; i < centre.size(); ++i) centre[i] = CompensatedMean(m.data + i * n, pilotRows);
      return centre;
    };
    opA.centre = pilot(opA);
    opB.centre = symmetric ? opA.centre : pilot(opB);
    BlockedProducts(opA, opB, symmetric, n, sums);
    if (!AllFinite(sums.sumA) || !AllFinite(sums.sumB)) {
      // An infinity or NaN reaches its column's sum: name the cell.
      RequireFinite(a, operation, nameA);
      if (!symmetric) RequireFinite(*b, operation, "second matrix");
    }
    const double count = static_cast<double>(n);
    if (!CentresClose(sums.sumA, sums.squaresA, count) || !CentresClose(sums.sumB, sums.squaresB, count)) {
      exactCentres();
      BlockedProducts(opA, opB, symmetric, n, sums);
    }
  }

  const double count = static_cast<double>(n);
  result.crossLow.assign(ka * kb, 0.0);
  for (std::size_t j = 0; j < kb; ++j) {
    for (std::size_t i = 0; i < ka; ++i) {
      if (symmetric && i > j) continue;
      DD v = Add(sums.cross[i + j * ka], Negate(Div(Mul(sums.sumA[i], sums.sumB[j]), count)));
      // A sum of squares is never negative.
      if (i == j && symmetric && v.hi < 0.0) v = DD{};
      result.cross[i + j * ka] = v.hi;
      result.crossLow[i + j * ka] = v.lo;
      if (symmetric) {
        result.cross[j + i * ka] = v.hi;
        result.crossLow[j + i * ka] = v.lo;
      }
    }
  }
  if (wantSquares) {
    // A sum of squares is never negative; rounding in the correction can
    // push a column whose values differ only in the last bits just below 0.
    for (std::size_t i = 0; i < ka; ++i)
      result.squaresA[i] = std::max(Round(Add(sums.squaresA[i], Negate(OwnCorrection(sums.sumA[i], count)))), 0.0);
    for (std::size_t j = 0; j < kb; ++j)
      result.squaresB[j] = std::max(Round(Add(sums.squaresB[j], Negate(OwnCorrection(sums.sumB[j], count)))), 0.0);
  }
  for (double v : result.cross)
    if (!std::isfinite(v)) RaiseOverflow(operation);
  for (double v : result.squaresA)
    if (!std::isfinite(v)) RaiseOverflow(operation);
  for (double v : result.squaresB)
    if (!std::isfinite(v)) RaiseOverflow(operation);
  return result;
}

}  // namespace nml::support::detail
