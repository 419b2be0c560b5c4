#include "cli/messages.h"

#include <map>

namespace nml::cli {

namespace {

// Messages for the component's own codes, which carry no description.
const std::map<std::int32_t, const char*>& ComponentMessages() {
  static const std::map<std::int32_t, const char*> messages = {
      {5001, "the output range is not a valid reference"},
      {5009, "the Y range is not a valid reference"},
      {5010, "the X range is not a valid reference"},
      {5011, "no Y range was given (multiple, partial and canonical correlation need one)"},
      {5012, "no X range was given"},
      {5028, "the X and Y ranges have different numbers of rows"},
      {5036, "the areas of the Y range have different numbers of rows"},
      {5038, "the areas of the X range have different numbers of rows"},
      {5048, "the Y range needs at least 2 columns for partial and canonical correlation"},
      {5049, "simple correlation needs at least 2 columns in the X range"},
      {5050, "the Y range needs at least 3 rows of data"},
      {5051, "the X range needs at least 3 rows of data"},
  };
  return messages;
}

// Messages for the support library's and the file readers' codes, used when
// the error carries no description of its own.
const std::map<std::int32_t, const char*>& LibraryMessages() {
  static const std::map<std::int32_t, const char*> messages = {
      {6001, "a cell of the X range is not a number"},
      {6002, "a cell of the Y range is not a number"},
      {6003, "the report would run past the last row or column of the sheet"},
      {6004, "the output place already holds data (use --overwrite to replace it)"},
      {6005, "a value is not a number"},
      {6010, "matrices of incompatible shapes"},
      {6011, "the variables of a set are linearly dependent (singular cross-product matrix)"},
      {6012, "the variables of a set are linearly dependent (cross-product matrix not positive definite)"},
      {6013, "a matrix that should be symmetric is not"},
      {6014, "the eigen decomposition did not converge"},
      {6015, "the data hold an infinity or NaN"},
      {6016, "fewer than two cases"},
      {6017, "an argument outside its domain"},
      {6018, "a variable has the same value in every case (no correlation)"},
      {6020, "a chart without data"},
  };
  return messages;
}

// Hints for the runtime's errors, in the terms of a correlation analysis.
const char* RuntimeHint(std::int32_t number) {
  switch (number) {
    case rt::kDivisionByZero: return " (a variable without variation?)";
    case rt::kInvalidCall: return " (a perfect correlation or too few cases?)";
    case rt::kOverflow: return " (more than 32767 variables or areas?)";
    default: return "";
  }
}

}  // namespace

std::string DescribeError(const Error& e) {
  const std::int32_t number = e.Number();
  const std::int32_t code = number - kObjectErrorBase;
  const bool objectBand = number < 0 && code >= 0 && code <= 0xFFFF;
  if (objectBand) {
    std::string text = "error " + std::to_string(code) + ": ";
    if (auto it = ComponentMessages().find(code); it != ComponentMessages().end()) return text + it->second;
    const std::string standard(StandardDescription(number));
    if (!e.Description().empty() && e.Description() != standard) return text + e.Description();
    if (auto it = LibraryMessages().find(code); it != LibraryMessages().end()) return text + it->second;
    return text + "unexpected error";
  }
  return "error " + std::to_string(number) + ": " + e.Description() + RuntimeHint(number);
}

}  // namespace nml::cli
