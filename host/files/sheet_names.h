// Sheet names as the spreadsheet accepts them, and repair of names that come
// from outside (file names, sheet names written by other programs).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nml::files {

/// The longest sheet name, in UTF-16 code units as the spreadsheet counts.
inline constexpr int kMaxSheetNameLength = 31;

/// True for 1 to 31 characters of valid UTF-8 without any of : \ / ? * [ ]
/// and not beginning or ending with an apostrophe.
bool IsValidSheetName(std::string_view name);

/// A valid sheet name made from raw text and not among taken (compared
/// ignoring ASCII case): forbidden characters and bytes that are not UTF-8
/// become "_", a leading or trailing apostrophe too, the text is cut to 31
/// characters at a character boundary, empty text gives fallback, and a name
/// already taken gets " (2)", " (3)", ... appended (cut to fit).
std::string MakeSheetName(std::string_view raw, const std::vector<std::string>& taken,
                          std::string_view fallback = "Sheet1");

/// ASCII case-insensitive equality, as sheet and workbook names compare.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace nml::files
