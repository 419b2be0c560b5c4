// clsCorrelation: the public analysis object.
//
// A caller sets which analysis to run, where the data lie, which optional
// sections to print and where to write, then calls Results:
//
//   nml::clsCorrelation corr;
//   corr.Method(nml::nmlCorrCanonical);
//   corr.XRange("Data!B1:C51");
//   corr.YRange("Data!D1:F51");
//   corr.Headers(true);
//   corr.Descriptives(true);
//   corr.Results();  // the report lands on a new last worksheet
//
// Every failure is raised as nml::Error: the component's own codes as
// 0x80040000 + code (5001 to 5051), everything else with its own number, and
// the source recording the road of the error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "nmlcorrelation/error.h"
#include "nmlcorrelation/export.h"
#include "nmlcorrelation/method.h"

namespace nml {

struct CorrelationState;
class clsCorrelation;

namespace detail {
const CorrelationState& StateOf(const clsCorrelation& corr);
}  // namespace detail

class NML_API clsCorrelation {
 public:
  clsCorrelation();
  ~clsCorrelation();
  clsCorrelation(const clsCorrelation&) = delete;
  clsCorrelation& operator=(const clsCorrelation&) = delete;

  /// The first row of every area holds the variable names.
  void Headers(bool YesNo);
  /// Which analysis: an nmlCorrelationMethod value (others run simple correlation).
  void Method(std::int32_t Meth);
  /// Print descriptive statistics.
  void Descriptives(bool YesNo);
  /// Print standardised canonical results.
  void Standardised(bool YesNo);
  /// Print raw canonical results.
  void Raw(bool YesNo);
  /// Draw charts beside the report.
  void Plots(bool YesNo);
  /// The Y (dependent, of interest, or second-set) variables, as reference text.
  /// Empty text raises 5011; text that is not a reference raises 5009.
  void YRange(const std::string& VR);
  /// The X variables, as reference text. Empty raises 5012; a bad reference 5010.
  void XRange(const std::string& VR);
  /// Top-left cell of the output; empty text means a new last worksheet.
  /// A bad reference raises 5001.
  void OutputRange(const std::string& Value);

  /// Validates the ranges, runs the analysis, lays the report out and pastes
  /// it at the output place (refusing to overwrite data unless OverWrite).
  void Results(bool OverWrite = false);

 private:
  friend const CorrelationState& detail::StateOf(const clsCorrelation& corr);
  std::unique_ptr<CorrelationState> state_;
};

}  // namespace nml
