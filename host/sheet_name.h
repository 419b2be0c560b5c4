// The one rule for worksheet names, wherever a name comes from: typed in a
// reference, given to a sheet, or read from a file.
#pragma once

#include <string_view>

namespace nml::host {

/// The longest sheet name, in UTF-16 code units as the spreadsheet counts
/// (a character past U+FFFF counts twice).
inline constexpr int kMaxSheetNameLength = 31;

/// True for valid UTF-8 of 1 to 31 UTF-16 code units without any of
/// : \ / ? * [ ] and not beginning or ending with an apostrophe.
bool IsValidSheetName(std::string_view name);

}  // namespace nml::host
