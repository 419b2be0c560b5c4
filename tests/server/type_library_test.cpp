// The dispatch table is generated from NMLCorrelation.idl; what the server
// answers must be that interface, and the uuids of the IDL those the server
// registers and hands out.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "server_fixture.h"

namespace nml::server::testing {
namespace {

std::string GuidText(const GUID& g) {
  char s[40];
  std::snprintf(s, sizeof s, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", static_cast<unsigned>(g.Data1),
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return s;
}

TEST(TypeLibrary, TheServerAnswersTheInterfaceOfTheIdl) {
  struct Row {
    const char* name;
    DISPID id;
    WORD kind;
    const char* param;
    const char* typeName;
    VARTYPE type;
    bool optional;
  };
  constexpr WORD put = DISPATCH_PROPERTYPUT;
  const Row expected[] = {
      {"Headers", 1, put, "YesNo", "VARIANT_BOOL", VT_BOOL, false},
      {"Method", 2, put, "Meth", "nmlCorrelationMethod", VT_I4, false},
      {"Descriptives", 3, put, "YesNo", "VARIANT_BOOL", VT_BOOL, false},
      {"Standardised", 4, put, "YesNo", "VARIANT_BOOL", VT_BOOL, false},
      {"Raw", 5, put, "YesNo", "VARIANT_BOOL", VT_BOOL, false},
      {"Plots", 6, put, "YesNo", "VARIANT_BOOL", VT_BOOL, false},
      {"YRange", 7, put, "VR", "BSTR", VT_BSTR, false},
      {"XRange", 8, put, "VR", "BSTR", VT_BSTR, false},
      {"OutputRange", 9, put, "Value", "BSTR", VT_BSTR, false},
      {"Results", 10, DISPATCH_METHOD, "OverWrite", "VARIANT_BOOL", VT_BOOL, true},
  };
  UINT k = 0;
  for (NmlMemberInfo row{}; NmlServerGetMember(k, &row) == S_OK; ++k) {
    ASSERT_LT(k, std::size(expected)) << "more members than the IDL declares";
    const Row& e = expected[k];
    EXPECT_STREQ(row.name, e.name);
    EXPECT_EQ(row.dispid, e.id) << e.name;
    EXPECT_EQ(row.invokeKind, e.kind) << e.name;
    EXPECT_STREQ(row.paramName, e.param);
    EXPECT_STREQ(row.paramTypeName, e.typeName);
    EXPECT_EQ(row.paramType, e.type) << e.name;
    EXPECT_EQ(row.paramOptional != 0, e.optional) << e.name;
  }
  EXPECT_EQ(k, std::size(expected));
  NmlMemberInfo row{};
  EXPECT_EQ(NmlServerGetMember(k, &row), DISP_E_BADINDEX);
  EXPECT_EQ(NmlServerGetMember(0, nullptr), E_POINTER);

  // The IDL's uuids, as the build read them, against the server's constants.
  std::string library, enumeration, dispinterface, coclass;
#define NML_MEMBER(name, id, invokeKind, paramName, paramTypeName, optional)
#define NML_UUID(kind, text) kind = text;
#include "server/dispatch_members.inc"
#undef NML_MEMBER
#undef NML_UUID
  EXPECT_EQ(library, GuidText(LIBID_NMLCorrelation));
  EXPECT_EQ(enumeration, GuidText(GUID_nmlCorrelationMethod));
  EXPECT_EQ(dispinterface, GuidText(IID__clsCorrelation));
  EXPECT_EQ(coclass, GuidText(CLSID_clsCorrelation));
}

}  // namespace
}  // namespace nml::server::testing
