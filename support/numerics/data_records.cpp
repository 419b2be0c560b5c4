#include "support/numerics/data_records.h"

#include <cstring>

namespace nml::support::detail {

namespace {

constexpr std::size_t kKept = 8;
constexpr std::size_t kSamples = 1024;

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  h ^= h >> 31;
  h *= 0xbf58476d1ce4e5b9ULL;
  return h ^ (h >> 29);
}

}  // namespace

DataSignature SignatureOf(const Matrix& m) {
  DataSignature s{m.Data(), m.Rows(), m.Cols(), 0};
  const std::size_t n = m.Size();
  if (n == 0) return s;
  const std::size_t step = n > kSamples ? n / kSamples : 1;
  std::uint64_t h = 0;
  for (std::size_t i = 0; i < n; i += step) {
    std::uint64_t bits;
    std::memcpy(&bits, m.Data() + i, sizeof bits);
    h = Mix(h, bits);
  }
  std::uint64_t last;
  std::memcpy(&last, m.Data() + n - 1, sizeof last);
  s.sample = Mix(h, last);
  return s;
}

void DataRecords::RememberCross(const DataSignature& a, const DataSignature& b, const Matrix& cross) {
  crosses_.push_front(Cross{a, b, cross});
  if (crosses_.size() > kKept) crosses_.pop_back();
}

void DataRecords::RememberProduct(const DataSignature& source, const DataSignature& result,
                                  const Matrix& coefficients) {
  products_.push_front(Product{source, result, coefficients});
  if (products_.size() > kKept) products_.pop_back();
}

bool DataRecords::FindCross(const DataSignature& a, const DataSignature& b, Matrix& cross) const {
  for (const Cross& c : crosses_) {
    if (c.a == a && c.b == b) {
      cross = c.cross;
      return true;
    }
    if (c.a == b && c.b == a) {
      cross = Array<double>::Matrix(c.cross.Cols(), c.cross.Rows());
      for (std::int32_t i = 1; i <= c.cross.Rows(); ++i)
        for (std::int32_t j = 1; j <= c.cross.Cols(); ++j) cross(j, i) = c.cross(i, j);
      return true;
    }
  }
  return false;
}

void DataRecords::RememberJoin(const DataSignature& a, const DataSignature& b, const DataSignature& result) {
  joins_.push_front(Join{a, b, result});
  if (joins_.size() > kKept) joins_.pop_back();
}

bool DataRecords::FindJoin(const DataSignature& result, DataSignature& a, DataSignature& b) const {
  for (const Join& j : joins_)
    if (j.result == result) {
      a = j.a;
      b = j.b;
      return true;
    }
  return false;
}

bool DataRecords::FindProduct(const DataSignature& result, DataSignature& source, Matrix& coefficients) const {
  for (const Product& p : products_)
    if (p.result == result) {
      source = p.source;
      coefficients = p.coefficients;
      return true;
    }
  return false;
}

}  // namespace nml::support::detail
