// A late-binding client in plain C: loads libNMLCorrelation.so at run time,
// registers it, creates clsCorrelation through its class factory, sets the
// properties by name, runs Results, saves the report, unregisters, and unloads
// the library once DllCanUnloadNow allows it. (What registering records, the
// class factory's locks and the errors in the exception record are the C++ tests'.)
//
// Usage: server_client <path of libNMLCorrelation.so> <path of savings.csv>
#define _XOPEN_SOURCE 700

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "server/nmlcorrelation_server.h"

static int failures = 0;

// Prints where and what failed, then the message, and counts the failure.
#define REPORT_FAILURE(cond, ...)                                                                     \
  (fprintf(stderr, "%s:%d: failed: %s: ", __FILE__, __LINE__, #cond), fprintf(stderr, __VA_ARGS__), \
   fputc('\n', stderr), ++failures)
#define CHECK(cond, ...) (void)((cond) || REPORT_FAILURE(cond, __VA_ARGS__))
#define REQUIRE(cond, ...) ((cond) ? (void)0 : (REPORT_FAILURE(cond, __VA_ARGS__), exit(1)))  // ends the run

// ---- The library's entry points, looked up by name --------------------

#define ENTRY_POINTS(X)                                                                                    \
  X(DllGetClassObject) X(DllCanUnloadNow) X(DllRegisterServer) X(DllUnregisterServer) X(SysAllocStringLen) \
  X(SysFreeString) X(VariantInit) X(NmlHostOpenWorkbook) X(NmlHostSaveWorkbook) X(NmlHostReset)            \
  X(NmlServerLastError)
#define FIELD(name) PFN_##name name;
static struct {
  void* handle;
  ENTRY_POINTS(FIELD)
} lib;

// dlsym returns an object pointer; copy its bits into the function pointer.
static void Bind(void* target, size_t size, const char* name) {
  void* symbol = dlsym(lib.handle, name);
  REQUIRE(symbol != NULL, "the library exports no %s", name);
  memcpy(target, &symbol, size);
}
#define BIND(name) Bind(&lib.name, sizeof lib.name, #name);

// ---- Calls by name -----------------------------------------------------

static void Widen(const char* ascii, OLECHAR* wide) {
  do *wide++ = (OLECHAR)(unsigned char)*ascii;
  while (*ascii++);
}

// Puts a property, or calls Results, with one argument of type vt passed by
// reference, as a late-binding caller passes every argument.
static HRESULT Call(IDispatch* object, const char* name, VARTYPE vt, void* value, EXCEPINFO* excep) {
  OLECHAR wide[64];
  Widen(name, wide);
  LPOLESTR names[1] = {wide};
  DISPID id = DISPID_UNKNOWN, named = DISPID_PROPERTYPUT;
  HRESULT hr = object->lpVtbl->GetIDsOfNames(object, &IID_NULL, names, 1, 0, &id);
  if (FAILED(hr)) return hr;
  VARIANT arg, result;
  lib.VariantInit(&arg);
  lib.VariantInit(&result);
  arg.vt = vt | VT_BYREF;
  arg.byref = value;
  const int put = strcmp(name, "Results") != 0;
  DISPPARAMS params = {&arg, put ? &named : NULL, 1, put ? 1 : 0};
  memset(excep, 0, sizeof *excep);
  return object->lpVtbl->Invoke(object, id, &IID_NULL, 0, put ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD, &params,
                                &result, excep, NULL);
}

static HRESULT PutText(IDispatch* object, const char* name, const char* text, EXCEPINFO* excep) {
  OLECHAR wide[64];
  Widen(text, wide);
  BSTR value = lib.SysAllocStringLen(wide, (UINT)strlen(text));
  HRESULT hr = Call(object, name, VT_BSTR, &value, excep);
  lib.SysFreeString(value);
  return hr;
}

// ---- The checks --------------------------------------------------------

// The class factory refuses what it does not make and then makes an object.
static IDispatch* CheckFactory(void) {
  static const CLSID other = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  void* p = (void*)&p;
  CHECK(lib.DllGetClassObject(&other, &IID_IClassFactory, &p) == CLASS_E_CLASSNOTAVAILABLE && !p, "other class");
  CHECK(lib.DllGetClassObject(&CLSID_clsCorrelation, &IID_IDispatch, &p) == E_NOINTERFACE && !p, "not IDispatch");
  CHECK(lib.DllGetClassObject(&CLSID_clsCorrelation, &IID_IClassFactory, NULL) == E_POINTER, "null out pointer");
  CHECK(lib.DllCanUnloadNow() == S_OK, "nothing alive after refused requests");

  IClassFactory* factory = NULL;
  REQUIRE(lib.DllGetClassObject(&CLSID_clsCorrelation, &IID_IClassFactory, (void**)&factory) == S_OK, "factory");
  CHECK(lib.DllCanUnloadNow() == S_FALSE, "a live class factory keeps the library loaded");
  IUnknown outer = {NULL};
  p = (void*)&p;
  CHECK(factory->lpVtbl->CreateInstance(factory, &outer, &IID_IUnknown, &p) == CLASS_E_NOAGGREGATION && !p,
        "no aggregation");
  IDispatch* corr = NULL;
  HRESULT hr = factory->lpVtbl->CreateInstance(factory, NULL, &IID_IDispatch, (void**)&corr);
  REQUIRE(hr == S_OK && corr != NULL, "CreateInstance: 0x%08X", (unsigned)hr);
  CHECK(factory->lpVtbl->Release(factory) == 0 && lib.DllCanUnloadNow() == S_FALSE,
        "the factory's last reference; a live object keeps the library loaded");
  return corr;
}

// The properties set by name (one in lower case), Results makes the report,
// and the workbook is saved.
static void CheckReport(IDispatch* corr, const char* dataPath, const char* outputPath) {
  CHECK(lib.NmlHostOpenWorkbook(dataPath) == S_OK, "open %s: %s", dataPath, lib.NmlServerLastError());
  EXCEPINFO excep;
  short method = 3;  // a 16-bit integer, as a macro passing a literal does
  VARIANT_BOOL yes = VARIANT_TRUE, no = VARIANT_FALSE;
  CHECK(Call(corr, "Method", VT_I2, &method, &excep) == S_OK, "Method");
  CHECK(Call(corr, "Headers", VT_BOOL, &yes, &excep) == S_OK, "Headers");
  CHECK(Call(corr, "Plots", VT_BOOL, &yes, &excep) == S_OK, "Plots");
  CHECK(PutText(corr, "XRange", "C1:D51", &excep) == S_OK, "XRange");
  CHECK(PutText(corr, "yrange", "B1:B51,E1:F51", &excep) == S_OK, "YRange, named in lower case");
  CHECK(PutText(corr, "OutputRange", "H2", &excep) == S_OK, "OutputRange");
  HRESULT hr = Call(corr, "Results", VT_BOOL, &no, &excep);
  CHECK(hr == S_OK, "Results: 0x%08X, error 0x%08X", (unsigned)hr, (unsigned)excep.scode);
  CHECK(lib.NmlHostSaveWorkbook(outputPath) == S_OK, "save %s: %s", outputPath, lib.NmlServerLastError());
  CHECK(access(outputPath, R_OK) == 0, "the saved workbook is there");
  CHECK(corr->lpVtbl->Release(corr) == 0, "the object's last reference");
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s <libNMLCorrelation.so> <savings.csv>\n", argv[0]);
    return 2;
  }
  char folder[] = "/tmp/nmlserver-client.XXXXXX";
  REQUIRE(mkdtemp(folder) != NULL, "mkdtemp");
  char registry[256], output[256];
  snprintf(registry, sizeof registry, "%s/registry", folder);
  snprintf(output, sizeof output, "%s/report.xlsx", folder);
  setenv("NMLCORRELATION_REGISTRY", registry, 1);

  lib.handle = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  REQUIRE(lib.handle != NULL, "dlopen: %s", dlerror());
  ENTRY_POINTS(BIND)
  CHECK(lib.DllCanUnloadNow() == S_OK, "nothing alive after loading");
  CHECK(lib.DllRegisterServer() == S_OK, "DllRegisterServer: %s", lib.NmlServerLastError());
  CheckReport(CheckFactory(), argv[2], output);
  CHECK(lib.DllUnregisterServer() == S_OK, "DllUnregisterServer: %s", lib.NmlServerLastError());
  lib.NmlHostReset();
  CHECK(lib.DllCanUnloadNow() == S_OK, "everything released");
  CHECK(dlclose(lib.handle) == 0, "dlclose: %s", dlerror());
  unlink(registry);
  unlink(output);
  rmdir(folder);
  if (failures == 0) printf("server client: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
