// The dispatch interface as a late-binding caller meets it: names, calling
// forms, argument counts, coercion of arguments, and errors raised by the
// component coming back in the exception record. Coercion is observed through
// the component's own checks: a Method of 0 and of 1 fail differently on the
// same ranges, three rows with and without Headers likewise.
#include <cmath>
#include <limits>
#include <regex>

#include "server_fixture.h"

namespace nml::server::testing {
namespace {

// ---- Objects, interfaces and reference counts -----------------------------

class DispatchObject : public ServerTest {};

TEST_F(DispatchObject, AnswersItsThreeInterfacesWithOnePointer) {
  void* unknown = nullptr;
  void* dispatch = nullptr;
  void* own = nullptr;
  ASSERT_EQ(object->lpVtbl->QueryInterface(object, &IID_IUnknown, &unknown), S_OK);
  ASSERT_EQ(object->lpVtbl->QueryInterface(object, &IID_IDispatch, &dispatch), S_OK);
  ASSERT_EQ(object->lpVtbl->QueryInterface(object, &IID__clsCorrelation, &own), S_OK);
  EXPECT_EQ(unknown, object);
  EXPECT_EQ(dispatch, object);
  EXPECT_EQ(own, object);
  EXPECT_EQ(object->lpVtbl->Release(object), 3u);
  EXPECT_EQ(object->lpVtbl->Release(object), 2u);
  EXPECT_EQ(object->lpVtbl->Release(object), 1u);

  void* factory = &factory;
  EXPECT_EQ(object->lpVtbl->QueryInterface(object, &IID_IClassFactory, &factory), E_NOINTERFACE);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(object->lpVtbl->QueryInterface(object, &IID_IDispatch, nullptr), E_POINTER);
}

TEST_F(DispatchObject, EveryLiveObjectKeepsTheLibraryLoaded) {
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  IDispatch* second = Create();
  ASSERT_NE(second, nullptr);
  object->lpVtbl->Release(object);
  object = nullptr;
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  EXPECT_EQ(second->lpVtbl->AddRef(second), 2u);
  EXPECT_EQ(second->lpVtbl->Release(second), 1u);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  EXPECT_EQ(second->lpVtbl->Release(second), 0u);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(DispatchObject, AnUnbalancedUnlockDoesNotHideALaterLock) {
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

TEST_F(DispatchObject, HasNoRunTimeTypeInformation) {
  UINT count = 7;
  EXPECT_EQ(object->lpVtbl->GetTypeInfoCount(object, &count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&count);
  EXPECT_EQ(object->lpVtbl->GetTypeInfo(object, 0, 0, &info), DISP_E_BADINDEX);
  EXPECT_EQ(info, nullptr);
}

// ---- Names ---------------------------------------------------------------

TEST_F(DispatchObject, NamesMemberAndParameterIdentifiers) {
  std::u16string results = Wide("RESULTS"), overWrite = Wide("overwrite"), bogus = Wide("Force");
  LPOLESTR names[2] = {reinterpret_cast<LPOLESTR>(results.data()), reinterpret_cast<LPOLESTR>(overWrite.data())};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(object->lpVtbl->GetIDsOfNames(object, &IID_NULL, names, 2, 0x0409, ids), S_OK);
  EXPECT_EQ(ids[0], Id("Results"));
  EXPECT_EQ(ids[1], 0);

  names[1] = reinterpret_cast<LPOLESTR>(bogus.data());
  EXPECT_EQ(object->lpVtbl->GetIDsOfNames(object, &IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], Id("Results"));
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);

  EXPECT_EQ(Id("Result"), DISPID_UNKNOWN);
  EXPECT_EQ(Id("Headers "), DISPID_UNKNOWN);
  EXPECT_EQ(Id(""), DISPID_UNKNOWN);
  EXPECT_EQ(object->lpVtbl->GetIDsOfNames(object, &IID_IDispatch, names, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
}

// ---- Calling forms and argument counts -------------------------------------

TEST_F(DispatchObject, PropertiesCanOnlyBePutAndResultsOnlyCalled) {
  VARIANT yes = Value(VT_BOOL);
  yes.boolVal = VARIANT_TRUE;
  const DISPID headers = Id("Headers");
  EXPECT_EQ(Invoke(headers, DISPATCH_PROPERTYGET, {}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Invoke(headers, DISPATCH_METHOD, {yes}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Invoke(headers, DISPATCH_PROPERTYPUTREF, {yes}, {DISPID_PROPERTYPUT}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Invoke(Id("Results"), DISPATCH_PROPERTYPUT, {yes}, {DISPID_PROPERTYPUT}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Invoke(99, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);

  // A caller asking for a result calls with both flags.
  VARIANT result = Value(VT_I4);
  EXPECT_EQ(Invoke(Id("Results"), DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, {}, nullptr, &result),
            DISP_E_EXCEPTION);
  EXPECT_EQ(result.vt, VT_EMPTY) << "Results returns nothing";
  EXPECT_EQ(excep.Code(), kError5012);
}

TEST_F(DispatchObject, PutNeedsExactlyOneValueNamedAsThePutArgument) {
  VARIANT yes = Value(VT_BOOL);
  yes.boolVal = VARIANT_TRUE;
  const DISPID headers = Id("Headers");
  EXPECT_EQ(Invoke(headers, DISPATCH_PROPERTYPUT, {yes, yes}, {DISPID_PROPERTYPUT}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(headers, DISPATCH_PROPERTYPUT, {}), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(Invoke(headers, DISPATCH_PROPERTYPUT, {yes}), DISP_E_PARAMNOTOPTIONAL);
  UINT argErr = 9;
  EXPECT_EQ(Invoke(headers, DISPATCH_PROPERTYPUT, {yes}, {0}, &argErr), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(argErr, 0u);
  VARIANT missing = Value(VT_ERROR);
  missing.scode = DISP_E_PARAMNOTFOUND;
  EXPECT_EQ(Put("Headers", missing), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(Invoke(headers, DISPATCH_PROPERTYPUT, {yes}, {DISPID_PROPERTYPUT}), S_OK);
}

TEST_F(DispatchObject, RefusesMalformedArgumentBlocks) {
  DISPPARAMS params{nullptr, nullptr, 1, 0};
  EXPECT_EQ(object->lpVtbl->Invoke(object, Id("Results"), &IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                                   nullptr),
            E_INVALIDARG);
  EXPECT_EQ(object->lpVtbl->Invoke(object, Id("Results"), &IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr,
                                   nullptr),
            E_POINTER);
  VARIANT none = Value(VT_EMPTY);
  DISPPARAMS namedWithoutIds{&none, nullptr, 1, 1};
  EXPECT_EQ(object->lpVtbl->Invoke(object, Id("Results"), &IID_NULL, 0, DISPATCH_METHOD, &namedWithoutIds, nullptr,
                                   nullptr, nullptr),
            E_INVALIDARG);
  DISPPARAMS empty{nullptr, nullptr, 0, 0};
  EXPECT_EQ(object->lpVtbl->Invoke(object, Id("Results"), &IID_IDispatch, 0, DISPATCH_METHOD, &empty, nullptr,
                                   nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
}

TEST_F(DispatchObject, OverWriteIsOptionalPositionalOrNamed) {
  // No X range yet: every well-formed call reaches the component and fails there.
  VARIANT missing = Value(VT_ERROR);
  missing.scode = DISP_E_PARAMNOTFOUND;
  VARIANT no = Value(VT_BOOL);
  EXPECT_EQ(ResultsError({}), kError5012);
  EXPECT_EQ(ResultsError({missing}), kError5012);
  EXPECT_EQ(Invoke(Id("Results"), DISPATCH_METHOD, {no}, {0}), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.Code(), kError5012);
  UINT argErr = 9;
  EXPECT_EQ(Invoke(Id("Results"), DISPATCH_METHOD, {no}, {3}, &argErr), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(argErr, 0u);
  EXPECT_EQ(Results({no, no}), DISP_E_BADPARAMCOUNT);
}

// ---- Coercion --------------------------------------------------------------

// OverWrite: a run that succeeds leaves its output place behind, and the next
// run on the same object pastes there again.
VARIANT Yes() {
  VARIANT v = Value(VT_BOOL);
  v.boolVal = VARIANT_TRUE;
  return v;
}

// Set up so that Method decides the outcome: one X column, one Y column.
// Method 0 fails with 5049 (two X columns needed), 1 runs, 2 and 3 fail with
// 5048 (two Y columns needed).
class MethodCoercion : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    ASSERT_EQ(PutText("XRange", "C1:C51"), S_OK);
    ASSERT_EQ(PutText("YRange", "B1:B51"), S_OK);
    ASSERT_EQ(PutBool("Headers", true), S_OK);
  }
  std::uint32_t RunWithMethod(VARIANT method) {
    const HRESULT hr = Put("Method", method);
    EXPECT_EQ(hr, S_OK);
    return ResultsError({Yes()});
  }
};

TEST_F(MethodCoercion, IntegersOfEveryWidth) {
  VARIANT v = Value(VT_I2);
  v.iVal = 1;
  EXPECT_EQ(RunWithMethod(v), 0u);
  v = Value(VT_UI1);
  v.bVal = 0;
  EXPECT_EQ(RunWithMethod(v), kError5049);
  std::int64_t wide = 3;
  v = Value(VT_I8 | VT_BYREF);
  v.pllVal = &wide;
  EXPECT_EQ(RunWithMethod(v), kError5048);
}

TEST_F(MethodCoercion, FloatingValuesRoundHalfToEven) {
  VARIANT v = Value(VT_R8);
  v.dblVal = 0.5;  // 0
  EXPECT_EQ(RunWithMethod(v), kError5049);
  v.dblVal = 1.5;  // 2
  EXPECT_EQ(RunWithMethod(v), kError5048);
  v.dblVal = 2.5;  // 2
  EXPECT_EQ(RunWithMethod(v), kError5048);
  v.dblVal = 0.6;  // 1
  EXPECT_EQ(RunWithMethod(v), 0u);
  float single = -0.4f;  // 0
  v = Value(VT_R4 | VT_BYREF);
  v.pfltVal = &single;
  EXPECT_EQ(RunWithMethod(v), kError5049);
  v = Value(VT_CY);
  v.cyVal.int64 = 15000;  // 1.5 -> 2
  EXPECT_EQ(RunWithMethod(v), kError5048);
  v.cyVal.int64 = 5000;  // 0.5 -> 0
  EXPECT_EQ(RunWithMethod(v), kError5049);
  v = Value(VT_DECIMAL);
  v.decVal.scale = 1;
  v.decVal.Lo64 = 11;  // 1.1 -> 1
  EXPECT_EQ(RunWithMethod(v), 0u);
}

TEST_F(MethodCoercion, BooleansTextAndEmpty) {
  VARIANT v = Value(VT_BOOL);
  v.boolVal = VARIANT_FALSE;  // 0
  EXPECT_EQ(RunWithMethod(v), kError5049);
  v.boolVal = VARIANT_TRUE;  // -1: not simple, not multiple
  EXPECT_EQ(RunWithMethod(v), kError5048);
  Bstr one(" 1 ");
  v = Value(VT_BSTR);
  v.bstrVal = one.get();
  EXPECT_EQ(RunWithMethod(v), 0u);
  EXPECT_EQ(RunWithMethod(Value(VT_EMPTY)), kError5049);
  // Through a VARIANT reference, as a macro passing a Variant variable does.
  VARIANT inner = Value(VT_I4);
  inner.lVal = 1;
  v = Value(VT_VARIANT | VT_BYREF);
  v.pvarVal = &inner;
  EXPECT_EQ(RunWithMethod(v), 0u);
}

TEST_F(DispatchObject, MethodRefusesWhatIsNoNumberOrOutOfRange) {
  UINT argErr = 9;
  Bstr word("canonical");
  VARIANT v = Value(VT_BSTR);
  v.bstrVal = word.get();
  EXPECT_EQ(Put("Method", v, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);
  Bstr infinity("inf");
  v.bstrVal = infinity.get();
  EXPECT_EQ(Put("Method", v), DISP_E_TYPEMISMATCH);
  v = Value(VT_R8);
  v.dblVal = 3e10;
  EXPECT_EQ(Put("Method", v), DISP_E_OVERFLOW);
  v.dblVal = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Put("Method", v), DISP_E_OVERFLOW);
  v = Value(VT_UI4);
  v.ulVal = 0x80000000u;
  EXPECT_EQ(Put("Method", v), DISP_E_OVERFLOW);
  EXPECT_EQ(Put("Method", Value(VT_NULL)), DISP_E_TYPEMISMATCH);
  v = Value(VT_I4 | VT_BYREF);  // a reference to nothing
  EXPECT_EQ(Put("Method", v), E_POINTER);
}

// Three rows in X: with Headers that is two data rows (5051); without, the run
// goes ahead.
class FlagCoercion : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    ASSERT_EQ(PutText("XRange", "C2:D4"), S_OK);
  }
  std::uint32_t RunWithHeaders(VARIANT flag) {
    const HRESULT hr = Put("Headers", flag);
    EXPECT_EQ(hr, S_OK);
    return ResultsError({Yes()});
  }
};

TEST_F(FlagCoercion, TrueAndFalseAsWordsInAnyCase) {
  for (const char* word : {"True", "TRUE", " true "}) {
    Bstr b(word);
    VARIANT v = Value(VT_BSTR | VT_BYREF);
    v.pbstrVal = b.address();
    EXPECT_EQ(RunWithHeaders(v), kError5051) << word;
  }
  for (const char* word : {"False", "false"}) {
    Bstr b(word);
    VARIANT v = Value(VT_BSTR);
    v.bstrVal = b.get();
    EXPECT_EQ(RunWithHeaders(v), 0u) << word;
  }
}

TEST_F(FlagCoercion, NumbersAndNumericText) {
  VARIANT v = Value(VT_I4);
  v.lVal = 1;  // any non-zero number is True
  EXPECT_EQ(RunWithHeaders(v), kError5051);
  v = Value(VT_R8);
  v.dblVal = 0.0;
  EXPECT_EQ(RunWithHeaders(v), 0u);
  v.dblVal = -0.25;
  EXPECT_EQ(RunWithHeaders(v), kError5051);
  Bstr zero("0");
  v = Value(VT_BSTR);
  v.bstrVal = zero.get();
  EXPECT_EQ(RunWithHeaders(v), 0u);
  Bstr minusOne("-1");
  v.bstrVal = minusOne.get();
  EXPECT_EQ(RunWithHeaders(v), kError5051);
  EXPECT_EQ(RunWithHeaders(Value(VT_EMPTY)), 0u);
}

TEST_F(DispatchObject, FlagsRefuseWhatIsNoBoolean) {
  for (const char* word : {"yes", "", "1,5", "Truee"}) {
    Bstr b(word);
    VARIANT v = Value(VT_BSTR);
    v.bstrVal = b.get();
    UINT argErr = 9;
    EXPECT_EQ(Put("Plots", v, &argErr), DISP_E_TYPEMISMATCH) << word;
    EXPECT_EQ(argErr, 0u);
  }
  VARIANT error = Value(VT_ERROR);
  error.scode = E_FAIL;
  EXPECT_EQ(Put("Raw", error), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Put("Raw", Value(VT_NULL)), DISP_E_TYPEMISMATCH);
  VARIANT obj = Value(VT_DISPATCH);
  obj.pdispVal = object;
  EXPECT_EQ(Put("Raw", obj), DISP_E_TYPEMISMATCH);
  VARIANT nan = Value(VT_R8);
  nan.dblVal = std::nan("");
  EXPECT_EQ(Put("Raw", nan), DISP_E_TYPEMISMATCH);
  VARIANT array = Value(VT_ARRAY | VT_R8);
  EXPECT_EQ(Put("Raw", array), DISP_E_TYPEMISMATCH);
}

TEST_F(DispatchObject, OverWriteTakesTheSameBooleans) {
  // The report would land on the data: refused unless OverWrite is true.
  ASSERT_EQ(PutText("XRange", "C1:D51"), S_OK);
  ASSERT_EQ(PutBool("Headers", true), S_OK);
  ASSERT_EQ(PutText("OutputRange", "A1"), S_OK);
  VARIANT no = Value(VT_BOOL);
  EXPECT_EQ(ResultsError({no}), kError6004);
  EXPECT_EQ(ResultsError(), kError6004) << "False when omitted";
  UINT argErr = 9;
  Bstr maybe("maybe");
  VARIANT bad = Value(VT_BSTR);
  bad.bstrVal = maybe.get();
  EXPECT_EQ(Invoke(Id("Results"), DISPATCH_METHOD, {bad}, {}, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);
  Bstr yes("True");
  VARIANT text = Value(VT_BSTR | VT_BYREF);
  text.pbstrVal = yes.address();
  EXPECT_EQ(ResultsError({text}), 0u);
}

TEST_F(DispatchObject, RangesTakeTextNumbersAsTheirTextAndEmptyAsNothing) {
  VARIANT number = Value(VT_I4);
  number.lVal = 5;  // "5" is no reference
  EXPECT_EQ(Put("XRange", number), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.Code(), kError5010);
  EXPECT_EQ(Put("XRange", Value(VT_EMPTY)), DISP_E_EXCEPTION);  // "" is refused
  EXPECT_EQ(excep.Code(), kError5012);
  VARIANT flag = Value(VT_BOOL);
  EXPECT_EQ(Put("OutputRange", flag), DISP_E_EXCEPTION);  // "False"
  EXPECT_EQ(excep.Code(), kError5001);
  EXPECT_EQ(Put("OutputRange", Value(VT_EMPTY)), S_OK);  // no output place: a new sheet
  EXPECT_EQ(Put("YRange", Value(VT_NULL)), DISP_E_TYPEMISMATCH);
  VARIANT date = Value(VT_DATE);
  date.date = 45000;
  EXPECT_EQ(Put("YRange", date), DISP_E_TYPEMISMATCH);
}

TEST_F(DispatchObject, RangeTextKeepsCharactersOutsideAscii) {
  // A workbook whose sheet is named after its file, accents and a character
  // outside the basic plane included: the reference resolves only if the
  // UTF-16 text reaches the host intact.
  TempFolder folder;
  const fs::path data = folder.path() / "Donn\u00e9es\U0001F4C8.csv";
  WriteFile(data, "a,b\n1,2\n2,1\n3,5\n");
  ASSERT_EQ(NmlHostOpenWorkbook(data.c_str()), S_OK) << NmlServerLastError();
  const auto put = [&](const std::u16string& text) {
    BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    VARIANT v = Value(VT_BSTR);
    v.bstrVal = b;
    const HRESULT hr = Put("XRange", v);
    SysFreeString(b);
    return hr;
  };
  EXPECT_EQ(put(u"'Donn\u00e9es\U0001F4C8'!A1:B4"), S_OK);
  EXPECT_EQ(put(u"'Donnees\U0001F4C8'!A1:B4"), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.Code(), kError5010);
  // A lone surrogate is no character: it cannot name the sheet either.
  std::u16string broken = u"'Donn\u00e9es\U0001F4C8'!A1:B4";
  broken[7] = 0xD83D;
  broken[8] = u'x';
  EXPECT_EQ(put(broken), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.Code(), kError5010);
}

// ---- Errors raised by the component ---------------------------------------

TEST_F(DispatchObject, ComponentErrorsCarryNumberDescriptionAndSourceTrail) {
  ASSERT_EQ(PutLong("Method", 3), S_OK);
  ASSERT_EQ(PutBool("Headers", true), S_OK);
  ASSERT_EQ(PutText("XRange", "C1:D51"), S_OK);
  ASSERT_EQ(PutText("YRange", "E1:F40"), S_OK);
  ASSERT_EQ(Results(), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.Code(), kError5028);
  EXPECT_EQ(excep.wCode, 0);
  EXPECT_EQ(excep.Description(), "Application-defined or object-defined error");
  EXPECT_TRUE(std::regex_match(excep.Source(), std::regex(R"(Line \d+ in NMLCorrelation\.clsCorrelation\.Results)")))
      << excep.Source();
  EXPECT_EQ(excep.bstrHelpFile, nullptr);
  EXPECT_EQ(excep.pfnDeferredFillIn, nullptr);

  // Without an exception record the error still comes back as such.
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(object->lpVtbl->Invoke(object, Id("Results"), &IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                                   nullptr),
            DISP_E_EXCEPTION);
}

TEST_F(DispatchObject, RuntimeErrorsArriveInTheRuntimeFacility) {
  // A constant dependent variable divides by zero in the multiple correlation:
  // the runtime's error 11 arrives as 0x800A000B with its text and its trail.
  TempFolder folder;
  const fs::path data = folder.path() / "constant.csv";
  WriteFile(data, "x,y\n1,4\n2,4\n3,4\n5,4\n8,4\n");
  ASSERT_EQ(NmlHostOpenWorkbook(data.c_str()), S_OK) << NmlServerLastError();
  ASSERT_EQ(PutLong("Method", 1), S_OK);
  ASSERT_EQ(PutBool("Headers", true), S_OK);
  ASSERT_EQ(PutText("XRange", "A1:A6"), S_OK);
  ASSERT_EQ(PutText("YRange", "B1:B6"), S_OK);
  ASSERT_EQ(Results(), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.Code(), 0x800A000Bu);
  EXPECT_EQ(excep.Description(), "Division by zero");
  EXPECT_TRUE(std::regex_match(excep.Source(),
                               std::regex(R"(Line \d+ in NMLCorrelation\.clsCorrelationBO\.DoMultipleCorr\.Analyse)"
                                          R"(\.GetResults\.Results)")))
      << excep.Source();
}

}  // namespace
}  // namespace nml::server::testing
