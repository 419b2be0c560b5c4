// Error numbers of the data preparation around the component: choosing
// variables by name and leaving out cases with missing values.
//
// They use the object-error band (0x80040000 + code) with codes 6150 to 6159,
// next to the file readers' 6100 to 6149. Cells that are neither numbers nor
// missing-value markers keep the component's own 6001 (X) and 6002 (Y).
#pragma once

#include <cstdint>
#include <string>

#include "nmlcorrelation/error.h"

namespace nml::prep {

inline constexpr std::int32_t kBadNameList = 6150;     // an empty name or an unclosed quote in a list of names
inline constexpr std::int32_t kUnknownVariable = 6151; // a name that is not in the name row (the names are listed)
inline constexpr std::int32_t kAmbiguousVariable = 6152;  // a name that heads more than one column
inline constexpr std::int32_t kUnknownSheet = 6153;    // a sheet prefix that names no sheet of the workbook
inline constexpr std::int32_t kEmptySheet = 6154;      // a sheet without a name row

/// Raises ComponentError(code) with the description given.
[[noreturn]] void RaisePrep(std::int32_t code, std::string description);

}  // namespace nml::prep
