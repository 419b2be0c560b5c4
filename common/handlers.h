// The three error-handler forms every procedure of the component uses.
//
//   Stamp:  re-raise with the same number and description and the source
//           "Line <n> in NMLCorrelation.<class>.<procedure>".
//   Trail:  an error whose source already begins with "Line" gets
//           ".<procedure>" appended; any other error is stamped as above.
//   MapRangeSetterError: an error in the component's own band (codes 5000 to
//           5101) is re-raised with its number only; any other error is
//           replaced by the setter's own code.
//
// Each wraps a procedure body in one line:
//
//   Variant clsCorrelationBO::R() const {
//     return Stamp({"clsCorrelationBO", "GetR"}, [&] { return r_; });
//   }
//
// The line stamped is the line of the raise when the error was raised in the
// procedure's own source file, otherwise the line where the procedure wraps
// its body.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <source_location>
#include <string>
#include <string_view>
#include <utility>

#include "nmlcorrelation/error.h"

namespace nml {

struct Procedure {
  Procedure(std::string_view cls, std::string_view name,
            std::source_location where = std::source_location::current())
      : cls(cls), name(name), file(where.file_name()), line(where.line()) {}
  std::string_view cls;
  std::string_view name;
  const char* file;
  std::uint32_t line;
};

namespace detail {

/// The source text of form 1 for an error that reached procedure p.
std::string StampText(const Procedure& p, const Error& e);

/// Turns any exception in flight into an Error (bad_alloc becomes 7, any
/// other foreign exception 51) and rethrows after applying fix to it.
template <class Fix>
[[noreturn]] void Rethrow(Fix&& fix) {
  try {
    throw;
  } catch (Error& e) {
    fix(e);
    throw;
  } catch (const std::bad_alloc&) {
    Error e(rt::kOutOfMemory, {});
    fix(e);
    throw e;
  } catch (const std::exception& ex) {
    Error e(rt::kInternalError, std::string(StandardDescription(rt::kInternalError)) + ": " + ex.what());
    fix(e);
    throw e;
  }
}

}  // namespace detail

/// Form 1: always stamp a fresh source.
template <class F>
decltype(auto) Stamp(const Procedure& p, F&& body) {
  try {
    return std::forward<F>(body)();
  } catch (...) {
    detail::Rethrow([&](Error& e) { e.SetSource(detail::StampText(p, e)); });
  }
}

/// Form 2: extend a stamped source with ".<procedure>", stamp any other.
template <class F>
decltype(auto) Trail(const Procedure& p, F&& body) {
  try {
    return std::forward<F>(body)();
  } catch (...) {
    detail::Rethrow([&](Error& e) {
      if (e.Source().rfind("Line", 0) == 0)
        e.SetSource(e.Source() + "." + std::string(p.name));
      else
        e.SetSource(detail::StampText(p, e));
    });
  }
}

/// Form 3, for the range setters: own-band errors keep their number only,
/// anything else becomes ownCode (a component code such as 5010).
template <class F>
decltype(auto) MapRangeSetterError(std::int32_t ownCode, F&& body) {
  try {
    return std::forward<F>(body)();
  } catch (const Error& e) {
    if (InComponentBand(e.Number())) throw Error(e.Number(), {});
    throw Error(ComponentError(ownCode), {});
  } catch (const std::exception&) {
    throw Error(ComponentError(ownCode), {});
  }
}

}  // namespace nml
