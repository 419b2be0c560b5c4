// Construction, destruction and the put-only properties of clsCorrelation.
#include "nmlcorrelation/correlation.h"

#include "common/handlers.h"
#include "frontend/correlation_state.h"
#include "host/application.h"
#include "support/host_link.h"

namespace nml {

namespace {

constexpr std::string_view kClass = "clsCorrelation";

// Flag and method setters: a new value is stored and the cached report
// forgotten; an equal value changes nothing.
template <class T>
void SetAndInvalidate(CorrelationState& s, T& field, T value) {
  if (field != value) {
    field = value;
    s.CachedReport.reset();
  }
}

}  // namespace

clsCorrelation::clsCorrelation() {
  Trail({kClass, "Initialise"}, [&] {
    state_ = std::make_unique<CorrelationState>();
    state_->Engine = std::make_unique<clsCorrelationBO>();
  });
}

const CorrelationState& detail::StateOf(const clsCorrelation& corr) { return *corr.state_; }

// Releasing references cannot fail here; the members go in declaration order.
clsCorrelation::~clsCorrelation() = default;

void clsCorrelation::Headers(bool YesNo) {
  Stamp({kClass, "LetHeaders"}, [&] { SetAndInvalidate(*state_, state_->Headers, ToVBool(YesNo)); });
}

void clsCorrelation::Method(std::int32_t Meth) {
  Stamp({kClass, "LetMethod"}, [&] { SetAndInvalidate(*state_, state_->Method, Meth); });
}

void clsCorrelation::Descriptives(bool YesNo) {
  Stamp({kClass, "LetDescriptives"}, [&] { SetAndInvalidate(*state_, state_->Descriptives, ToVBool(YesNo)); });
}

void clsCorrelation::Standardised(bool YesNo) {
  Stamp({kClass, "LetStandardised"}, [&] { SetAndInvalidate(*state_, state_->Standardised, ToVBool(YesNo)); });
}

void clsCorrelation::Raw(bool YesNo) {
  Stamp({kClass, "LetRaw"}, [&] { SetAndInvalidate(*state_, state_->Raw, ToVBool(YesNo)); });
}

void clsCorrelation::Plots(bool YesNo) {
  Stamp({kClass, "LetPlots"}, [&] { SetAndInvalidate(*state_, state_->Plots, ToVBool(YesNo)); });
}

namespace {

// The X and Y setters: empty text is refused with emptyCode; a text that
// differs from the stored one (case-sensitively) is evaluated through the
// application and clears the cached report; the same text again keeps the
// range resolved before, whatever sheet is active now.
void SetRangeText(CorrelationState& s, const std::string& text, std::string& storedText, host::RangeRef& cells,
                  std::int32_t emptyCode) {
  if (text.empty()) RaiseCode(emptyCode);
  if (text != storedText) {
    cells = support::TheHostLink().Application()->GetRange(text);
    s.CachedReport.reset();
  }
  storedText = text;
}

}  // namespace

void clsCorrelation::YRange(const std::string& VR) {
  MapRangeSetterError(5009, [&] { SetRangeText(*state_, VR, state_->YRangeText, state_->YRangeCells, 5011); });
}

void clsCorrelation::XRange(const std::string& VR) {
  MapRangeSetterError(5010, [&] { SetRangeText(*state_, VR, state_->XRangeText, state_->XRangeCells, 5012); });
}

void clsCorrelation::OutputRange(const std::string& Value) {
  MapRangeSetterError(5001, [&] {
    if (Value.empty())
      state_->OutputCells.reset();
    else
      state_->OutputCells = support::TheHostLink().Application()->GetRange(Value);
  });
}

}  // namespace nml
