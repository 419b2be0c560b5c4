// Small dense linear algebra carried out entirely in double-double
// arithmetic (about 32 significant digits): LU inverse, Cholesky factor and
// triangular inverse of column-major k x k matrices. Used for the small
// matrices of the analyses, where the data's cross-products are known to
// double-double precision and an ill-conditioned matrix would otherwise lose
// its digits in a double-precision factorisation.
#pragma once

#include <cstddef>
#include <vector>

#include "support/numerics/compensated.h"

namespace nml::support::detail {

using DDMatrix = std::vector<DD>;  // column-major, k x k

/// Matrices up to this order take the double-double routines.
inline constexpr std::size_t kDoubleDoubleOrder = 64;

/// Inverse by LU with partial pivoting. Returns false when a pivot is
/// exactly zero.
bool InverseDD(const DDMatrix& a, std::size_t k, DDMatrix& inverse);

/// Lower-triangular F with F F' = s (only the lower triangle of s is read).
/// Returns the index of the first column whose pivot is not positive, or k
/// when every pivot is; pivotSquares receives each pivot's square.
std::size_t CholeskyDD(const DDMatrix& s, std::size_t k, DDMatrix& f, std::vector<double>& pivotSquares);

/// Inverse of a lower (lower = true) or upper triangular matrix with a
/// non-zero diagonal, by substitution.
void TriangularInverseDD(const DDMatrix& f, std::size_t k, bool lower, DDMatrix& inverse);

/// s(i, j) = sum over l of a(i, l) * b(l, j) for an m x p a and a p x n b.
void MultiplyDD(const DDMatrix& a, const DDMatrix& b, std::size_t m, std::size_t p, std::size_t n, DDMatrix& out);

}  // namespace nml::support::detail
