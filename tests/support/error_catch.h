// Catching the numbered errors the component raises.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "nmlcorrelation/error.h"

namespace nml::test {

/// The error f raises; number 0 when it raises none.
inline Error ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e;
  }
  return Error(0, "no error");
}

/// The number of the error f raises (0 when none), and its source if asked.
inline std::int32_t ErrorNumberOf(const std::function<void()>& f, std::string* source = nullptr) {
  const Error e = ErrorOf(f);
  if (source) *source = e.Source();
  return e.Number();
}

}  // namespace nml::test

/// Expects the statement to raise the error with this number.
#define EXPECT_NML_ERROR(statement, number) \
  EXPECT_EQ(::nml::test::ErrorNumberOf([&] { statement; }), (number)) << #statement
