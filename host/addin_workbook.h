// The add-in workbook the application opens at start-up: the component
// writes its report on the add-in's scratch sheet before pasting it to the
// output place. Hidden from the user's workbooks and never saved.
#pragma once

#include <string_view>

namespace nml::host {

inline constexpr std::string_view kAddinWorkbookName = "nml2007.xlam";
/// The older add-in whose scratch sheet the report uses when the current
/// add-in has none.
inline constexpr std::string_view kLegacyAddinWorkbookName = "Numerolith.xla";
inline constexpr std::string_view kScratchSheetName = "Results";

}  // namespace nml::host
