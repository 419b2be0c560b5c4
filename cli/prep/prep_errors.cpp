#include "cli/prep/prep_errors.h"

namespace nml::prep {

void RaisePrep(std::int32_t code, std::string description) {
  throw Error(ComponentError(code), std::move(description));
}

}  // namespace nml::prep
