// The dispatch interface as a late-binding caller meets it: interfaces and
// lifetime, the members and uuids of the IDL, names, calling forms, argument counts, coercion of arguments, and
// errors raised by the component coming back in the exception record.
#include <cctype>
#include <cstdio>
#include <limits>
#include <regex>

#include "server_fixture.h"

namespace nml::server::testing {
namespace {

class Dispatch : public ServerTest {};

TEST_F(Dispatch, AnswersItsThreeInterfacesWithOnePointerAndOffersNoTypeInformation) {
  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID__clsCorrelation}) {
    void* p = nullptr;
    ASSERT_EQ(object->lpVtbl->QueryInterface(object, iid, &p), S_OK);
    EXPECT_EQ(p, object);
  }
  for (ULONG left = 3; left > 0; --left) EXPECT_EQ(object->lpVtbl->Release(object), left);
  void* factory = &factory;
  EXPECT_EQ(object->lpVtbl->QueryInterface(object, &IID_IClassFactory, &factory), E_NOINTERFACE);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(object->lpVtbl->QueryInterface(object, &IID_IDispatch, nullptr), E_POINTER);

  UINT count = 7;
  EXPECT_EQ(object->lpVtbl->GetTypeInfoCount(object, &count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&count);
  EXPECT_EQ(object->lpVtbl->GetTypeInfo(object, 0, 0, &info), DISP_E_BADINDEX);
  EXPECT_EQ(info, nullptr);
}

TEST_F(Dispatch, AnUnbalancedUnlockDoesNotHideALaterLock) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(DllGetClassObject(&CLSID_clsCorrelation, &IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(factory->lpVtbl->LockServer(factory, 0), S_OK);  // nothing locked: ignored
  EXPECT_EQ(factory->lpVtbl->LockServer(factory, 1), S_OK);
  factory->lpVtbl->Release(factory);
  object->lpVtbl->Release(object);
  object = nullptr;
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  ASSERT_EQ(DllGetClassObject(&CLSID_clsCorrelation, &IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(factory->lpVtbl->LockServer(factory, 0), S_OK);
  factory->lpVtbl->Release(factory);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

std::string GuidText(const GUID& g) {
  char s[40];
  std::snprintf(s, sizeof s, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", static_cast<unsigned>(g.Data1),
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return s;
}

// The dispatch table is generated from NMLCorrelation.idl: the members the
// server answers, by name in any case, must be that interface, and the uuids
// of the IDL those the server registers and hands out.
TEST_F(Dispatch, AnswersTheInterfaceOfTheIdlByNameInAnyCase) {
  constexpr WORD put = DISPATCH_PROPERTYPUT;
  const NmlMemberInfo expected[] = {
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
  const auto text = [](const NmlMemberInfo& m) {
    return std::string(m.name) + " " + std::to_string(m.dispid) + " " + std::to_string(m.invokeKind) + " " +
           m.paramName + " " + m.paramTypeName + " " + std::to_string(m.paramType) + (m.paramOptional ? " opt" : "");
  };
  UINT k = 0;
  for (NmlMemberInfo row{}; NmlServerGetMember(k, &row) == S_OK; ++k) {
    ASSERT_LT(k, std::size(expected)) << "more members than the IDL declares";
    const NmlMemberInfo& e = expected[k];
    EXPECT_EQ(text(row), text(e));
    std::string swapped = e.name;  // "hEADERS"
    for (char& c : swapped) c = static_cast<char>(std::isupper(c) ? std::tolower(c) : std::toupper(c));
    for (const std::string& name : {std::string(e.name), swapped}) EXPECT_EQ(Id(name), e.dispid) << name;
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

TEST_F(Dispatch, UnknownNamesAreMarkedAndArgumentsNamed) {
  for (const char* name : {"Result", "Headers ", ""}) EXPECT_EQ(Id(name), DISPID_UNKNOWN) << name;

  std::u16string results = u"RESULTS", overWrite = u"overwrite", bogus = u"Force";
  LPOLESTR names[2] = {reinterpret_cast<LPOLESTR>(results.data()), reinterpret_cast<LPOLESTR>(overWrite.data())};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(object->lpVtbl->GetIDsOfNames(object, &IID_NULL, names, 2, 0x0409, ids), S_OK);
  EXPECT_EQ(ids[0], Id("Results"));
  EXPECT_EQ(ids[1], 0) << "OverWrite is argument 0";
  names[1] = reinterpret_cast<LPOLESTR>(bogus.data());
  EXPECT_EQ(object->lpVtbl->GetIDsOfNames(object, &IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], Id("Results"));
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  EXPECT_EQ(object->lpVtbl->GetIDsOfNames(object, &IID_IDispatch, names, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
}

TEST_F(Dispatch, CallingFormsAndArgumentCounts) {
  const VARIANT yes = Of(VT_BOOL, VARIANT_TRUE), no = Of(VT_BOOL, VARIANT_FALSE),
                missing = Of(VT_ERROR, DISP_E_PARAMNOTFOUND);
  const DISPID headers = Id("Headers"), results = Id("Results"), put = DISPID_PROPERTYPUT;
  constexpr WORD kPut = DISPATCH_PROPERTYPUT, kCall = DISPATCH_METHOD;
  struct Call {
    const char* what;
    DISPID member;
    WORD flags;
    std::vector<VARIANT> args;
    std::vector<DISPID> named;
    std::uint32_t outcome;  // an HRESULT, or the error number the component raised
  };
  const auto hr = [](HRESULT h) { return static_cast<std::uint32_t>(h); };
  const Call calls[] = {
      {"property get", headers, DISPATCH_PROPERTYGET, {}, {}, hr(DISP_E_MEMBERNOTFOUND)},
      {"property called", headers, kCall, {yes}, {}, hr(DISP_E_MEMBERNOTFOUND)},
      {"property put by reference", headers, DISPATCH_PROPERTYPUTREF, {yes}, {put}, hr(DISP_E_MEMBERNOTFOUND)},
      {"Results put", results, kPut, {yes}, {put}, hr(DISP_E_MEMBERNOTFOUND)},
      {"unknown member", 99, kCall, {}, {}, hr(DISP_E_MEMBERNOTFOUND)},
      {"put two values", headers, kPut, {yes, yes}, {put}, hr(DISP_E_BADPARAMCOUNT)},
      {"put nothing", headers, kPut, {}, {}, hr(DISP_E_PARAMNOTOPTIONAL)},
      {"put without the put name", headers, kPut, {yes}, {}, hr(DISP_E_PARAMNOTOPTIONAL)},
      {"put a missing value", headers, kPut, {missing}, {put}, hr(DISP_E_PARAMNOTOPTIONAL)},
      {"put under another name", headers, kPut, {yes}, {0}, hr(DISP_E_PARAMNOTFOUND)},
      {"put", headers, kPut, {yes}, {put}, hr(S_OK)},
      {"Results with two arguments", results, kCall, {no, no}, {}, hr(DISP_E_BADPARAMCOUNT)},
      {"OverWrite under another name", results, kCall, {no}, {3}, hr(DISP_E_PARAMNOTFOUND)},
      // Well-formed calls reach the component, which has no X range yet.
      {"Results", results, kCall, {}, {}, Raised(5012)},
      {"OverWrite missing", results, kCall, {missing}, {}, Raised(5012)},
      {"OverWrite by name", results, kCall, {no}, {0}, Raised(5012)},
  };
  for (const Call& call : calls) {
    UINT argErr = 9;
    const std::uint32_t got = Outcome(Invoke(call.member, call.flags, call.args, call.named, &argErr));
    EXPECT_EQ(got, call.outcome) << call.what;
    EXPECT_TRUE(got != hr(DISP_E_PARAMNOTFOUND) || argErr == 0) << call.what << ": argument " << argErr;
  }
  // A caller asking for a result calls with both flags.
  VARIANT result = Value(VT_I4);
  EXPECT_EQ(Outcome(Invoke(results, kCall | DISPATCH_PROPERTYGET, {}, {}, nullptr, &result)), Raised(5012));
  EXPECT_EQ(result.vt, VT_EMPTY) << "Results returns nothing";
}

TEST_F(Dispatch, RefusesMalformedArgumentBlocksAndNeedsNoExceptionRecord) {
  const auto invoke = [&](REFIID riid, DISPPARAMS* params) {
    return object->lpVtbl->Invoke(object, Id("Results"), riid, 0, DISPATCH_METHOD, params, nullptr, nullptr, nullptr);
  };
  VARIANT none = Value(VT_EMPTY);
  DISPPARAMS noArgs{nullptr, nullptr, 1, 0}, namedWithoutIds{&none, nullptr, 1, 1}, empty{nullptr, nullptr, 0, 0};
  EXPECT_EQ(invoke(&IID_NULL, &noArgs), E_INVALIDARG);
  EXPECT_EQ(invoke(&IID_NULL, &namedWithoutIds), E_INVALIDARG);
  EXPECT_EQ(invoke(&IID_NULL, nullptr), E_POINTER);
  EXPECT_EQ(invoke(&IID_IDispatch, &empty), DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(invoke(&IID_NULL, &empty), DISP_E_EXCEPTION) << "no X range, and no record to describe it in";
}

// ---- Coercion --------------------------------------------------------------

// One argument given to a member, and what came of it.
struct Coercion {
  const char* member;  // a property, or "OverWrite" for Results' argument
  VARIANT arg;
  std::uint32_t outcome;  // 0 for a run that succeeded, an error number, or the HRESULT of the refusal
};

class ArgumentCoercion : public ServerTest {
 protected:
  // On a fresh host and object, sets up the ranges so that the member's value
  // decides how Results ends, gives it the argument and runs Results.
  //  Method (X one column, Y one column): 0 fails with 5049, 1 runs, any other 5048.
  //  Headers (X of three rows): True leaves two data rows, 5051; False runs.
  //  OverWrite and the ranges (the report would land on the data): False 6004.
  std::uint32_t Run(const Coercion& row) {
    TearDown();
    SetUp();
    const std::string member = row.member;
    if (member == "Method") {
      EXPECT_EQ(PutText("XRange", "C1:C51") | PutText("YRange", "B1:B51") | PutBool("Headers", true), S_OK);
    } else if (member == "Headers") {
      EXPECT_EQ(PutText("XRange", "C2:D4"), S_OK);
    } else {
      EXPECT_EQ(PutText("XRange", "C1:D51") | PutBool("Headers", true) | PutText("OutputRange", "A1"), S_OK);
    }
    UINT argErr = 9;
    HRESULT hr = member == "OverWrite" ? Invoke(Id("Results"), DISPATCH_METHOD, {row.arg}, {}, &argErr)
                                       : Put(member, row.arg, &argErr);
    EXPECT_TRUE((hr != DISP_E_TYPEMISMATCH && hr != DISP_E_OVERFLOW) || argErr == 0) << "argument " << argErr;
    if (hr == S_OK && member != "OverWrite") hr = Results({Of(VT_BOOL, VARIANT_TRUE)});
    return Outcome(hr);
  }
};

TEST_F(ArgumentCoercion, ConvertsAsTheRuntimeDoesAndRefusesWhatItCannot) {
  constexpr std::uint32_t kMethod0 = Raised(5049), kMethod1 = 0, kOtherMethod = Raised(5048);
  constexpr std::uint32_t kTrue = Raised(5051), kFalse = 0;
  constexpr auto kMismatch = static_cast<std::uint32_t>(DISP_E_TYPEMISMATCH);
  constexpr auto kOverflow = static_cast<std::uint32_t>(DISP_E_OVERFLOW);
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  VARIANT decimal = Value(VT_DECIMAL);  // 1.1
  decimal.decVal.scale = 1;
  decimal.decVal.Lo64 = 11;
  const Coercion rows[] = {
      // Method: integers of every width, floating values rounded half to even.
      {"Method", Of(VT_I2, std::int16_t{1}), kMethod1},
      {"Method", Of(VT_UI1, std::uint8_t{0}), kMethod0},
      {"Method", Ref(Of(VT_I8, std::int64_t{3})), kOtherMethod},
      {"Method", Of(VT_R8, 0.5), kMethod0},
      {"Method", Of(VT_R8, 1.5), kOtherMethod},
      {"Method", Of(VT_R8, 0.6), kMethod1},
      {"Method", Ref(Of(VT_R4, -0.4f)), kMethod0},
      {"Method", Of(VT_CY, std::int64_t{15000}), kOtherMethod},  // 1.5
      {"Method", Of(VT_CY, std::int64_t{5000}), kMethod0},       // 0.5
      {"Method", decimal, kMethod1},
      {"Method", Of(VT_BOOL, VARIANT_FALSE), kMethod0},
      {"Method", Of(VT_BOOL, VARIANT_TRUE), kOtherMethod},  // -1
      {"Method", Text(" 1 "), kMethod1},
      {"Method", Value(VT_EMPTY), kMethod0},
      {"Method", InVariant(Of(VT_I4, 1)), kMethod1},
      {"Method", Text("inf"), kMismatch},
      {"Method", Of(VT_R8, 3e10), kOverflow},
      {"Method", Of(VT_R8, kNaN), kOverflow},
      {"Method", Of(VT_UI4, 0x80000000u), kOverflow},
      {"Method", Value(VT_NULL), kMismatch},
      {"Method", Of(VT_I4 | VT_BYREF, static_cast<void*>(nullptr)), static_cast<std::uint32_t>(E_POINTER)},
      // Flags: numbers (non-zero is True), "True"/"False" in any case, numeric text.
      {"Headers", Ref(Text("TRUE")), kTrue},
      {"Headers", Text(" true "), kTrue},
      {"Headers", Text("false"), kFalse},
      {"Headers", Of(VT_I4, 1), kTrue},
      {"Headers", Of(VT_R8, 0.0), kFalse},
      {"Headers", Of(VT_R8, -0.25), kTrue},
      {"Headers", Text("0"), kFalse},
      {"Headers", Text("-1"), kTrue},
      {"Headers", Value(VT_EMPTY), kFalse},
      {"Plots", Text(""), kMismatch},
      {"Plots", Text("Truee"), kMismatch},
      {"Raw", Of(VT_ERROR, E_FAIL), kMismatch},
      {"Raw", Of(VT_DISPATCH, object), kMismatch},  // an object, never called
      {"Raw", Of(VT_R8, kNaN), kMismatch},
      {"Raw", Value(VT_ARRAY | VT_R8), kMismatch},
      {"OverWrite", Of(VT_BOOL, VARIANT_FALSE), Raised(6004)},
      {"OverWrite", Ref(Text("True")), 0},
      {"OverWrite", Text("maybe"), kMismatch},
      // Ranges: numbers and Booleans as their text, Empty as no text.
      {"XRange", Of(VT_I4, 5), Raised(5010)},
      {"XRange", Value(VT_EMPTY), Raised(5012)},
      {"OutputRange", Of(VT_BOOL, VARIANT_FALSE), Raised(5001)},  // "False"
      {"OutputRange", Value(VT_EMPTY), 0},                      // no output place: a new sheet
      {"YRange", Value(VT_NULL), kMismatch},
      {"YRange", Of(VT_DATE, 45000.0), kMismatch},
  };
  for (std::size_t k = 0; k < std::size(rows); ++k) {
    EXPECT_EQ(Run(rows[k]), rows[k].outcome) << rows[k].member << ", row " << k;
  }
}

TEST_F(Dispatch, RangeTextKeepsCharactersOutsideAscii) {
  // A workbook whose sheet is named after its file, accents and a character
  // outside the basic plane included: the reference resolves only if the
  // UTF-16 text reaches the host intact.
  TempFolder folder;
  const fs::path data = folder.Path() / "Donn\u00e9es\U0001F4C8.csv";
  WriteFile(data, "a,b\n1,2\n2,1\n3,5\n");
  ASSERT_EQ(NmlHostOpenWorkbook(data.c_str()), S_OK) << NmlServerLastError();
  // The text is freed once the statement that put it has ended.
  const auto put = [&](const std::u16string& s) { return Outcome(Put("XRange", Of(VT_BSTR, MakeBstr(s).get()))); };
  EXPECT_EQ(put(u"'Donn\u00e9es\U0001F4C8'!A1:B4"), 0u);
  EXPECT_EQ(put(u"'Donnees\U0001F4C8'!A1:B4"), Raised(5010));
  // A lone surrogate is no character: it cannot name the sheet either.
  std::u16string broken = u"'Donn\u00e9es\U0001F4C8'!A1:B4";
  broken[7] = 0xD83D;
  broken[8] = u'x';
  EXPECT_EQ(put(broken), Raised(5010));
}

// ---- Errors raised by the component ---------------------------------------

TEST_F(Dispatch, ErrorsArriveWithTheirNumberTextAndTrail) {
  // X of 50 data rows against Y of 39: the component's own 5028, with the
  // runtime's text for errors it does not know. A variable fully determined by
  // the control has no residual variance: the partial correlation divides by
  // zero, and the runtime's error 11 arrives as 0x800A000B.
  TempFolder folder;
  const fs::path determined = folder.Path() / "determined.csv";
  WriteFile(determined, "x,y,z\n0,0,1\n0,0,3\n4,4,2\n4,4,5\n");
  const struct {
    const char *data, *x, *y;  // data: nullptr for the savings data already open
    std::int32_t method;
    std::uint32_t outcome;
    const char *description, *trail;
  } cases[] = {
      {nullptr, "C1:D51", "E1:F40", 3, Raised(5028), "Application-defined or object-defined error",
       R"(clsCorrelation\.Results)"},
      {determined.c_str(), "A1:A5", "B1:C5", 2, 0x800A000Bu, "Division by zero",
       R"(clsCorrelationBO\.DoPartialCorr\.Analyse\.GetResults\.Results)"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(!c.data || NmlHostOpenWorkbook(c.data) == S_OK) << NmlServerLastError();
    ASSERT_EQ(Put("Method", Of(VT_I4, c.method)) | PutBool("Headers", true) | PutText("XRange", c.x) |
                  PutText("YRange", c.y),
              S_OK);
    ASSERT_EQ(Results(), DISP_E_EXCEPTION);
    EXPECT_EQ(Outcome(DISP_E_EXCEPTION), c.outcome);
    EXPECT_EQ(excep.wCode, 0) << "the number is in scode only";
    EXPECT_EQ(Narrow(excep.bstrDescription), c.description);
    const std::regex trail(std::string(R"(Line \d+ in NMLCorrelation\.)") + c.trail);
    EXPECT_TRUE(std::regex_match(Narrow(excep.bstrSource), trail)) << Narrow(excep.bstrSource);
    EXPECT_TRUE(excep.bstrHelpFile == nullptr && excep.pfnDeferredFillIn == nullptr) << "nothing else filled in";
  }
}

}  // namespace
}  // namespace nml::server::testing
