// The analyses the component offers.
#pragma once

#include <cstdint>

namespace nml {

enum nmlCorrelationMethod : std::int32_t {
  nmlCorrSimple = 0,
  nmlCorrMultiple = 1,
  nmlCorrPartial = 2,
  nmlCorrCanonical = 3,
};

}  // namespace nml
