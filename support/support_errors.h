// Error numbers raised by the support library. They use the object-error band
// (0x80040000 + code) with codes 6001 to 6099, which the component never
// raises itself; each carries a description naming what went wrong.
#pragma once

#include <cstdint>

#include <source_location>
#include <string>

#include "nmlcorrelation/error.h"

namespace nml::support {

inline constexpr std::int32_t kNonNumericXCell = 6001;      // CheckXArea: a data cell is not a number
inline constexpr std::int32_t kNonNumericYCell = 6002;      // CheckYArea: a data cell is not a number
inline constexpr std::int32_t kOutputPastGrid = 6003;       // PrepareOutput: report would run past the grid
inline constexpr std::int32_t kOutputNotEmpty = 6004;       // PrepareOutput: target holds data, OverWrite false
inline constexpr std::int32_t kNonNumericValue = 6005;      // ToMatrix: a value is not a number
inline constexpr std::int32_t kShapeMismatch = 6010;        // matrix operands of incompatible shapes
inline constexpr std::int32_t kSingularMatrix = 6011;       // Inverse / InverseFactor: singular matrix
inline constexpr std::int32_t kNotPositiveDefinite = 6012;  // SquareRootFactor: not positive definite
inline constexpr std::int32_t kNotSymmetric = 6013;         // Eigen: matrix not symmetric
inline constexpr std::int32_t kEigenNoConvergence = 6014;   // Eigen: solver did not converge
inline constexpr std::int32_t kNonFiniteValue = 6015;       // a matrix holds an infinity or NaN
inline constexpr std::int32_t kTooFewCases = 6016;          // fewer than two cases for a correlation or spread
inline constexpr std::int32_t kBadArgument = 6017;          // an argument outside its domain (degrees of freedom, tails, ...)
inline constexpr std::int32_t kNoVariation = 6018;          // RequireVariation: a variable is constant
inline constexpr std::int32_t kChartIncomplete = 6020;      // ChartMaker.Build without anchor or series

/// Raises the support-library code with the description given.
[[noreturn]] void RaiseSupport(std::int32_t code, std::string description,
                               std::source_location where = std::source_location::current());

}  // namespace nml::support
