// The perfect-correlation test shared by every analysis.
//
// A coefficient is written as decimal text with 15 significant digits and
// read back, as a single- or a double-precision number; it counts as perfect
// when the value read back is 1 or more. Read back as Single, every r from
// about 0.9999999702 upwards is perfect; read back as Double, every r from
// about 0.9999999999999995 upwards. Only +1 is tested: a coefficient near -1
// is not perfect by this test.
#pragma once

namespace nml {

enum class ReadBack { kSingle, kDouble };

bool IsPerfectCorrelation(double r, ReadBack how);

}  // namespace nml
