// Driving libNMLCorrelation.so through its exported entry points, as a
// late-binding caller does: objects from the class factory, members by name,
// arguments in VARIANTs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "server/nmlcorrelation_server.h"
#include "support/temp_folder.h"

namespace nml::server::testing {

namespace fs = std::filesystem;

struct FreeBstr {
  void operator()(OLECHAR* b) const { SysFreeString(b); }
};
using Bstr = std::unique_ptr<OLECHAR, FreeBstr>;

inline Bstr MakeBstr(std::u16string_view text) {
  return Bstr(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size())));
}
inline Bstr MakeBstr(std::string_view ascii) { return MakeBstr(std::u16string(ascii.begin(), ascii.end())); }

inline std::string Narrow(BSTR text) {
  std::string out;
  for (UINT k = 0; k < SysStringLen(text); ++k) out.push_back(text[k] < 128 ? static_cast<char>(text[k]) : '?');
  return out;
}

inline VARIANT Value(VARTYPE vt) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  return v;
}

using test::TempFolder;

inline void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A host with the savings data open, and one clsCorrelation object; every
/// object is released and the library may unload at the end.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NmlHostReset();
    ASSERT_EQ(NmlHostOpenWorkbook(NML_TEST_DATA "/savings.csv"), S_OK) << NmlServerLastError();
    IClassFactory* factory = nullptr;
    void** made = reinterpret_cast<void**>(&object);
    ASSERT_EQ(DllGetClassObject(&CLSID_clsCorrelation, &IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    ASSERT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &IID_IDispatch, made), S_OK);
    factory->lpVtbl->Release(factory);
  }
  void TearDown() override {
    EXPECT_TRUE(!object || object->lpVtbl->Release(object) == 0) << "the object's last reference";
    ClearException();
    NmlHostReset();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
  }

  DISPID Id(std::string_view name) {
    std::u16string w(name.begin(), name.end());
    LPOLESTR names[1] = {reinterpret_cast<LPOLESTR>(w.data())};
    DISPID id = DISPID_UNKNOWN;
    object->lpVtbl->GetIDsOfNames(object, &IID_NULL, names, 1, 0, &id);
    return id;
  }

  HRESULT Invoke(DISPID id, WORD flags, std::vector<VARIANT> args, std::vector<DISPID> named = {},
                 UINT* argErr = nullptr, VARIANT* result = nullptr) {
    DISPPARAMS params{args.empty() ? nullptr : args.data(), named.empty() ? nullptr : named.data(),
                      static_cast<UINT>(args.size()), static_cast<UINT>(named.size())};
    ClearException();
    return object->lpVtbl->Invoke(object, id, &IID_NULL, 0, flags, &params, result, &excep, argErr);
  }
  void ClearException() {
    for (BSTR text : {excep.bstrSource, excep.bstrDescription, excep.bstrHelpFile}) SysFreeString(text);
    excep = EXCEPINFO{};
  }
  /// The HRESULT of a call, or the error number it raised when the component raised one.
  std::uint32_t Outcome(HRESULT hr) const {
    return static_cast<std::uint32_t>(hr == DISP_E_EXCEPTION ? excep.scode : hr);
  }

  HRESULT Put(std::string_view name, VARIANT value, UINT* argErr = nullptr) {
    return Invoke(Id(name), DISPATCH_PROPERTYPUT, {value}, {DISPID_PROPERTYPUT}, argErr);
  }
  HRESULT PutText(std::string_view name, const char* text) { return Put(name, Ref(Text(text))); }
  HRESULT PutBool(std::string_view name, bool yes) { return Put(name, Of(VT_BOOL, yes ? VARIANT_TRUE : VARIANT_FALSE)); }
  /// Results with its argument list as given (empty: OverWrite left out).
  HRESULT Results(std::vector<VARIANT> args = {}) { return Invoke(Id("Results"), DISPATCH_METHOD, std::move(args)); }

  /// A VARIANT of type vt holding value's bytes.
  template <class T>
  static VARIANT Of(VARTYPE vt, T value) {
    static_assert(sizeof value <= 16);
    VARIANT v = Value(vt);
    std::memcpy(&v.llVal, &value, sizeof value);
    return v;
  }
  /// Text, freed at the end of the test.
  VARIANT Text(const char* ascii) {
    texts_.push_back(MakeBstr(std::string_view(ascii)));
    return Of(VT_BSTR, texts_.back().get());
  }
  /// A reference to a copy of v's value, as a caller passing a variable does.
  VARIANT Ref(VARIANT v) {
    held_.push_back(v);
    return Of(static_cast<VARTYPE>(v.vt | VT_BYREF), static_cast<void*>(&held_.back().llVal));
  }
  /// A reference to a copy of v, as a caller passing a Variant variable does.
  VARIANT InVariant(VARIANT v) {
    held_.push_back(v);
    return Of(VT_VARIANT | VT_BYREF, &held_.back());
  }

  IDispatch* object = nullptr;
  EXCEPINFO excep{};

 private:
  std::vector<Bstr> texts_;
  std::deque<VARIANT> held_;  // never moves what it holds
};

/// A component error number as it arrives in the exception record: the
/// number in the low word of an HRESULT of the interface facility (5012 is
/// 0x80041394).
constexpr std::uint32_t Raised(std::uint32_t number) { return 0x80040000u + number; }

}  // namespace nml::server::testing
