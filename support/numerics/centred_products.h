// Column means and centred sums of cross-products of data matrices (rows =
// cases), the common core of ColumnDescriptives, CrossProducts,
// CorrelationMatrix and CrossCorrelations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "nmlcorrelation/array.h"

namespace nml::support::detail {

/// Mean of every column of m. A constant column gets its value exactly (so
/// that its centred values are exactly 0); any other column the compensated
/// sum divided by the row count, correctly rounded in all but rare cases.
/// An infinity or NaN raises kNonFiniteValue naming its cell.
std::vector<double> ColumnMeans(const Matrix& m, std::string_view operation, std::string_view argument);

struct CentredProducts {
  std::int32_t rows = 0;  // columns of a
  std::int32_t cols = 0;  // columns of b
  /// rows x cols, column-major: sum over cases of (a_i - mean a_i)(b_j - mean b_j).
  std::vector<double> cross;
  /// The rest of each entry's double-double value: cross + crossLow.
  std::vector<double> crossLow;
  /// Centred sums of squares of a's and of b's columns, when asked for.
  std::vector<double> squaresA;
  std::vector<double> squaresB;
};

/// Centred sums of cross-products of a's columns with b's columns; b null
/// means a with itself, and the result is then exactly symmetric. a and b
/// must have the same row count (checked by the caller), and be finite
/// (checked here, while the means are formed).
CentredProducts CentredCrossProducts(const Matrix& a, const Matrix* b, bool wantSquares,
                                     std::string_view operation);

/// Work (multiply-adds over all cases) up to which the cross-products are
/// accumulated entirely with error-free transformations; larger problems
/// take the blocked matrix-product path.
inline constexpr double kCompensatedCrossWork = 4.0e6;

/// Values (rows times columns) per task when columns are processed in
/// parallel: enough that a task outweighs the cost of handing it out.
inline constexpr std::size_t kColumnTaskValues = 65536;

}  // namespace nml::support::detail
