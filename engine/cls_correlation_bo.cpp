// clsCorrelationBO: construction, the accessors and the dispatch of a run.
// Every accessor stamps an error with its own "Get"/"Let" name; getters hand
// out copies and setters keep copies, so nothing is shared with the caller.
#include "engine/cls_correlation_bo.h"

#include <utility>

#include "nmlcorrelation/method.h"
#include "common/handlers.h"
#include "support/numerics/matrix_ops.h"

namespace nml {

namespace {
constexpr std::string_view kClass = "clsCorrelationBO";
}  // namespace

clsCorrelationBO::clsCorrelationBO() {
  Trail({kClass, "Initialise"}, [&] {
    method_ = nmlCorrSimple;
    calculateDescriptives_ = kVFalse;
    raw_ = kVFalse;
    standardised_ = kVFalse;
    matrixOps_ = std::make_unique<support::MatrixOps>();
  });
}

// Releasing the matrix library object cannot fail here; any error would be
// ignored anyway.
clsCorrelationBO::~clsCorrelationBO() = default;

Variant clsCorrelationBO::R() const {
  return Stamp({kClass, "GetR"}, [&] { return r_; });
}
Variant clsCorrelationBO::P() const {
  return Stamp({kClass, "GetP"}, [&] { return p_; });
}
Variant clsCorrelationBO::TestStat() const {
  return Stamp({kClass, "GetTestStat"}, [&] { return testStat_; });
}
Array<double> clsCorrelationBO::Means() const {
  return Stamp({kClass, "GetMeans"}, [&] { return means_; });
}
Array<double> clsCorrelationBO::SDs() const {
  return Stamp({kClass, "GetSDs"}, [&] { return sds_; });
}
Array<double> clsCorrelationBO::SEs() const {
  return Stamp({kClass, "GetSEs"}, [&] { return ses_; });
}
Array<double> clsCorrelationBO::Ns() const {
  return Stamp({kClass, "GetNs"}, [&] { return ns_; });
}

void clsCorrelationBO::Raw(VBool Val) {
  Stamp({kClass, "LetRaw"}, [&] { raw_ = Val; });
}
void clsCorrelationBO::Standardised(VBool Val) {
  Stamp({kClass, "LetStandardised"}, [&] { standardised_ = Val; });
}
void clsCorrelationBO::Method(std::int32_t Val) {
  Stamp({kClass, "LetMethod"}, [&] { method_ = Val; });
}
std::int32_t clsCorrelationBO::Method() const {
  return Stamp({kClass, "GetMethod"}, [&] { return method_; });
}
void clsCorrelationBO::CalculateDescriptives(VBool Val) {
  Stamp({kClass, "LetCalculateDescriptives"}, [&] { calculateDescriptives_ = Val; });
}

void clsCorrelationBO::X(const Matrix& Val) {
  Stamp({kClass, "LetX"}, [&] { x_ = Val; });
}
void clsCorrelationBO::X(Matrix&& Val) {
  Stamp({kClass, "LetX"}, [&] { x_ = std::move(Val); });
}
Matrix clsCorrelationBO::X() const {
  return Stamp({kClass, "GetX"}, [&] { return x_; });
}
void clsCorrelationBO::Y(const Matrix& Val) {
  Stamp({kClass, "LetY"}, [&] { y_ = Val; });
}
void clsCorrelationBO::Y(Matrix&& Val) {
  Stamp({kClass, "LetY"}, [&] { y_ = std::move(Val); });
}
Matrix clsCorrelationBO::Y() const {
  return Stamp({kClass, "GetY"}, [&] { return y_; });
}

Array<double> clsCorrelationBO::CanCorrelations() const {
  return Stamp({kClass, "GetCanCorrelations"}, [&] { return canCorrelations_; });
}
Array<double> clsCorrelationBO::CanCorrLambda() const {
  return Stamp({kClass, "GetCanCorrLambda"}, [&] { return canCorrLambda_; });
}
Array<double> clsCorrelationBO::CanCorrChiSq() const {
  return Stamp({kClass, "GetCanCorrChiSq"}, [&] { return canCorrChiSq_; });
}
Array<double> clsCorrelationBO::CanCorrDF() const {
  return Stamp({kClass, "GetCanCorrDF"}, [&] { return canCorrDF_; });
}
Variant clsCorrelationBO::CanCorrP() const {
  return Stamp({kClass, "GetCanCorrP"}, [&] { return canCorrP_; });
}
Matrix clsCorrelationBO::CanCoeffsRawX() const {
  return Stamp({kClass, "GetCanCoeffsRawX"}, [&] { return canCoeffsRawX_; });
}
Matrix clsCorrelationBO::CanCoeffsRawY() const {
  return Stamp({kClass, "GetCanCoeffsRawY"}, [&] { return canCoeffsRawY_; });
}
Matrix clsCorrelationBO::CanCoeffsStdX() const {
  return Stamp({kClass, "GetCanCoeffsStdX"}, [&] { return canCoeffsStdX_; });
}
Matrix clsCorrelationBO::CanCoeffsStdY() const {
  return Stamp({kClass, "GetCanCoeffsStdY"}, [&] { return canCoeffsStdY_; });
}
Matrix clsCorrelationBO::CanLoadingsRawX() const {
  return Stamp({kClass, "GetCanLoadingsRawX"}, [&] { return canLoadingsRawX_; });
}
Matrix clsCorrelationBO::CanLoadingsRawY() const {
  return Stamp({kClass, "GetCanLoadingsRawY"}, [&] { return canLoadingsRawY_; });
}
Matrix clsCorrelationBO::CanLoadingsCrossRawX() const {
  return Stamp({kClass, "GetCanLoadingsCrossRawX"}, [&] { return canLoadingsCrossRawX_; });
}
Matrix clsCorrelationBO::CanLoadingsCrossRawY() const {
  return Stamp({kClass, "GetCanLoadingsCrossRawY"}, [&] { return canLoadingsCrossRawY_; });
}
Matrix clsCorrelationBO::CanLoadingsStdX() const {
  return Stamp({kClass, "GetCanLoadingsStdX"}, [&] { return canLoadingsStdX_; });
}
Matrix clsCorrelationBO::CanLoadingsStdY() const {
  return Stamp({kClass, "GetCanLoadingsStdY"}, [&] { return canLoadingsStdY_; });
}
Matrix clsCorrelationBO::CanLoadingsCrossStdX() const {
  return Stamp({kClass, "GetCanLoadingsCrossStdX"}, [&] { return canLoadingsCrossStdX_; });
}
Matrix clsCorrelationBO::CanLoadingsCrossStdY() const {
  return Stamp({kClass, "GetCanLoadingsCrossStdY"}, [&] { return canLoadingsCrossStdY_; });
}
Matrix clsCorrelationBO::CanVarRawY() const {
  return Stamp({kClass, "GetCanVarRawY"}, [&] { return canVarRawY_; });
}
Matrix clsCorrelationBO::CanVarRawX() const {
  return Stamp({kClass, "GetCanVarRawX"}, [&] { return canVarRawX_; });
}
Matrix clsCorrelationBO::CanVarStdY() const {
  return Stamp({kClass, "GetCanVarStdY"}, [&] { return canVarStdY_; });
}
Matrix clsCorrelationBO::CanVarStdX() const {
  return Stamp({kClass, "GetCanVarStdX"}, [&] { return canVarStdX_; });
}

void clsCorrelationBO::Analyse() {
  Trail({kClass, "Analyse"}, [&] {
    if (method_ == nmlCorrMultiple) {
      DoMultipleCorr();
    } else if (method_ == nmlCorrPartial) {
      DoPartialCorr();
    } else if (method_ == nmlCorrCanonical) {
      DoCanonicalCorr();
    } else {
      DoSimpleCorr();
    }
  });
}

}  // namespace nml
