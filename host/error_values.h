// The spreadsheet's error values (#N/A and the like): their codes, as a cell
// holding one reports them (Variant::ErrorValue), and the texts the sheet shows.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace nml::host {

/// "#N/A" for 2042 and so on; an unknown code gives "#VALUE!".
std::string_view ErrorValueText(std::int32_t code);

/// The code of an error literal such as "#DIV/0!"; std::nullopt for other text.
std::optional<std::int32_t> ErrorValueCode(std::string_view text);

}  // namespace nml::host
