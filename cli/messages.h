// Readable messages for the error numbers users meet on the command line.
#pragma once

#include <string>

#include "nmlcorrelation/error.h"

namespace nml::cli {

/// The number of a write that failed (the file writer's own code for it),
/// used for the output folder and for standard output.
inline constexpr std::int32_t kWriteFailed = 6140;

/// "error 5028: the X and Y ranges have different numbers of rows": the
/// component's code (or the plain number for other errors) and a message
/// that says what went wrong in the user's terms.
std::string DescribeError(const Error& e);

}  // namespace nml::cli
