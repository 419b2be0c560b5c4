#include "server/correlation_object.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "nmlcorrelation/correlation.h"
#include "nmlcorrelation/error.h"
#include "server/coercion.h"
#include "server/dispatch_table.h"
#include "server/module.h"
#include "server/nmlcorrelation_server.h"
#include "server/ole_strings.h"

namespace nml::server {
namespace {

struct CorrelationObject : IDispatch {
  CorrelationObject();
  ~CorrelationObject() { ObjectDestroyed(); }
  CorrelationObject(const CorrelationObject&) = delete;
  CorrelationObject& operator=(const CorrelationObject&) = delete;

  std::atomic<ULONG> refs{1};
  clsCorrelation impl;
};

CorrelationObject* Self(IDispatch* This) { return static_cast<CorrelationObject*>(This); }

HRESULT STDMETHODCALLTYPE QueryInterface(IDispatch* This, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!riid) return E_INVALIDARG;
  if (IsEqualGUID(riid, &IID_IUnknown) || IsEqualGUID(riid, &IID_IDispatch) ||
      IsEqualGUID(riid, &IID__clsCorrelation)) {
    This->lpVtbl->AddRef(This);
    *ppv = This;
    return S_OK;
  }
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE AddRef(IDispatch* This) { return ++Self(This)->refs; }

ULONG STDMETHODCALLTYPE Release(IDispatch* This) {
  CorrelationObject* self = Self(This);
  const ULONG left = --self->refs;
  if (left == 0) delete self;
  return left;
}

HRESULT STDMETHODCALLTYPE GetTypeInfoCount(IDispatch*, UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 0;  // no type information at run time: names come from GetIDsOfNames
  return S_OK;
}

HRESULT STDMETHODCALLTYPE GetTypeInfo(IDispatch*, UINT, LCID, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_POINTER;
  *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE GetIDsOfNames(IDispatch*, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                        DISPID* rgDispId) {
  if (!riid || !IsEqualGUID(riid, &IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!rgszNames || !rgDispId) return E_POINTER;
  if (cNames == 0) return E_INVALIDARG;
  const MemberRow* row = FindMember(rgszNames[0]);
  if (!row) {
    for (UINT k = 0; k < cNames; ++k) rgDispId[k] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  rgDispId[0] = static_cast<DISPID>(row->member);
  HRESULT hr = S_OK;
  for (UINT k = 1; k < cNames; ++k) {
    rgDispId[k] = FindParameter(*row, rgszNames[k]);
    if (rgDispId[k] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

void FillException(EXCEPINFO* info, std::int32_t number, const std::string& description,
                   const std::string& source) {
  if (!info) return;
  std::memset(info, 0, sizeof *info);
  info->scode = HResultOfErrorNumber(number);
  info->bstrSource = AllocBstr(source);
  info->bstrDescription = AllocBstr(description);
}

void SetArgErr(UINT* puArgErr, UINT index) {
  if (puArgErr) *puArgErr = index;
}

// Runs call on the component; an error it raises becomes DISP_E_EXCEPTION
// with the error's number, description and source in the exception record.
template <class Call>
HRESULT Guarded(EXCEPINFO* excep, Call&& call) {
  try {
    call();
    return S_OK;
  } catch (const Error& e) {
    FillException(excep, e.Number(), e.Description(), e.Source());
  } catch (const std::bad_alloc&) {
    FillException(excep, rt::kOutOfMemory, std::string(StandardDescription(rt::kOutOfMemory)), "NMLCorrelation");
  } catch (const std::exception& e) {
    FillException(excep, rt::kInternalError, e.what(), "NMLCorrelation");
  } catch (...) {
    FillException(excep, rt::kInternalError, std::string(StandardDescription(rt::kInternalError)),
                  "NMLCorrelation");
  }
  return DISP_E_EXCEPTION;
}

HRESULT InvokePut(CorrelationObject& self, const MemberRow& row, const DISPPARAMS& params, EXCEPINFO* excep,
                  UINT* puArgErr) {
  if (params.cArgs > 1) return DISP_E_BADPARAMCOUNT;
  if (params.cArgs == 0 || params.cNamedArgs == 0) return DISP_E_PARAMNOTOPTIONAL;
  if (params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
    SetArgErr(puArgErr, 0);
    return DISP_E_PARAMNOTFOUND;
  }
  const VARIANT& arg = params.rgvarg[0];
  if (IsMissingArgument(arg)) return DISP_E_PARAMNOTOPTIONAL;

  HRESULT hr = S_OK;
  bool flag = false;
  std::int32_t number = 0;
  std::string text;
  switch (row.paramType) {
    case VT_BOOL:
      hr = CoerceToBool(arg, flag);
      break;
    case VT_I4:
      hr = CoerceToLong(arg, number);
      break;
    default:
      hr = CoerceToText(arg, text);
      break;
  }
  if (FAILED(hr)) {
    SetArgErr(puArgErr, 0);
    return hr;
  }

  clsCorrelation& c = self.impl;
  return Guarded(excep, [&] {
    switch (row.member) {
      case Member::kHeaders: c.Headers(flag); break;
      case Member::kMethod: c.Method(number); break;
      case Member::kDescriptives: c.Descriptives(flag); break;
      case Member::kStandardised: c.Standardised(flag); break;
      case Member::kRaw: c.Raw(flag); break;
      case Member::kPlots: c.Plots(flag); break;
      case Member::kYRange: c.YRange(text); break;
      case Member::kXRange: c.XRange(text); break;
      case Member::kOutputRange: c.OutputRange(text); break;
      case Member::kResults: break;
    }
  });
}

HRESULT InvokeResults(CorrelationObject& self, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* excep,
                      UINT* puArgErr) {
  if (params.cArgs > 1) return DISP_E_BADPARAMCOUNT;
  if (params.cNamedArgs == 1 && params.rgdispidNamedArgs[0] != 0) {
    SetArgErr(puArgErr, 0);
    return DISP_E_PARAMNOTFOUND;
  }
  bool overWrite = false;
  if (params.cArgs == 1 && !IsMissingArgument(params.rgvarg[0])) {
    if (const HRESULT hr = CoerceToBool(params.rgvarg[0], overWrite); FAILED(hr)) {
      SetArgErr(puArgErr, 0);
      return hr;
    }
  }
  if (result) VariantInit(result);  // Results returns nothing
  return Guarded(excep, [&] { self.impl.Results(overWrite); });
}

HRESULT STDMETHODCALLTYPE Invoke(IDispatch* This, DISPID dispIdMember, REFIID riid, LCID, WORD wFlags,
                                 DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                 UINT* puArgErr) {
  if (!riid || !IsEqualGUID(riid, &IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!pDispParams) return E_POINTER;
  const DISPPARAMS& params = *pDispParams;
  if ((params.cArgs > 0 && !params.rgvarg) || params.cNamedArgs > params.cArgs ||
      (params.cNamedArgs > 0 && !params.rgdispidNamedArgs))
    return E_INVALIDARG;
  const MemberRow* row = FindMember(dispIdMember);
  if (!row) return DISP_E_MEMBERNOTFOUND;
  // The properties can only be put and Results can only be called: anything
  // else names a member the interface does not have.
  if (!(wFlags & row->invokeKind)) return DISP_E_MEMBERNOTFOUND;
  if (row->member == Member::kResults) return InvokeResults(*Self(This), params, pVarResult, pExcepInfo, puArgErr);
  return InvokePut(*Self(This), *row, params, pExcepInfo, puArgErr);
}

constexpr IDispatchVtbl kVtbl = {
    QueryInterface, AddRef, Release, GetTypeInfoCount, GetTypeInfo, GetIDsOfNames, Invoke,
};

CorrelationObject::CorrelationObject() : IDispatch{&kVtbl} { ObjectCreated(); }

}  // namespace

HRESULT CreateCorrelationObject(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  CorrelationObject* object = nullptr;
  try {
    object = new CorrelationObject();
  } catch (...) {
    return HResultOfCurrentException(E_UNEXPECTED, true);
  }
  const HRESULT hr = QueryInterface(object, riid, ppv);
  Release(object);
  return hr;
}

}  // namespace nml::server
