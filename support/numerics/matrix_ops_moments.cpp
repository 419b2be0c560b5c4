// MatrixOps: descriptive statistics, cross-products and correlations of data
// matrices (rows = cases, columns = variables).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <string>

#include "support/support_errors.h"
#include "support/numerics/centred_products.h"
#include "support/numerics/compensated.h"
#include "support/numerics/matrix_checks.h"
#include "support/numerics/matrix_ops.h"
#include "support/numerics/parallel.h"

namespace nml::support {

namespace {

using detail::CentredProducts;

void RequireCases(const Matrix& m, std::int32_t minimum, std::string_view operation) {
  if (detail::RowsOf(m) >= minimum) return;
  RaiseSupport(kTooFewCases, "MatrixOps." + std::string(operation) + ": " + std::to_string(detail::RowsOf(m)) +
                                 (detail::RowsOf(m) == 1 ? " case" : " cases") + " given, at least " +
                                 std::to_string(minimum) + " needed");
}

void RequireSameRows(const Matrix& a, const Matrix& b, std::string_view operation) {
  if (detail::RowsOf(a) == detail::RowsOf(b)) return;
  detail::RaiseShape(operation, "the matrices need the same number of rows (cases), not " + detail::ShapeText(a) +
                                    " and " + detail::ShapeText(b));
}

// Pearson coefficient from centred sums. A column without spread (sum of
// squares 0, a constant column) correlates 0 with everything. Rounding can
// carry a coefficient of two (anti)proportional columns a unit past 1 in
// magnitude; the clamp keeps it within [-1, 1].
double Correlation(double cross, double squaresI, double squaresJ) {
  if (!(squaresI > 0.0) || !(squaresJ > 0.0)) return 0.0;
  const double product = squaresI * squaresJ;
  double r;
  if (std::isnormal(product) && std::isfinite(product))
    r = cross / std::sqrt(product);
  else
    r = (cross / std::sqrt(squaresI)) / std::sqrt(squaresJ);
  return std::clamp(r, -1.0, 1.0);
}

// Data matrices from this many values on are remembered by their signature.
bool IsLargeData(const Matrix& m) { return m.Size() >= 65536; }

bool SameMatrix(const Matrix& a, const Matrix& b) {
  return &a == &b || (a.Data() == b.Data() && a.Rank() == b.Rank() && a.Rows() == b.Rows() && a.Cols() == b.Cols());
}

}  // namespace

// Corrected moments around a centre c: the compensated sums of z = x - c
// and z^2, and
//   M2 = sum z^2 - (sum z)^2 / n,   SD = sqrt(M2 / (n - 1)),
// with the mean c + sum z / n (Chan, Golub and LeVeque 1983). Rounding grows
// with 1 + (c - mean)^2 / variance, so c is first the mean of the first 4096
// cases (one pass over the data); a column whose pilot centre lies more than
// one standard deviation from its mean (sorted or trending data), or whose
// sums are not finite, is done again around its exact mean (two passes). A
// constant column has SD and SE exactly 0.
void MatrixOps::ColumnDescriptives(const Matrix& data, Array<double>& means, Array<double>& sds,
                                   Array<double>& ses, Array<double>& ns) const {
  detail::RequireAllocated(data, "ColumnDescriptives", "matrix");
  RequireCases(data, 2, "ColumnDescriptives");
  const std::int32_t k = detail::ColsOf(data);
  const std::size_t n = static_cast<std::size_t>(detail::RowsOf(data));
  const double count = static_cast<double>(n);

  Array<double> outMeans = Array<double>::Vector(k);
  Array<double> outSds = Array<double>::Vector(k);
  Array<double> outSes = Array<double>::Vector(k);
  Array<double> outNs = Array<double>::Vector(k);
  // Moments of column c around centre; false when the centre is too far from
  // the mean or a sum is not finite.
  auto moments = [&](std::size_t c, double centre, bool mustAccept) {
    detail::DD sum, squares;
    detail::CompensatedShiftedSums(data.Data() + c * n, n, centre, sum, squares);
    const detail::DD correction = detail::Div(detail::Mul(sum, sum), count);
    const detail::DD m2 = detail::Add(squares, detail::Negate(correction));
    if (!mustAccept && !(std::isfinite(m2.hi) && correction.hi <= m2.hi)) return false;
    const double variance = std::max(detail::Round(detail::Div(m2, count - 1.0)), 0.0);
    const double sd = std::sqrt(variance);
    const std::int32_t j = static_cast<std::int32_t>(c) + 1;
    outMeans(j) = centre + detail::Round(detail::Div(sum, count));
    outSds(j) = sd;
    outSes(j) = sd / std::sqrt(count);
    outNs(j) = count;
    return true;
  };
  // Columns in parallel (each column's figures come from that column alone).
  const std::size_t columns = static_cast<std::size_t>(k);
  const std::size_t perTask = std::max<std::size_t>(1, detail::kColumnTaskValues / n);
  const std::size_t pilotRows = std::min<std::size_t>(n, 4096);
  std::vector<char> again(columns, 0);
  detail::ParallelFor((columns + perTask - 1) / perTask, [&](std::size_t task) {
    for (std::size_t c = task * perTask; c < std::min(columns, (task + 1) * perTask); ++c) {
      bool constant = false;
      const detail::DD pilotSum = detail::CompensatedSum(data.Data() + c * n, pilotRows, &constant);
      const double pilot = constant ? data.Data()[c * n] : detail::Round(detail::Div(pilotSum, static_cast<double>(pilotRows)));
      if (!std::isfinite(pilot) || !moments(c, pilot, false)) again[c] = 1;
    }
  });
  if (std::find(again.begin(), again.end(), 1) != again.end()) {
    // Exact means (an infinity or NaN raises kNonFiniteValue naming its cell).
    const std::vector<double> centre = detail::ColumnMeans(data, "ColumnDescriptives", "matrix");
    for (std::size_t c = 0; c < columns; ++c)
      if (again[c]) moments(c, centre[c], true);
  }
  for (std::int32_t j = 1; j <= k; ++j)
    if (!std::isfinite(outSds(j))) detail::RaiseOverflow("ColumnDescriptives");
  means = std::move(outMeans);
  sds = std::move(outSds);
  ses = std::move(outSes);
  ns = std::move(outNs);
}

// Centred sums of cross-products (not divided by n - 1): the common scale of
// every call. See centred_products.cpp for the accumulation.
Matrix MatrixOps::CrossProducts(const Matrix& a, const Matrix& b) const {
  detail::RequireAllocated(a, "CrossProducts", "first matrix");
  detail::RequireAllocated(b, "CrossProducts", "second matrix");
  RequireSameRows(a, b, "CrossProducts");
  RequireCases(a, 1, "CrossProducts");
  const bool same = SameMatrix(a, b);
  const CentredProducts p = detail::CentredCrossProducts(a, same ? nullptr : &b, false, "CrossProducts");
  Matrix result = Array<double>::Matrix(p.rows, p.cols);
  std::copy(p.cross.begin(), p.cross.end(), result.Data());
  if (IsLargeData(a) || IsLargeData(b)) data_.RememberCross(detail::SignatureOf(a), detail::SignatureOf(b), result);
  if (result.Size() <= detail::ExtendedRecords::kMaxElements) {
    auto record = std::make_shared<detail::ExtendedRecord>();
    record->hi = result;
    record->lo = Array<double>::Matrix(p.rows, p.cols);
    std::copy(p.crossLow.begin(), p.crossLow.end(), record->lo.Data());
    record->symmetric = same;
    records_.Remember(std::move(record));
  }
  return result;
}

// The centred cross-products of m = [x y] (joined by AppendColumns) from the
// known blocks Sxx, Sxy and Syy; false when m is no such join or a block is
// not known.
bool MatrixOps::JoinedCrossProducts(const Matrix& m, std::vector<double>& cross) const {
  if (!IsLargeData(m)) return false;
  detail::DataSignature x, y;
  if (!data_.FindJoin(detail::SignatureOf(m), x, y)) return false;
  Matrix sxx, sxy, syy;
  if (!data_.FindCross(x, x, sxx) || !data_.FindCross(x, y, sxy) || !data_.FindCross(y, y, syy)) return false;
  const std::int32_t p = x.cols;
  const std::int32_t q = y.cols;
  if (sxx.Rows() != p || syy.Rows() != q || sxy.Rows() != p || sxy.Cols() != q || p + q != m.Cols()) return false;
  const std::size_t k = static_cast<std::size_t>(p + q);
  cross.assign(k * k, 0.0);
  auto at = [&](std::int32_t i, std::int32_t j) -> double& {
    return cross[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * k];
  };
  for (std::int32_t j = 1; j <= p; ++j)
    for (std::int32_t i = 1; i <= p; ++i) at(i, j) = sxx(i, j);
  for (std::int32_t j = 1; j <= q; ++j)
    for (std::int32_t i = 1; i <= q; ++i) at(p + i, p + j) = syy(i, j);
  for (std::int32_t j = 1; j <= q; ++j)
    for (std::int32_t i = 1; i <= p; ++i) at(i, p + j) = at(p + j, i) = sxy(i, j);
  return true;
}

Matrix MatrixOps::CorrelationMatrix(const Matrix& a, std::int32_t /*option*/) const {
  detail::RequireAllocated(a, "CorrelationMatrix", "matrix");
  RequireCases(a, 2, "CorrelationMatrix");
  CentredProducts p;
  if (JoinedCrossProducts(a, p.cross)) {
    p.rows = p.cols = a.Cols();
  } else {
    p = detail::CentredCrossProducts(a, nullptr, false, "CorrelationMatrix");
  }
  const std::int32_t k = p.rows;
  const std::size_t stride = static_cast<std::size_t>(k);
  Matrix r = Array<double>::Matrix(k, k);
  double* out = r.Data();
  for (std::size_t j = 0; j < stride; ++j) {
    out[j + j * stride] = 1.0;
    for (std::size_t i = 0; i < j; ++i) {
      const double v = Correlation(p.cross[i + j * stride], p.cross[i + i * stride], p.cross[j + j * stride]);
      out[i + j * stride] = v;
      out[j + i * stride] = v;
    }
  }
  return r;
}

// Correlations of a data matrix a with b = s * B from known cross-products:
// the centred cross-products of a with b are S_as B, the centred sum of
// squares of b_j is (B' S_ss B)_jj, both formed in double-double. False when
// b is not such a product or a cross-product is not known.
bool MatrixOps::CorrelationsFromProducts(const Matrix& a, const Matrix& b, Matrix& r) const {
  if (!IsLargeData(b)) return false;
  detail::DataSignature source;
  Matrix coefficients;
  if (!data_.FindProduct(detail::SignatureOf(b), source, coefficients)) return false;
  const detail::DataSignature sa = detail::SignatureOf(a);
  Matrix sas, sss, saa;
  if (!data_.FindCross(sa, source, sas) || !data_.FindCross(source, source, sss) || !data_.FindCross(sa, sa, saa))
    return false;
  const std::int32_t ka = detail::ColsOf(a);
  const std::int32_t p = source.cols;
  const std::int32_t kb = detail::ColsOf(b);
  if (sas.Rows() != ka || sas.Cols() != p || coefficients.Rows() != p || coefficients.Cols() != kb ||
      source.rows != detail::RowsOf(a))
    return false;
  using detail::DD;
  r = Array<double>::Matrix(ka, kb);
  std::vector<DD> column(static_cast<std::size_t>(p));
  for (std::int32_t j = 1; j <= kb; ++j) {
    // S_ss B_j, then B_j' S_ss B_j.
    for (std::int32_t k = 1; k <= p; ++k) {
      DD v;
      for (std::int32_t l = 1; l <= p; ++l) v = detail::Add(v, detail::Mul(DD{sss(k, l), 0.0}, coefficients(l, j)));
      column[static_cast<std::size_t>(k - 1)] = v;
    }
    DD variance;
    for (std::int32_t k = 1; k <= p; ++k)
      variance = detail::Add(variance, detail::Mul(column[static_cast<std::size_t>(k - 1)], coefficients(k, j)));
    for (std::int32_t i = 1; i <= ka; ++i) {
      DD cov;
      for (std::int32_t k = 1; k <= p; ++k) cov = detail::Add(cov, detail::Mul(DD{sas(i, k), 0.0}, coefficients(k, j)));
      r(i, j) = Correlation(detail::Round(cov), saa(i, i), std::max(detail::Round(variance), 0.0));
    }
  }
  return true;
}

Matrix MatrixOps::CrossCorrelations(const Matrix& a, const Matrix& b) const {
  detail::RequireAllocated(a, "CrossCorrelations", "first matrix");
  detail::RequireAllocated(b, "CrossCorrelations", "second matrix");
  RequireSameRows(a, b, "CrossCorrelations");
  RequireCases(a, 2, "CrossCorrelations");
  if (Matrix known; CorrelationsFromProducts(a, b, known)) return known;
  const CentredProducts p = detail::CentredCrossProducts(a, &b, true, "CrossCorrelations");
  Matrix r = Array<double>::Matrix(p.rows, p.cols);
  double* out = r.Data();
  const std::size_t rows = static_cast<std::size_t>(p.rows);
  for (std::size_t j = 0; j < static_cast<std::size_t>(p.cols); ++j)
    for (std::size_t i = 0; i < rows; ++i)
      out[i + j * rows] = Correlation(p.cross[i + j * rows], p.squaresA[i], p.squaresB[j]);
  return r;
}

}  // namespace nml::support
