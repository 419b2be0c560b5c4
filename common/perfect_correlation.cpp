#include "common/perfect_correlation.h"

#include <charconv>

#include "common/number_text.h"

namespace nml {

bool IsPerfectCorrelation(double r, ReadBack how) {
  // r as it shows with 15 digits, read back; locale-free both ways.
  const std::string text = NumberToText(r, 15);
  if (how == ReadBack::kSingle) {
    float f = 0;
    std::from_chars(text.data(), text.data() + text.size(), f);
    return f >= 1.0f;
  }
  return TextToNumber(text).value_or(0.0) >= 1.0;
}

}  // namespace nml
