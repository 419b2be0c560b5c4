// Reference texts as users type them in macros and the dialog: the component's
// A1 form ("Data!A1:C48", "'My data'!$A$1:$B$9,Data!D1:D9") and Calc's own
// ("$Data.A1:C48", "$Data.$A$1:$Data.$C$48", areas joined by ';' or '~').
// Pure text work: no office types, so it is tested on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nml::calc {

/// One rectangle of a sheet, 1-based and inclusive.
struct SheetArea {
  std::string sheet;
  std::int32_t top = 1, left = 1, bottom = 1, right = 1;
  friend bool operator==(const SheetArea&, const SheetArea&) = default;
};

/// Calc 7.4's grid.
inline constexpr std::int32_t kCalcRows = 1048576;
inline constexpr std::int32_t kCalcColumns = 1024;

/// The areas of a reference in either form; an area without a sheet belongs to
/// defaultSheet. Returns nullopt for anything else: empty text, whole rows or
/// columns, addresses past Calc's grid, a second corner on another sheet.
std::optional<std::vector<SheetArea>> ParseReferenceText(std::string_view text, const std::string& defaultSheet);

/// The component's form of areas: "'Data'!$A$1:$C$48,'Data'!$E$1:$E$48".
std::string ToA1Text(const std::vector<SheetArea>& areas);

/// "$A$1" or "$A$1:$C$48" (no sheet).
std::string AbsoluteCells(std::int32_t top, std::int32_t left, std::int32_t bottom, std::int32_t right);

}  // namespace nml::calc
