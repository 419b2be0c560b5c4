#include "support/numerics/extended_records.h"

#include <cstring>

namespace nml::support::detail {

namespace {

// Remembered values, factors included, stay below this many bytes.
constexpr std::size_t kMaxBytes = std::size_t{24} << 20;
constexpr std::size_t kMaxRecords = 48;

// The record's own values and those of its factors (counted with it even
// when a factor is remembered on its own too).
std::size_t BytesOf(const ExtendedRecord& r) {
  std::size_t elements = r.hi.Size() + r.lo.Size();
  for (const auto* f : {r.left.get(), r.right.get()})
    if (f) elements += f->hi.Size() + f->lo.Size();
  return elements * sizeof(double);
}

bool SameShape(const Matrix& a, const Matrix& b) {
  return a.Rank() == b.Rank() && a.Rows() == b.Rows() && a.Cols() == b.Cols();
}

}  // namespace

bool ExactlySymmetric(const Matrix& m) {
  const std::int32_t k = m.Rows();
  if (m.Rank() != 2 || m.Cols() != k) return false;
  const double* d = m.Data();
  const std::size_t n = static_cast<std::size_t>(k);
  for (std::size_t j = 0; j < n; ++j)
    for (std::size_t i = j + 1; i < n; ++i)
      if (d[i + j * n] != d[j + i * n]) return false;
  return true;
}

std::shared_ptr<const ExtendedRecord> ExtendedRecords::Find(const Matrix& m) const {
  if (m.Size() == 0 || m.Size() > kMaxElements) return nullptr;
  for (const auto& r : records_)
    if (SameShape(r->hi, m) && std::memcmp(r->hi.Data(), m.Data(), m.Size() * sizeof(double)) == 0) return r;
  return nullptr;
}

std::shared_ptr<const ExtendedRecord> ExtendedRecords::FindOrWrap(const Matrix& m) const {
  if (auto r = Find(m)) return r;
  if (m.Size() > kMaxElements) return nullptr;
  auto wrapped = std::make_shared<ExtendedRecord>();
  wrapped->hi = m;
  wrapped->symmetric = ExactlySymmetric(m);
  return wrapped;
}

void ExtendedRecords::Remember(std::shared_ptr<const ExtendedRecord> record) {
  if (!record || record->hi.Size() == 0 || record->hi.Size() > kMaxElements) return;
  bytes_ += BytesOf(*record);
  records_.push_front(std::move(record));
  while (!records_.empty() && (records_.size() > kMaxRecords || bytes_ > kMaxBytes)) {
    bytes_ -= BytesOf(*records_.back());
    records_.pop_back();
  }
}

}  // namespace nml::support::detail
