// The numerics' passes run on the program's thread runner.
#pragma once

#include "common/parallel.h"

namespace nml::support::detail {

using nml::ParallelFor;
using nml::SetThreadLimit;
using nml::ThreadCount;

}  // namespace nml::support::detail
