// clsCorrelationBO: the statistics engine. Holds the data of one analysis,
// runs it, and keeps every result for the report layouts to read. Each getter
// hands out an independent copy; each setter stores a copy.
#pragma once

#include <cstdint>
#include <memory>

#include "nmlcorrelation/array.h"
#include "nmlcorrelation/boolean.h"
#include "nmlcorrelation/variant.h"

namespace nml {

namespace support {
class MatrixOps;
}

class clsCorrelationBO {
 public:
  /// Method 0, all flags false, a new MatrixOps; results start empty.
  clsCorrelationBO();
  ~clsCorrelationBO();
  clsCorrelationBO(const clsCorrelationBO&) = delete;
  clsCorrelationBO& operator=(const clsCorrelationBO&) = delete;

  // Results (copies).
  Variant R() const;
  Variant P() const;
  Variant TestStat() const;
  Array<double> Means() const;
  Array<double> SDs() const;
  Array<double> SEs() const;
  Array<double> Ns() const;

  // Options.
  void Raw(VBool Val);
  void Standardised(VBool Val);
  void Method(std::int32_t Val);
  std::int32_t Method() const;
  void CalculateDescriptives(VBool Val);

  // Data (copied in and out). The overloads taking an rvalue take over an
  // array its owner gives up, so large data is not held twice.
  void X(const Matrix& Val);
  void X(Matrix&& Val);
  Matrix X() const;
  void Y(const Matrix& Val);
  void Y(Matrix&& Val);
  Matrix Y() const;

  // Canonical results (copies).
  Array<double> CanCorrelations() const;
  Array<double> CanCorrLambda() const;
  Array<double> CanCorrChiSq() const;
  Array<double> CanCorrDF() const;
  Variant CanCorrP() const;
  Matrix CanCoeffsRawX() const;
  Matrix CanCoeffsRawY() const;
  Matrix CanCoeffsStdX() const;
  Matrix CanCoeffsStdY() const;
  Matrix CanLoadingsRawX() const;
  Matrix CanLoadingsRawY() const;
  Matrix CanLoadingsCrossRawX() const;
  Matrix CanLoadingsCrossRawY() const;
  Matrix CanLoadingsStdX() const;
  Matrix CanLoadingsStdY() const;
  Matrix CanLoadingsCrossStdX() const;
  Matrix CanLoadingsCrossStdY() const;
  Matrix CanVarRawY() const;
  Matrix CanVarRawX() const;
  Matrix CanVarStdY() const;
  Matrix CanVarStdX() const;

  /// Runs the analysis chosen by Method: 1 multiple, 2 partial, 3 canonical,
  /// any other value simple correlation.
  void Analyse();

 private:
  void DoMultipleCorr();
  void DoPartialCorr();
  void DoSimpleCorr();
  void DoCanonicalCorr();
  void CanCorr(const Matrix& Syy, const Matrix& Sxx, const Matrix& Syx, const Matrix& Sxy, const Matrix& SyyInv,
               const Matrix& SxxInv, Matrix& coeffsSet2, Matrix& coeffsSet1, Array<double>& canCorrelations,
               std::int16_t m);
  void StdCanCoeffs(const Matrix& Syy, const Matrix& Sxx, const Matrix& rawSet1, const Matrix& rawSet2,
                    Matrix& stdSet1, Matrix& stdSet2);
  void TestCanCorr(const Array<double>& canCorrelations, std::int16_t m, std::int32_t n, const Matrix& x,
                   const Matrix& y, Array<double>& lambdas, Array<double>& chiSqs, Array<double>& dfs,
                   Variant& pValues);

  Matrix x_;
  Matrix y_;
  std::int32_t method_ = 0;
  VBool calculateDescriptives_ = kVFalse;
  VBool raw_ = kVFalse;
  VBool standardised_ = kVFalse;
  Variant r_;
  Variant p_;
  Variant testStat_;
  Array<double> means_, sds_, ses_, ns_;
  Array<double> canCorrelations_, canCorrLambda_, canCorrChiSq_, canCorrDF_;
  Variant canCorrP_;
  Matrix canCoeffsRawX_, canCoeffsRawY_, canCoeffsStdX_, canCoeffsStdY_;
  Matrix canLoadingsRawX_, canLoadingsRawY_, canLoadingsCrossRawX_, canLoadingsCrossRawY_;
  Matrix canLoadingsStdX_, canLoadingsStdY_, canLoadingsCrossStdX_, canLoadingsCrossStdY_;
  Matrix canVarRawX_, canVarRawY_, canVarStdX_, canVarStdY_;
  std::unique_ptr<support::MatrixOps> matrixOps_;
};

}  // namespace nml
