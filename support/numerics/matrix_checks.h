// Argument checks shared by the matrix operations, and the Eigen views of
// their arrays. Internal to the numerics layer: nothing outside
// host/numerics includes this header, so Eigen stays here.
#pragma once

#include "support/numerics/eigen_includes.h"
#include <cstdint>
#include <string>
#include <string_view>

#include "nmlcorrelation/array.h"

namespace nml::support::detail {

/// Rows and columns of a matrix argument; a one-dimensional array counts as
/// one column.
inline std::int32_t RowsOf(const Matrix& m) { return m.Rows(); }
inline std::int32_t ColsOf(const Matrix& m) { return m.Cols(); }

using ConstView = Eigen::Map<const Eigen::MatrixXd>;
using View = Eigen::Map<Eigen::MatrixXd>;

/// The column-major storage of m seen as an Eigen matrix, without copying.
inline ConstView ViewOf(const Matrix& m) { return ConstView(m.Data(), RowsOf(m), ColsOf(m)); }
inline View ViewOf(Matrix& m) { return View(m.Data(), RowsOf(m), ColsOf(m)); }

/// "3 by 2": the shape of m for messages.
std::string ShapeText(const Matrix& m);

/// Raises kBadArgument when m was never allocated.
void RequireAllocated(const Matrix& m, std::string_view operation, std::string_view argument);

/// Raises kNonFiniteValue naming the first infinity or NaN of m (row, column).
void RequireFinite(const Matrix& m, std::string_view operation, std::string_view argument);

/// Both checks above.
inline void RequireUsable(const Matrix& m, std::string_view operation, std::string_view argument) {
  RequireAllocated(m, operation, argument);
  RequireFinite(m, operation, argument);
}

/// Raises kNonFiniteValue naming element (row, column) of the argument.
[[noreturn]] void RaiseNonFinite(std::string_view operation, std::string_view argument, std::int64_t row,
                                 std::int64_t column, double value);

/// Raises kNonFiniteValue for a result that overflowed although every input
/// was finite.
[[noreturn]] void RaiseOverflow(std::string_view operation);

/// Raises kShapeMismatch with "operation: detail".
[[noreturn]] void RaiseShape(std::string_view operation, const std::string& detail);

/// True when every element of the n doubles at p is finite.
bool AllFinite(const double* p, std::size_t n);

/// Raises kNotSymmetric unless s is square and symmetric up to rounding:
/// |s(i, j) - s(j, i)| <= tolerance * max |s|. Returns the symmetric part
/// (s + s') / 2, which is s itself when s is exactly symmetric.
Eigen::MatrixXd SymmetricPart(const Matrix& s, std::string_view operation);

/// Text of a number for messages ("1.5E-17").
std::string NumberText(double x);

}  // namespace nml::support::detail
