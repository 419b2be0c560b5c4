// The formatting a cell can carry, with the spreadsheet's own codes.
#pragma once

#include <cstdint>
#include <string>

namespace nml::host {

// Horizontal alignment codes (the spreadsheet's xlHAlign values).
inline constexpr std::int32_t kAlignGeneral = 1;
inline constexpr std::int32_t kAlignLeft = -4131;
inline constexpr std::int32_t kAlignCenter = -4108;
inline constexpr std::int32_t kAlignRight = -4152;

// Interior colour index meaning "no fill" (xlNone); palette indices are 1 to 56.
inline constexpr std::int32_t kColorIndexNone = -4142;

// Paste types (xlPasteType values).
inline constexpr std::int32_t kPasteAll = -4104;
inline constexpr std::int32_t kPasteValues = -4163;
inline constexpr std::int32_t kPasteFormats = -4122;

struct CellFormat {
  bool bold = false;
  bool border = false;  // thin border on all four sides
  std::int32_t fillColorIndex = kColorIndexNone;
  std::int32_t horizontalAlignment = kAlignGeneral;
  std::string numberFormat = "General";
  double fontSize = 0;  // points; 0: the workbook's default size

  friend bool operator==(const CellFormat&, const CellFormat&) = default;
};

/// RGB value (0xRRGGBB) of a palette colour index of the default 56-colour
/// palette; kColorIndexNone and out-of-range indices give white.
std::uint32_t PaletteColor(std::int32_t colorIndex);

}  // namespace nml::host
