// The opening that multiple and partial correlation share: the descriptive
// statistics when asked for, and the cross-products of Y regressed on X.
#pragma once

#include "support/numerics/matrix_ops.h"
#include "support/numerics/variation_check.h"
#include "nmlcorrelation/array.h"
#include "nmlcorrelation/boolean.h"

namespace nml::engine {

/// Centred sums of cross-products of X and Y, and the inverse of Sxx.
struct RegressionCrossProducts {
  Matrix sxx, sxy, syx, syy, sxxInv;
};

/// First the check that every X and Y variable varies (else kNoVariation).
/// When descriptives is true, then the descriptive statistics of the Y
/// columns followed by the X columns, into means, sds, ses and ns; then Sxx,
/// Sxy, Syx = Sxy', Syy and Sxx^-1, in that order. It has no error handler of
/// its own: an error leaves through the calling routine's, which names it.
inline RegressionCrossProducts YOnXCrossProducts(support::MatrixOps& ops, const Matrix& x, const Matrix& y,
                                                 VBool descriptives, Array<double>& means, Array<double>& sds,
                                                 Array<double>& ses, Array<double>& ns) {
  support::RequireVariation(x, "the X range");
  support::RequireVariation(y, "the Y range");
  if (IsTrue(descriptives)) {
    const Matrix joined = ops.AppendColumns(y, x);
    ops.ColumnDescriptives(joined, means, sds, ses, ns);
  }
  RegressionCrossProducts s;
  s.sxx = ops.CrossProducts(x, x);
  s.sxy = ops.CrossProducts(x, y);
  s.syx = ops.Transpose(s.sxy);
  s.syy = ops.CrossProducts(y, y);
  s.sxxInv = ops.Inverse(s.sxx, Variant::Missing());
  return s;
}

}  // namespace nml::engine
