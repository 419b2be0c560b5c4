// Progress on standard error while a long run goes on, only when standard
// error is a terminal.
#pragma once

#include <chrono>
#include <string>

namespace nml::cli {

class Progress {
 public:
  Progress();
  ~Progress();
  /// Starts a stage ("reading big.csv"); the previous one is shown as done.
  void Stage(const std::string& what);
  /// Shows how far the stage has come: "writing out.xlsx ... cells 45%".
  void Percent(const char* part, double fraction);
  /// Ends the last stage.
  void Finish();

 private:
  bool enabled_;
  bool open_ = false;
  std::string what_;
  std::string shown_;  // the percentage shown last, "cells 45%"
  std::chrono::steady_clock::time_point started_;
};

}  // namespace nml::cli
