// Driving libNMLCorrelation.so through its exported entry points, as a
// late-binding caller does: objects from the class factory, members by name,
// arguments in VARIANTs.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "server/nmlcorrelation_server.h"

namespace nml::server::testing {

namespace fs = std::filesystem;

/// A UTF-16 copy of ASCII text, NUL-terminated.
inline std::u16string Wide(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

/// A BSTR that frees itself.
class Bstr {
 public:
  explicit Bstr(std::string_view ascii) {
    const std::u16string w = Wide(ascii);
    b_ = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(w.data()), static_cast<UINT>(w.size()));
  }
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }
  BSTR* address() { return &b_; }

 private:
  BSTR b_;
};

inline std::string Narrow(BSTR text) {
  std::string out;
  for (UINT k = 0; k < SysStringLen(text); ++k) out.push_back(text[k] < 128 ? static_cast<char>(text[k]) : '?');
  return out;
}

/// An exception record that frees its strings.
struct Exception : EXCEPINFO {
  Exception() : EXCEPINFO{} {}
  ~Exception() { Clear(); }
  Exception(const Exception&) = delete;
  Exception& operator=(const Exception&) = delete;
  void Clear() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
    static_cast<EXCEPINFO&>(*this) = EXCEPINFO{};
  }
  std::uint32_t Code() const { return static_cast<std::uint32_t>(scode); }
  std::string Source() const { return Narrow(bstrSource); }
  std::string Description() const { return Narrow(bstrDescription); }
};

inline VARIANT Value(VARTYPE vt) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  return v;
}

/// A temporary folder removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "nmlserver-test.XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

inline void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A host with the savings data open, and one clsCorrelation object.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NmlHostReset();
    ASSERT_EQ(NmlHostOpenWorkbook(NML_TEST_DATA "/savings.csv"), S_OK) << NmlServerLastError();
    object = Create();
    ASSERT_NE(object, nullptr);
  }
  void TearDown() override {
    if (object) {
      EXPECT_EQ(object->lpVtbl->Release(object), 0u);
    }
    NmlHostReset();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
  }

  static IDispatch* Create() {
    IClassFactory* factory = nullptr;
    if (DllGetClassObject(&CLSID_clsCorrelation, &IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK)
      return nullptr;
    IDispatch* made = nullptr;
    const HRESULT hr = factory->lpVtbl->CreateInstance(factory, nullptr, &IID_IDispatch, reinterpret_cast<void**>(&made));
    factory->lpVtbl->Release(factory);
    return hr == S_OK ? made : nullptr;
  }

  DISPID Id(std::string_view name) {
    std::u16string w = Wide(name);
    LPOLESTR names[1] = {reinterpret_cast<LPOLESTR>(w.data())};
    DISPID id = DISPID_UNKNOWN;
    object->lpVtbl->GetIDsOfNames(object, &IID_NULL, names, 1, 0, &id);
    return id;
  }

  HRESULT Invoke(DISPID id, WORD flags, std::vector<VARIANT> args, std::vector<DISPID> named = {},
                 UINT* argErr = nullptr, VARIANT* result = nullptr) {
    DISPPARAMS params{args.empty() ? nullptr : args.data(), named.empty() ? nullptr : named.data(),
                      static_cast<UINT>(args.size()), static_cast<UINT>(named.size())};
    excep.Clear();
    return object->lpVtbl->Invoke(object, id, &IID_NULL, 0, flags, &params, result, &excep, argErr);
  }

  /// Puts a property by name with one argument.
  HRESULT Put(std::string_view name, VARIANT value, UINT* argErr = nullptr) {
    return Invoke(Id(name), DISPATCH_PROPERTYPUT, {value}, {DISPID_PROPERTYPUT}, argErr);
  }
  HRESULT PutText(std::string_view name, std::string_view text) {
    Bstr b(text);
    VARIANT v = Value(VT_BSTR | VT_BYREF);
    v.pbstrVal = b.address();
    return Put(name, v);
  }
  HRESULT PutLong(std::string_view name, std::int32_t n) {
    VARIANT v = Value(VT_I4);
    v.lVal = n;
    return Put(name, v);
  }
  HRESULT PutBool(std::string_view name, bool yes) {
    VARIANT v = Value(VT_BOOL);
    v.boolVal = yes ? VARIANT_TRUE : VARIANT_FALSE;
    return Put(name, v);
  }
  /// Results with its argument list as given (empty: OverWrite left out).
  HRESULT Results(std::vector<VARIANT> args = {}) { return Invoke(Id("Results"), DISPATCH_METHOD, std::move(args)); }

  /// The error number Results raised (0 when it succeeded).
  std::uint32_t ResultsError(std::vector<VARIANT> args = {}) {
    const HRESULT hr = Results(std::move(args));
    if (hr == S_OK) return 0;
    EXPECT_EQ(hr, DISP_E_EXCEPTION);
    return excep.Code();
  }

  IDispatch* object = nullptr;
  Exception excep;
};

/// Error numbers as they arrive in the exception record.
inline constexpr std::uint32_t kError5001 = 0x80041389u;  // OutputRange: not a reference
inline constexpr std::uint32_t kError5010 = 0x80041392u;  // XRange: not a reference
inline constexpr std::uint32_t kError5011 = 0x80041393u;  // Y range missing
inline constexpr std::uint32_t kError5012 = 0x80041394u;  // X range missing
inline constexpr std::uint32_t kError5028 = 0x800413A4u;  // X and Y row counts differ
inline constexpr std::uint32_t kError5048 = 0x800413B8u;  // fewer than 2 Y columns
inline constexpr std::uint32_t kError5049 = 0x800413B9u;  // fewer than 2 X columns for simple correlation
inline constexpr std::uint32_t kError5051 = 0x800413BBu;  // fewer than 3 data rows in X
inline constexpr std::uint32_t kError6004 = 0x80041774u;  // output place holds data, OverWrite false

}  // namespace nml::server::testing
