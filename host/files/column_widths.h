// Column widths of a written sheet, estimated from what its cells show:
// numbers in their formats, the longest line of a text, Booleans and error
// literals, bold a little wider.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nml::host::files {

inline constexpr double kDefaultColumnWidth = 8.43;  // the spreadsheet's default, in characters
inline constexpr double kMaxEstimatedWidth = 60.0;

/// What the width estimate needs to know of a number format.
struct NumberLook {
  bool general = true;
  bool percent = false;
  bool thousands = false;
  int decimals = 0;
};

NumberLook LookOf(const std::string& code);

/// Characters a number takes on screen under a format.
double NumberChars(double v, const NumberLook& look);

/// Characters of the longest line of a text.
double TextChars(const std::string& text);

/// The widest entry of each column of one sheet, fed cell by cell in row
/// order (columns ascending within a row).
class ColumnWidths {
 public:
  /// Called for every cell visited, before its entry: left-aligned text can
  /// spill over an empty right neighbour, so it widens its column only when
  /// the next cell of its row holds something.
  void Visit(std::int32_t row, std::int32_t col, bool filled);
  /// An entry of chars characters in col.
  void Widen(std::int32_t col, double chars);
  /// Text of chars characters at (row, col); spills when it may run over an
  /// empty right neighbour (centred and right-aligned text never does).
  void Text(std::int32_t row, std::int32_t col, double chars, bool spills);

  /// The last column with an entry (0 for none).
  std::int32_t LastColumn() const;
  /// The width to write for col: the sheet's own (own > 0, at most 255),
  /// else the estimate with a margin, between the default and 60 characters.
  double Width(std::int32_t col, double own) const;

 private:
  std::vector<double> chars_;  // per column, index 0 unused
  std::int32_t pendingRow_ = 0, pendingCol_ = 0;
  double pendingChars_ = 0;
};

}  // namespace nml::host::files
