#include "cli/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace nml::cli {

Progress::Progress() : enabled_(isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() { Finish(); }

void Progress::Stage(const std::string& what) {
  Finish();
  if (!enabled_) return;
  what_ = what;
  shown_.clear();
  std::fprintf(stderr, "nmlcorr: %s ...", what.c_str());
  std::fflush(stderr);
  started_ = std::chrono::steady_clock::now();
  open_ = true;
}

void Progress::Percent(const char* part, double fraction) {
  if (!open_) return;
  const int percent = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100));
  const std::string text = std::string(part) + " " + std::to_string(percent) + "%";
  if (text == shown_) return;
  // The line is written again from its start; "\033[K" clears what was longer.
  std::fprintf(stderr, "\rnmlcorr: %s ... %s\033[K", what_.c_str(), text.c_str());
  std::fflush(stderr);
  shown_ = text;
}

void Progress::Finish() {
  if (!open_) return;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  if (!shown_.empty()) std::fprintf(stderr, "\rnmlcorr: %s ...\033[K", what_.c_str());
  std::fprintf(stderr, " %.2f s\n", seconds);
  open_ = false;
}

}  // namespace nml::cli
