#include "common/perfect_correlation.h"

#include <cstdio>
#include <cstdlib>

namespace nml {

bool IsPerfectCorrelation(double r, ReadBack how) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", r);
  if (how == ReadBack::kSingle) return std::strtof(text, nullptr) >= 1.0f;
  return std::strtod(text, nullptr) >= 1.0;
}

}  // namespace nml
