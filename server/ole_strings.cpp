#include "server/ole_strings.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/utf8.h"
#include "server/nmlcorrelation_server.h"

namespace nml::server {
namespace {

// The 32-bit byte count sits right before the characters.
std::uint32_t* PrefixOf(BSTR text) { return reinterpret_cast<std::uint32_t*>(text) - 1; }

}  // namespace

std::string Utf8FromUtf16(const OLECHAR* text, std::size_t count) {
  // Copied unit by unit: OLECHAR is a 16-bit integer, not char16_t.
  return nml::Utf8FromUtf16(std::u16string(text, text + count));
}

std::string Utf8FromBstr(BSTR text) { return text ? Utf8FromUtf16(text, SysStringLen(text)) : std::string(); }

std::u16string Utf16FromUtf8(std::string_view text) { return nml::Utf16FromUtf8(text); }

BSTR AllocBstr(std::string_view utf8) {
  const std::u16string wide = Utf16FromUtf8(utf8);
  if (wide.size() > UINT_MAX) return nullptr;
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()), static_cast<UINT>(wide.size()));
}

}  // namespace nml::server

using nml::server::PrefixOf;

extern "C" NMLSERVER_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  // The prefix holds the byte count in 32 bits: refuse lengths whose bytes,
  // prefix and terminator would not fit.
  if (length > (UINT32_MAX - sizeof(std::uint32_t) - sizeof(OLECHAR)) / sizeof(OLECHAR)) return nullptr;
  const std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(std::uint32_t) + bytes + sizeof(OLECHAR)));
  if (!block) return nullptr;
  const auto prefix = static_cast<std::uint32_t>(bytes);
  std::memcpy(block, &prefix, sizeof prefix);
  BSTR out = reinterpret_cast<BSTR>(block + sizeof(std::uint32_t));
  if (text) {
    std::memcpy(out, text, bytes);
  } else {
    std::memset(out, 0, bytes);
  }
  out[length] = 0;
  return out;
}

extern "C" NMLSERVER_API BSTR SysAllocString(LPCOLESTR text) {
  if (!text) return nullptr;
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  if (length > UINT_MAX) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(length));
}

extern "C" NMLSERVER_API void SysFreeString(BSTR text) {
  if (text) std::free(PrefixOf(text));
}

extern "C" NMLSERVER_API UINT SysStringLen(BSTR text) {
  if (!text) return 0;
  std::uint32_t bytes;
  std::memcpy(&bytes, PrefixOf(text), sizeof bytes);
  return bytes / sizeof(OLECHAR);
}

extern "C" NMLSERVER_API void VariantInit(VARIANTARG* value) {
  if (!value) return;
  std::memset(value, 0, sizeof *value);
  value->vt = VT_EMPTY;
}

extern "C" NMLSERVER_API HRESULT VariantClear(VARIANTARG* value) {
  if (!value) return E_POINTER;
  const VARTYPE vt = value->vt;
  if (vt & VT_BYREF) {
    // A reference owns nothing.
  } else if (vt & VT_ARRAY) {
    return DISP_E_BADVARTYPE;
  } else {
    switch (vt) {
      case VT_BSTR:
        SysFreeString(value->bstrVal);
        break;
      case VT_UNKNOWN:
        if (value->punkVal) value->punkVal->lpVtbl->Release(value->punkVal);
        break;
      case VT_DISPATCH:
        if (value->pdispVal) value->pdispVal->lpVtbl->Release(value->pdispVal);
        break;
      case VT_EMPTY:
      case VT_NULL:
      case VT_I1:
      case VT_I2:
      case VT_I4:
      case VT_I8:
      case VT_UI1:
      case VT_UI2:
      case VT_UI4:
      case VT_UI8:
      case VT_INT:
      case VT_UINT:
      case VT_R4:
      case VT_R8:
      case VT_CY:
      case VT_DATE:
      case VT_ERROR:
      case VT_BOOL:
      case VT_DECIMAL:
        break;
      default:
        return DISP_E_BADVARTYPE;
    }
  }
  VariantInit(value);
  return S_OK;
}
