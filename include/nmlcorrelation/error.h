// The one exception type of the component and the numbers it carries.
//
// Numbers follow the classic runtime: the runtime's standard errors keep their
// small numbers (5, 6, 9, 11, 13, 91), the component's own codes are raised as
// the object-error base 0x80040000 plus the code, and every error carries a
// description and a source that records the road it travelled.
#pragma once

#include <cstdint>
#include <exception>
#include <source_location>
#include <string>
#include <string_view>

#include "nmlcorrelation/export.h"

namespace nml {

/// The object-error base (0x80040000 as a signed 32-bit number).
inline constexpr std::int32_t kObjectErrorBase = static_cast<std::int32_t>(0x80040000u);

/// The number raised for one of the component's own codes (5000 to 5101).
constexpr std::int32_t ComponentError(std::int32_t code) { return kObjectErrorBase + code; }

/// True when number lies in the component's own band, codes 5000 to 5101.
constexpr bool InComponentBand(std::int32_t number) {
  return number >= ComponentError(5000) && number <= ComponentError(5101);
}

namespace rt {
inline constexpr std::int32_t kInvalidCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kDivisionByZero = 11;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kInternalError = 51;
inline constexpr std::int32_t kObjectNotSet = 91;
/// What the spreadsheet raises when one of its methods or functions fails.
inline constexpr std::int32_t kApplicationDefined = 1004;
}  // namespace rt

/// The description the error system supplies for a number: the classic texts
/// for the runtime's errors, "Application-defined or object-defined error" for
/// everything else.
NML_API std::string_view StandardDescription(std::int32_t number);

class NML_API Error : public std::exception {
 public:
  Error(std::int32_t number, std::string description, std::string source = {},
        std::source_location where = std::source_location::current());

  std::int32_t Number() const noexcept { return number_; }
  const std::string& Description() const noexcept { return description_; }
  const std::string& Source() const noexcept { return source_; }
  void SetSource(std::string source) { source_ = std::move(source); }

  /// Where the error was raised, used for the line in a stamped source.
  const char* RaisedInFile() const noexcept { return file_; }
  std::uint32_t RaisedAtLine() const noexcept { return line_; }

  const char* what() const noexcept override { return description_.c_str(); }

 private:
  std::int32_t number_;
  std::string description_;
  std::string source_;
  const char* file_;
  std::uint32_t line_;
};

/// Raises number with its standard description (or the one given).
[[noreturn]] NML_API void Raise(std::int32_t number, std::string description = {}, std::string source = {},
                        std::source_location where = std::source_location::current());

/// Raises one of the component's own codes (5000 to 5101) as base + code.
[[noreturn]] NML_API void RaiseCode(std::int32_t code, std::source_location where = std::source_location::current());

}  // namespace nml
