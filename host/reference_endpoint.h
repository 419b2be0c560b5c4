// One end of an A1 reference ("$B$2", "C", "7"), as the reference parser and
// the formula shifter read and write it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nml::host::detail {

// One end of a reference: a cell (column and row), a column alone or a row
// alone, each part possibly marked absolute with $.
struct Endpoint {
  std::int32_t col = 0;  // 0 when absent
  std::int32_t row = 0;  // 0 when absent
  bool colAbsolute = false;
  bool rowAbsolute = false;

  bool IsCell() const { return col != 0 && row != 0; }
  bool IsColumn() const { return col != 0 && row == 0; }
  bool IsRow() const { return col == 0 && row != 0; }
};

inline bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsHighByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

/// Reads [$]letters[$]digits from s at i, moving i past them; false for text
/// that is not an endpoint or lies past the grid.
bool ParseEndpoint(std::string_view s, std::size_t& i, Endpoint& e);

/// The whole of token as one endpoint, if it is one.
std::optional<Endpoint> TokenEndpoint(std::string_view token);

/// The A1 text of e, with its $ marks.
std::string EndpointText(const Endpoint& e);

}  // namespace nml::host::detail
