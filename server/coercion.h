// Coercion of the arguments a late-binding caller passes to the types the
// members of _clsCorrelation declare, as the classic runtime converts values:
//
//   to Boolean: numbers (zero is False), "True"/"False" in any case, numeric
//     text ("1", " 0 "), Empty as False;
//   to Long: integers in range, floating values rounded half to even
//     (2.5 -> 2, 3.5 -> 4), Booleans (True is -1), numeric text, Empty as 0;
//   to String: text as is, numbers in their shortest classic form ("3",
//     "1.5", "1E+20"), Booleans as "True"/"False", Empty as "".
//
// Arguments may come by value or by reference (VT_BYREF), also through a
// VARIANT reference. What cannot be converted answers DISP_E_TYPEMISMATCH
// (Null, error values, objects, arrays, text that is not a number); a number
// outside the target's range answers DISP_E_OVERFLOW; a null reference E_POINTER.
#pragma once

#include <cstdint>
#include <string>

#include "server/com_abi.h"

namespace nml::server {

HRESULT CoerceToBool(const VARIANT& arg, bool& out);
HRESULT CoerceToLong(const VARIANT& arg, std::int32_t& out);
HRESULT CoerceToText(const VARIANT& arg, std::string& out);

/// True for the marker a caller passes for an optional argument it leaves
/// out: VT_ERROR holding DISP_E_PARAMNOTFOUND (also by reference).
bool IsMissingArgument(const VARIANT& arg);

}  // namespace nml::server
