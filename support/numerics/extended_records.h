// The double-double values behind small matrices that MatrixOps returned.
//
// A cross-product matrix, an inverse or a product rounded to doubles loses
// more than any later operation can recover when the data are
// ill-conditioned. MatrixOps therefore remembers, for each small result it
// hands out, the rest of its double-double value (lo), whether its exact
// value is symmetric, and for a product its two factors. An operation handed
// a matrix whose doubles are identical to a remembered result continues from
// hi + lo instead of hi alone, and can tell that a product such as
// B (C B') with a symmetric C is symmetric by construction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

#include "nmlcorrelation/array.h"

namespace nml::support::detail {

struct ExtendedRecord {
  Matrix hi;
  Matrix lo;
  bool symmetric = false;  // the exact value is symmetric
  /// For a product hi + lo = left * right, its factors (as the caller passed
  /// them); empty otherwise.
  std::shared_ptr<const ExtendedRecord> left;
  std::shared_ptr<const ExtendedRecord> right;
};

class ExtendedRecords {
 public:
  /// Results up to this many elements are remembered.
  static constexpr std::size_t kMaxElements = 256 * 256;

  /// The record whose hi holds exactly the doubles of m (same shape), or null.
  std::shared_ptr<const ExtendedRecord> Find(const Matrix& m) const;
  /// The record of m, or (for a small m) a new one with no low part, not
  /// remembered; null for a large m without a record.
  std::shared_ptr<const ExtendedRecord> FindOrWrap(const Matrix& m) const;
  /// Remembers a result (when small enough), the newest first.
  void Remember(std::shared_ptr<const ExtendedRecord> record);

 private:
  std::deque<std::shared_ptr<const ExtendedRecord>> records_;
  std::size_t bytes_ = 0;
};

/// True when m is square and equal to its transpose, bit for bit.
bool ExactlySymmetric(const Matrix& m);

/// The low part of m's record, or null when m has none.
inline const double* LowOf(const std::shared_ptr<const ExtendedRecord>& r) {
  return r && r->lo.Size() == r->hi.Size() ? r->lo.Data() : nullptr;
}

}  // namespace nml::support::detail
