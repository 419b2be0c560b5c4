#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>

namespace nml::cli {

Progress::Progress() : enabled_(isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() { Finish(); }

void Progress::Stage(const std::string& what) {
  Finish();
  if (!enabled_) return;
  std::fprintf(stderr, "nmlcorr: %s ...", what.c_str());
  std::fflush(stderr);
  started_ = std::chrono::steady_clock::now();
  open_ = true;
}

void Progress::Finish() {
  if (!open_) return;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  std::fprintf(stderr, " %.2f s\n", seconds);
  open_ = false;
}

}  // namespace nml::cli
