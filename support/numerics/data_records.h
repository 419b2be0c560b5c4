// What MatrixOps remembers about the large data matrices it was given, so
// that the correlations of a data matrix with its own linear combinations
// (the loadings of canonical scores) follow from cross-products already
// formed instead of another pass over the data.
//
// A data matrix is recognised by its signature: where its values live, its
// shape, and a hash of 1,024 values sampled across it. Within one analysis
// the data are not changed between the calls; a matrix that was replaced
// or changed in a sampled value no longer matches, and the operation then
// makes its full pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "nmlcorrelation/array.h"

namespace nml::support::detail {

struct DataSignature {
  const double* data = nullptr;
  std::int32_t rows = 0;
  std::int32_t cols = 0;
  std::uint64_t sample = 0;
  bool operator==(const DataSignature&) const = default;
};

DataSignature SignatureOf(const Matrix& m);

class DataRecords {
 public:
  /// Centred cross-products of a with b (a's columns by b's).
  void RememberCross(const DataSignature& a, const DataSignature& b, const Matrix& cross);
  /// result = a's columns followed by b's.
  void RememberJoin(const DataSignature& a, const DataSignature& b, const DataSignature& result);
  /// result = source * coefficients.
  void RememberProduct(const DataSignature& source, const DataSignature& result, const Matrix& coefficients);

  /// The cross-products of a with b, from a record of (a, b) or, transposed,
  /// of (b, a). False when there is none.
  bool FindCross(const DataSignature& a, const DataSignature& b, Matrix& cross) const;
  /// The two matrices result was joined from. False when none.
  bool FindJoin(const DataSignature& result, DataSignature& a, DataSignature& b) const;
  /// The source and coefficients result was formed from. False when none.
  bool FindProduct(const DataSignature& result, DataSignature& source, Matrix& coefficients) const;

 private:
  struct Cross {
    DataSignature a, b;
    Matrix cross;
  };
  struct Product {
    DataSignature source, result;
    Matrix coefficients;
  };
  struct Join {
    DataSignature a, b, result;
  };
  std::deque<Cross> crosses_;
  std::deque<Join> joins_;
  std::deque<Product> products_;
};

}  // namespace nml::support::detail
