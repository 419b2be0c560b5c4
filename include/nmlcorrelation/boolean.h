// The 16-bit Boolean of the classic runtime: false is 0, true is -1, so that
// arithmetic on a flag (a row count plus the Headers flag) counts true as -1.
#pragma once

#include <cstdint>

namespace nml {

using VBool = std::int16_t;
inline constexpr VBool kVTrue = -1;
inline constexpr VBool kVFalse = 0;

constexpr VBool ToVBool(bool b) { return b ? kVTrue : kVFalse; }
constexpr bool IsTrue(VBool b) { return b != 0; }

}  // namespace nml
