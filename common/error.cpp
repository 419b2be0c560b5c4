#include "nmlcorrelation/error.h"

namespace nml {

std::string_view StandardDescription(std::int32_t number) {
  switch (number) {
    case rt::kInvalidCall: return "Invalid procedure call or argument";
    case rt::kOverflow: return "Overflow";
    case rt::kOutOfMemory: return "Out of memory";
    case rt::kSubscriptOutOfRange: return "Subscript out of range";
    case rt::kDivisionByZero: return "Division by zero";
    case rt::kTypeMismatch: return "Type mismatch";
    case rt::kInternalError: return "Internal error";
    case rt::kObjectNotSet: return "Object variable or With block variable not set";
    default: return "Application-defined or object-defined error";
  }
}

Error::Error(std::int32_t number, std::string description, std::string source, std::source_location where)
    : number_(number),
      description_(description.empty() ? std::string(StandardDescription(number)) : std::move(description)),
      source_(std::move(source)),
      file_(where.file_name()),
      line_(where.line()) {}

void Raise(std::int32_t number, std::string description, std::string source, std::source_location where) {
  throw Error(number, std::move(description), std::move(source), where);
}

void RaiseCode(std::int32_t code, std::source_location where) {
  throw Error(ComponentError(code), {}, {}, where);
}

}  // namespace nml
