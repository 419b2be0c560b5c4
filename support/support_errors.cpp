#include "support/support_errors.h"

#include <utility>

namespace nml::support {

void RaiseSupport(std::int32_t code, std::string description, std::source_location where) {
  Raise(ComponentError(code), std::move(description), {}, where);
}

}  // namespace nml::support
