// Sheet names as the spreadsheet accepts them, and repair of names that come
// from outside (file names, sheet names written by other programs).
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace nml::host::files {

/// Hands out the sheet names of one workbook: valid, and each different from
/// the ones handed out before (compared ignoring ASCII case).
class SheetNamer {
 public:
  /// A valid name made from raw text: forbidden characters and bytes that are
  /// not UTF-8 become "_", a leading or trailing apostrophe too, the text is
  /// cut to 31 characters at a character boundary, empty text gives fallback,
  /// and a name already handed out gets " (2)", " (3)", ... appended (cut to
  /// fit). A valid name not yet used comes back unchanged.
  std::string Take(std::string_view raw, std::string_view fallback = "Sheet1");

 private:
  bool Taken(const std::string& name) const;

  std::unordered_set<std::string> taken_;                // lower-cased
  std::unordered_map<std::string, int> nextSuffix_;      // lower-cased base name -> next number to try
};

}  // namespace nml::host::files
