// A program of someone else's that uses the installed component.
#include <cstdio>

#include "nmlcorrelation/correlation.h"

int main() {
  nml::clsCorrelation corr;
  corr.Method(nml::nmlCorrCanonical);
  try {
    corr.Results();  // no X range yet
  } catch (const nml::Error& e) {
    if (e.Number() == nml::ComponentError(5012)) {
      std::printf("consumer: error 5012 as expected (%s)\n", e.Source().c_str());
      return 0;
    }
    std::printf("consumer: unexpected error %d\n", e.Number());
    return 1;
  }
  std::printf("consumer: no error\n");
  return 1;
}
