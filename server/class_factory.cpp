// The class factory of clsCorrelation and the entry point that hands it out.
#include <atomic>
#include <new>

#include "server/correlation_object.h"
#include "server/module.h"
#include "server/nmlcorrelation_server.h"

namespace nml::server {
namespace {

struct ClassFactory : IClassFactory {
  ClassFactory();
  ~ClassFactory() { ObjectDestroyed(); }
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  std::atomic<ULONG> refs{1};
};

ClassFactory* Self(IClassFactory* This) { return static_cast<ClassFactory*>(This); }

HRESULT STDMETHODCALLTYPE QueryInterface(IClassFactory* This, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!riid) return E_INVALIDARG;
  if (IsEqualGUID(riid, &IID_IUnknown) || IsEqualGUID(riid, &IID_IClassFactory)) {
    This->lpVtbl->AddRef(This);
    *ppv = This;
    return S_OK;
  }
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE AddRef(IClassFactory* This) { return ++Self(This)->refs; }

ULONG STDMETHODCALLTYPE Release(IClassFactory* This) {
  ClassFactory* self = Self(This);
  const ULONG left = --self->refs;
  if (left == 0) delete self;
  return left;
}

HRESULT STDMETHODCALLTYPE CreateInstance(IClassFactory*, IUnknown* pUnkOuter, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!riid) return E_INVALIDARG;
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  return CreateCorrelationObject(riid, ppv);
}

HRESULT STDMETHODCALLTYPE LockServer(IClassFactory*, BOOL fLock) {
  nml::server::LockServer(fLock != 0);
  return S_OK;
}

constexpr IClassFactoryVtbl kVtbl = {QueryInterface, AddRef, Release, CreateInstance, LockServer};

// A live factory counts as an object: a client holding one may still call
// into the library, so the library must not be unloaded under it.
ClassFactory::ClassFactory() : IClassFactory{&kVtbl} { ObjectCreated(); }

}  // namespace
}  // namespace nml::server

extern "C" NMLSERVER_API HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  using namespace nml::server;
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!rclsid || !riid) return E_INVALIDARG;
  if (!IsEqualGUID(rclsid, &CLSID_clsCorrelation)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) ClassFactory();
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = QueryInterface(factory, riid, ppv);
  Release(factory);
  return hr;
}
