#include "server/coercion.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>

#include "common/ascii_text.h"
#include "common/number_text.h"
#include "server/ole_strings.h"

namespace nml::server {
namespace {

// One argument, read through its references, before conversion.
struct Scalar {
  enum class Kind { kEmpty, kNull, kBool, kSigned, kUnsigned, kDouble, kSingle, kDate, kCurrency, kDecimal, kText,
                    kError, kObject };
  Kind kind = Kind::kEmpty;
  bool b = false;
  std::int64_t i = 0;   // kSigned, kCurrency (ten-thousandths)
  std::uint64_t u = 0;  // kUnsigned
  double d = 0;         // kDouble, kSingle, kDate
  DECIMAL dec{};
  BSTR text = nullptr;
};

// Deep enough for any sensible chain of VARIANT references, shallow enough
// that a reference loop ends.
constexpr int kMaxReferenceDepth = 8;

HRESULT Read(const VARIANT& arg, Scalar& out) {
  const VARIANT* v = &arg;
  for (int depth = 0; v->vt == (VT_VARIANT | VT_BYREF); ++depth) {
    if (!v->pvarVal) return E_POINTER;
    if (depth == kMaxReferenceDepth) return DISP_E_TYPEMISMATCH;
    v = v->pvarVal;
  }
  const VARTYPE vt = v->vt;
  if (vt & VT_ARRAY) return DISP_E_TYPEMISMATCH;
  if (vt & ~(VT_BYREF | VT_TYPEMASK)) return DISP_E_BADVARTYPE;
  const bool byref = (vt & VT_BYREF) != 0;
  if (byref && !v->byref) return E_POINTER;
  using K = Scalar::Kind;
  switch (vt & VT_TYPEMASK) {
    case VT_EMPTY:
      if (byref) return DISP_E_BADVARTYPE;
      out.kind = K::kEmpty;
      return S_OK;
    case VT_NULL:
      if (byref) return DISP_E_BADVARTYPE;
      out.kind = K::kNull;
      return S_OK;
    case VT_I1:
      out.kind = K::kSigned;
      out.i = byref ? *v->pcVal : v->cVal;
      return S_OK;
    case VT_I2:
      out.kind = K::kSigned;
      out.i = byref ? *v->piVal : v->iVal;
      return S_OK;
    case VT_I4:
      out.kind = K::kSigned;
      out.i = byref ? *v->plVal : v->lVal;
      return S_OK;
    case VT_INT:
      out.kind = K::kSigned;
      out.i = byref ? *v->pintVal : v->intVal;
      return S_OK;
    case VT_I8:
      out.kind = K::kSigned;
      out.i = byref ? *v->pllVal : v->llVal;
      return S_OK;
    case VT_UI1:
      out.kind = K::kUnsigned;
      out.u = byref ? *v->pbVal : v->bVal;
      return S_OK;
    case VT_UI2:
      out.kind = K::kUnsigned;
      out.u = byref ? *v->puiVal : v->uiVal;
      return S_OK;
    case VT_UI4:
      out.kind = K::kUnsigned;
      out.u = byref ? *v->pulVal : v->ulVal;
      return S_OK;
    case VT_UINT:
      out.kind = K::kUnsigned;
      out.u = byref ? *v->puintVal : v->uintVal;
      return S_OK;
    case VT_UI8:
      out.kind = K::kUnsigned;
      out.u = byref ? *v->pullVal : v->ullVal;
      return S_OK;
    case VT_R4:
      out.kind = K::kSingle;
      out.d = byref ? *v->pfltVal : v->fltVal;
      return S_OK;
    case VT_R8:
      out.kind = K::kDouble;
      out.d = byref ? *v->pdblVal : v->dblVal;
      return S_OK;
    case VT_DATE:
      out.kind = K::kDate;
      out.d = byref ? *v->pdate : v->date;
      return S_OK;
    case VT_CY:
      out.kind = K::kCurrency;
      out.i = byref ? v->pcyVal->int64 : v->cyVal.int64;
      return S_OK;
    case VT_DECIMAL:
      out.kind = K::kDecimal;
      out.dec = byref ? *v->pdecVal : v->decVal;
      if (out.dec.scale > 28) return DISP_E_TYPEMISMATCH;
      return S_OK;
    case VT_BOOL:
      out.kind = K::kBool;
      out.b = (byref ? *v->pboolVal : v->boolVal) != 0;
      return S_OK;
    case VT_BSTR:
      out.kind = K::kText;
      out.text = byref ? *v->pbstrVal : v->bstrVal;
      return S_OK;
    case VT_ERROR:
      out.kind = K::kError;
      out.i = byref ? *v->pscode : v->scode;
      return S_OK;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      out.kind = K::kObject;
      return S_OK;
    default:
      return DISP_E_BADVARTYPE;
  }
}

unsigned __int128 DecimalMantissa(const DECIMAL& dec) {
  return (static_cast<unsigned __int128>(dec.Hi32) << 64) | dec.Lo64;
}

double DecimalToDouble(const DECIMAL& dec) {
  long double value = static_cast<long double>(DecimalMantissa(dec));
  for (int k = 0; k < dec.scale; ++k) value /= 10;
  return static_cast<double>((dec.sign & DECIMAL_NEG) ? -value : value);
}

// Digits of a 96-bit mantissa with the decimal point scale places from the
// right, without trailing fractional zeros ("1.5", "-0.25", "120").
std::string DecimalToText(const DECIMAL& dec) {
  unsigned __int128 m = DecimalMantissa(dec);
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    m /= 10;
  } while (m != 0);
  const std::size_t scale = dec.scale;
  if (digits.size() <= scale) digits.insert(0, scale - digits.size() + 1, '0');
  if (scale > 0) {
    digits.insert(digits.size() - scale, 1, '.');
    while (digits.back() == '0') digits.pop_back();
    if (digits.back() == '.') digits.pop_back();
  }
  const bool zero = digits == "0";
  return ((dec.sign & DECIMAL_NEG) && !zero ? "-" : "") + digits;
}

std::string CurrencyToText(std::int64_t c) {
  DECIMAL dec{};
  dec.scale = 4;
  dec.sign = c < 0 ? DECIMAL_NEG : 0;
  // The magnitude of INT64_MIN does not fit int64; take it as unsigned.
  dec.Lo64 = c < 0 ? (~static_cast<std::uint64_t>(c) + 1) : static_cast<std::uint64_t>(c);
  return DecimalToText(dec);
}

// Round half to even, as the classic runtime converts to integers.
double RoundHalfEven(double d) {
  const double down = std::floor(d);
  const double diff = d - down;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(down, 2.0) != 0)) return down + 1;
  return down;
}

// A number written as text: optional spaces, sign, digits with an optional
// point, optional exponent. Words such as "inf" or "nan" are not numbers.
HRESULT ParseNumber(BSTR text, double& out) {
  switch (ReadNumber(Utf8FromBstr(text), out)) {
    case NumberRead::kNumber: return S_OK;
    case NumberRead::kOutOfRange: return DISP_E_OVERFLOW;
    default: return DISP_E_TYPEMISMATCH;
  }
}

HRESULT DoubleToLong(double d, std::int32_t& out) {
  if (!std::isfinite(d)) return DISP_E_OVERFLOW;
  const double r = RoundHalfEven(d);
  if (r < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
      r > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return DISP_E_OVERFLOW;
  out = static_cast<std::int32_t>(r);
  return S_OK;
}

}  // namespace

bool IsMissingArgument(const VARIANT& arg) {
  const VARIANT* v = &arg;
  for (int depth = 0; v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal && depth < kMaxReferenceDepth; ++depth)
    v = v->pvarVal;
  if (v->vt == VT_ERROR) return v->scode == DISP_E_PARAMNOTFOUND;
  if (v->vt == (VT_ERROR | VT_BYREF)) return v->pscode && *v->pscode == DISP_E_PARAMNOTFOUND;
  return false;
}

HRESULT CoerceToBool(const VARIANT& arg, bool& out) {
  Scalar s;
  if (const HRESULT hr = Read(arg, s); FAILED(hr)) return hr;
  using K = Scalar::Kind;
  switch (s.kind) {
    case K::kEmpty:
      out = false;
      return S_OK;
    case K::kBool:
      out = s.b;
      return S_OK;
    case K::kSigned:
    case K::kCurrency:
      out = s.i != 0;
      return S_OK;
    case K::kUnsigned:
      out = s.u != 0;
      return S_OK;
    case K::kDouble:
    case K::kSingle:
    case K::kDate:
      if (std::isnan(s.d)) return DISP_E_TYPEMISMATCH;
      out = s.d != 0;
      return S_OK;
    case K::kDecimal:
      out = DecimalMantissa(s.dec) != 0;
      return S_OK;
    case K::kText: {
      const std::string utf8 = Utf8FromBstr(s.text);
      const std::string_view word = TrimBlanks(utf8);
      if (EqualsIgnoringCase(word, "True")) {
        out = true;
        return S_OK;
      }
      if (EqualsIgnoringCase(word, "False")) {
        out = false;
        return S_OK;
      }
      double d = 0;
      const HRESULT hr = ParseNumber(s.text, d);
      // Text too large for a Double is still a number, and not zero.
      if (hr == DISP_E_OVERFLOW) {
        out = true;
        return S_OK;
      }
      if (FAILED(hr)) return hr;
      out = d != 0;
      return S_OK;
    }
    case K::kNull:
    case K::kError:
    case K::kObject:
      break;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT CoerceToLong(const VARIANT& arg, std::int32_t& out) {
  Scalar s;
  if (const HRESULT hr = Read(arg, s); FAILED(hr)) return hr;
  using K = Scalar::Kind;
  switch (s.kind) {
    case K::kEmpty:
      out = 0;
      return S_OK;
    case K::kBool:
      out = s.b ? -1 : 0;
      return S_OK;
    case K::kSigned:
      if (s.i < std::numeric_limits<std::int32_t>::min() || s.i > std::numeric_limits<std::int32_t>::max())
        return DISP_E_OVERFLOW;
      out = static_cast<std::int32_t>(s.i);
      return S_OK;
    case K::kUnsigned:
      if (s.u > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return DISP_E_OVERFLOW;
      out = static_cast<std::int32_t>(s.u);
      return S_OK;
    case K::kDouble:
    case K::kSingle:
    case K::kDate:
      return DoubleToLong(s.d, out);
    case K::kCurrency: {
      std::int64_t whole = s.i / 10000;
      const std::int64_t rest = s.i % 10000;  // same sign as s.i
      const std::int64_t magnitude = rest < 0 ? -rest : rest;
      if (magnitude > 5000 || (magnitude == 5000 && whole % 2 != 0)) whole += rest < 0 ? -1 : 1;
      if (whole < std::numeric_limits<std::int32_t>::min() || whole > std::numeric_limits<std::int32_t>::max())
        return DISP_E_OVERFLOW;
      out = static_cast<std::int32_t>(whole);
      return S_OK;
    }
    case K::kDecimal:
      return DoubleToLong(DecimalToDouble(s.dec), out);
    case K::kText: {
      double d = 0;
      if (const HRESULT hr = ParseNumber(s.text, d); FAILED(hr)) return hr;
      return DoubleToLong(d, out);
    }
    case K::kNull:
    case K::kError:
    case K::kObject:
      break;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT CoerceToText(const VARIANT& arg, std::string& out) {
  Scalar s;
  if (const HRESULT hr = Read(arg, s); FAILED(hr)) return hr;
  using K = Scalar::Kind;
  switch (s.kind) {
    case K::kEmpty:
      out.clear();
      return S_OK;
    case K::kText:
      out = Utf8FromBstr(s.text);
      return S_OK;
    case K::kBool:
      out = s.b ? "True" : "False";
      return S_OK;
    case K::kSigned:
      out = std::to_string(s.i);
      return S_OK;
    case K::kUnsigned:
      out = std::to_string(s.u);
      return S_OK;
    case K::kDouble:
    case K::kSingle:
      if (!std::isfinite(s.d)) return DISP_E_TYPEMISMATCH;
      out = NumberToText(s.d, s.kind == K::kSingle ? 7 : 15);
      return out.empty() ? DISP_E_TYPEMISMATCH : S_OK;
    case K::kCurrency:
      out = CurrencyToText(s.i);
      return S_OK;
    case K::kDecimal:
      out = DecimalToText(s.dec);
      return S_OK;
    case K::kDate:  // a date's text depends on the locale's date format: not offered
    case K::kNull:
    case K::kError:
    case K::kObject:
      break;
  }
  return DISP_E_TYPEMISMATCH;
}

}  // namespace nml::server
