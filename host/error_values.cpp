#include "host/error_values.h"

namespace nml::host {

namespace {

struct ErrorLiteral {
  std::string_view text;
  std::int32_t code;
};

constexpr ErrorLiteral kErrorLiterals[] = {
    {"#NULL!", 2000},    {"#DIV/0!", 2007},   {"#VALUE!", 2015},        {"#REF!", 2023},   {"#NAME?", 2029},
    {"#NUM!", 2036},     {"#N/A", 2042},      {"#GETTING_DATA", 2043},  {"#SPILL!", 2045}, {"#CONNECT!", 2046},
    {"#BLOCKED!", 2047}, {"#UNKNOWN!", 2048}, {"#FIELD!", 2049},        {"#CALC!", 2050},
};

}  // namespace

std::string_view ErrorValueText(std::int32_t code) {
  for (const ErrorLiteral& e : kErrorLiterals)
    if (e.code == code) return e.text;
  return "#VALUE!";
}

std::optional<std::int32_t> ErrorValueCode(std::string_view text) {
  for (const ErrorLiteral& e : kErrorLiterals)
    if (e.text == text) return e.code;
  return std::nullopt;
}

}  // namespace nml::host
