// Loop bounds of the engine's 16-bit counters over variables and variates.
#pragma once

#include <cstdint>
#include <source_location>

#include "common/checked.h"

namespace nml::engine {

/// An upper bound as a 16-bit count: more than 32767 raises Overflow (6), as a
/// loop with an Integer counter does. Loops then run a wider counter up to
/// this bound, so the last step never wraps.
inline std::int16_t Count16(std::int32_t upperBound, std::source_location where = std::source_location::current()) {
  return ToInteger(static_cast<std::int64_t>(upperBound), where);
}

}  // namespace nml::engine
