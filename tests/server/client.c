/* A late-binding client in plain C: loads libNMLCorrelation.so at run time,
 * registers it, creates clsCorrelation through its class factory, drives it
 * by name through IDispatch, saves the report, checks the errors it raises,
 * unregisters and unloads it.
 *
 * Usage: server_client <path of libNMLCorrelation.so> <path of savings.csv>
 */
#define _XOPEN_SOURCE 700

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "server/nmlcorrelation_server.h"

static int failures = 0;

#define CHECK(cond, ...)                                                  \
  do {                                                                    \
    if (!(cond)) {                                                        \
      fprintf(stderr, "%s:%d: failed: %s: ", __FILE__, __LINE__, #cond); \
      fprintf(stderr, __VA_ARGS__);                                       \
      fputc('\n', stderr);                                                \
      ++failures;                                                         \
    }                                                                     \
  } while (0)

/* Evaluates cond once; a failure ends the run. */
#define REQUIRE(cond, ...)                                                  \
  do {                                                                      \
    if (!(cond)) {                                                          \
      fprintf(stderr, "%s:%d: failed: %s: ", __FILE__, __LINE__, #cond);   \
      fprintf(stderr, __VA_ARGS__);                                         \
      fputc('\n', stderr);                                                  \
      exit(1);                                                              \
    }                                                                       \
  } while (0)

/* ---- The library's entry points, looked up by name -------------------- */

static struct {
  void* handle;
  PFN_DllGetClassObject GetClassObject;
  PFN_DllCanUnloadNow CanUnloadNow;
  PFN_DllRegisterServer Register;
  PFN_DllUnregisterServer Unregister;
  PFN_SysAllocStringLen SysAllocStringLen;
  PFN_SysFreeString SysFreeString;
  PFN_SysStringLen SysStringLen;
  PFN_VariantInit VariantInit;
  PFN_NmlHostOpenWorkbook OpenWorkbook;
  PFN_NmlHostSaveWorkbook SaveWorkbook;
  PFN_NmlHostReset HostReset;
  PFN_NmlServerLastError LastError;
} lib;

/* dlsym returns an object pointer; copy its bits into the function pointer. */
static void Bind(void* target, size_t size, const char* name) {
  void* symbol = dlsym(lib.handle, name);
  REQUIRE(symbol != NULL, "the library exports no %s", name);
  memcpy(target, &symbol, size);
}
#define BIND(field, name) Bind(&lib.field, sizeof lib.field, name)

static void Load(const char* path) {
  lib.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  REQUIRE(lib.handle != NULL, "dlopen: %s", dlerror());
  BIND(GetClassObject, "DllGetClassObject");
  BIND(CanUnloadNow, "DllCanUnloadNow");
  BIND(Register, "DllRegisterServer");
  BIND(Unregister, "DllUnregisterServer");
  BIND(SysAllocStringLen, "SysAllocStringLen");
  BIND(SysFreeString, "SysFreeString");
  BIND(SysStringLen, "SysStringLen");
  BIND(VariantInit, "VariantInit");
  BIND(OpenWorkbook, "NmlHostOpenWorkbook");
  BIND(SaveWorkbook, "NmlHostSaveWorkbook");
  BIND(HostReset, "NmlHostReset");
  BIND(LastError, "NmlServerLastError");
}

/* ---- Strings ----------------------------------------------------------- */

static BSTR NewBstr(const char* ascii) {
  OLECHAR wide[256];
  size_t n = strlen(ascii);
  REQUIRE(n < 256, "string too long");
  for (size_t k = 0; k < n; ++k) wide[k] = (OLECHAR)(unsigned char)ascii[k];
  return lib.SysAllocStringLen(wide, (UINT)n);
}

/* The text of a BSTR of ASCII characters (others shown as '?'). */
static void BstrToAscii(BSTR text, char* out, size_t size) {
  size_t n = text ? lib.SysStringLen(text) : 0;
  if (n >= size) n = size - 1;
  for (size_t k = 0; k < n; ++k) out[k] = text[k] < 128 ? (char)text[k] : '?';
  out[n] = 0;
}

static void ClearException(EXCEPINFO* info) {
  lib.SysFreeString(info->bstrSource);
  lib.SysFreeString(info->bstrDescription);
  lib.SysFreeString(info->bstrHelpFile);
  memset(info, 0, sizeof *info);
}

/* ---- Calls by name ----------------------------------------------------- */

static HRESULT IdOf(IDispatch* object, const char* name, DISPID* id) {
  OLECHAR wide[64];
  size_t n = strlen(name);
  for (size_t k = 0; k <= n; ++k) wide[k] = (OLECHAR)(unsigned char)name[k];
  LPOLESTR names[1] = {wide};
  return object->lpVtbl->GetIDsOfNames(object, &IID_NULL, names, 1, 0, id);
}

/* Puts one property by name; the value is passed by reference, as a
 * late-binding caller passes every argument. */
static HRESULT Put(IDispatch* object, const char* name, VARIANT* value, EXCEPINFO* excep, UINT* argErr) {
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = IdOf(object, name, &id);
  if (FAILED(hr)) return hr;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {value, &named, 1, 1};
  return object->lpVtbl->Invoke(object, id, &IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, NULL, excep, argErr);
}

static HRESULT PutBool(IDispatch* object, const char* name, int yes) {
  VARIANT_BOOL flag = yes ? VARIANT_TRUE : VARIANT_FALSE;
  VARIANT v;
  lib.VariantInit(&v);
  v.vt = VT_BOOL | VT_BYREF;
  v.pboolVal = &flag;
  return Put(object, name, &v, NULL, NULL);
}

static HRESULT PutText(IDispatch* object, const char* name, const char* text, EXCEPINFO* excep) {
  BSTR value = NewBstr(text);
  VARIANT v;
  lib.VariantInit(&v);
  v.vt = VT_BSTR | VT_BYREF;
  v.pbstrVal = &value;
  HRESULT hr = Put(object, name, &v, excep, NULL);
  lib.SysFreeString(value);
  return hr;
}

/* Results; overWrite < 0 leaves the optional argument out. */
static HRESULT CallResults(IDispatch* object, int overWrite, EXCEPINFO* excep) {
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = IdOf(object, "Results", &id);
  if (FAILED(hr)) return hr;
  VARIANT_BOOL flag = overWrite > 0 ? VARIANT_TRUE : VARIANT_FALSE;
  VARIANT arg;
  lib.VariantInit(&arg);
  arg.vt = VT_BOOL | VT_BYREF;
  arg.pboolVal = &flag;
  DISPPARAMS params = {&arg, NULL, overWrite < 0 ? 0 : 1, 0};
  VARIANT result;
  lib.VariantInit(&result);
  return object->lpVtbl->Invoke(object, id, &IID_NULL, 0, DISPATCH_METHOD, &params, &result, excep, NULL);
}

static IDispatch* Create(void) {
  IClassFactory* factory = NULL;
  HRESULT hr = lib.GetClassObject(&CLSID_clsCorrelation, &IID_IClassFactory, (void**)&factory);
  REQUIRE(hr == S_OK && factory != NULL, "DllGetClassObject: 0x%08X", (unsigned)hr);
  IDispatch* object = NULL;
  hr = factory->lpVtbl->CreateInstance(factory, NULL, &IID_IDispatch, (void**)&object);
  REQUIRE(hr == S_OK && object != NULL, "CreateInstance: 0x%08X", (unsigned)hr);
  factory->lpVtbl->Release(factory);
  return object;
}

/* ---- Files ------------------------------------------------------------- */

static char* ReadFile(const char* path) {
  FILE* f = fopen(path, "rb");
  if (!f) return NULL;
  char* text = calloc(1, 1 << 16);
  size_t n = fread(text, 1, (1 << 16) - 1, f);
  text[n] = 0;
  fclose(f);
  return text;
}

static int CountOccurrences(const char* text, const char* what) {
  int count = 0;
  for (const char* p = strstr(text, what); p; p = strstr(p + 1, what)) ++count;
  return count;
}

static int StartsWith(const char* text, const char* prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

static int EndsWith(const char* text, const char* suffix) {
  size_t n = strlen(text), m = strlen(suffix);
  return n >= m && strcmp(text + n - m, suffix) == 0;
}

/* ---- The checks -------------------------------------------------------- */

static const char kOtherServer[] =
    "[CLSID\\{0B0B0B0B-1111-2222-3333-444455556666}]\n"
    "ProgID=Other.Server\n"
    "InprocServer32=/opt/other/libother.so\n";

static const char kOurSection[] = "[CLSID\\{44273B9A-4553-4041-9975-51406F9EEAFC}]";

static void CheckRegistration(const char* registry, const char* libraryPath) {
  FILE* f = fopen(registry, "w");
  REQUIRE(f != NULL, "cannot write %s", registry);
  fputs(kOtherServer, f);
  fclose(f);

  CHECK(lib.Register() == S_OK, "DllRegisterServer: %s", lib.LastError());
  CHECK(lib.Register() == S_OK, "second DllRegisterServer: %s", lib.LastError());
  char* text = ReadFile(registry);
  REQUIRE(text != NULL, "no registry file at %s", registry);
  CHECK(CountOccurrences(text, kOurSection) == 1, "one class section after registering twice:\n%s", text);
  CHECK(CountOccurrences(text, "ProgID=NMLCorrelation.clsCorrelation\n") == 1, "program identifier:\n%s", text);
  CHECK(CountOccurrences(text, "[ProgID\\NMLCorrelation.clsCorrelation]\nCLSID={44273B9A-4553-4041-9975-51406F9EEAFC}\n") == 1,
        "program identifier section:\n%s", text);
  CHECK(CountOccurrences(text, "[TypeLib\\{69CA1882-BE13-4A0F-BFD3-468B65AC65C2}\\1.0]\n") == 1, "type library:\n%s",
        text);
  CHECK(CountOccurrences(text, "TypeLib={69CA1882-BE13-4A0F-BFD3-468B65AC65C2}\nVersion=1.0\n") >= 1,
        "type library of the class:\n%s", text);
  CHECK(StartsWith(text, kOtherServer), "the other server's entry comes first, unchanged:\n%s", text);
  char real[4096];
  REQUIRE(realpath(libraryPath, real) != NULL, "realpath %s", libraryPath);
  char line[4200];
  snprintf(line, sizeof line, "InprocServer32=%s\n", real);
  CHECK(CountOccurrences(text, line) == 1, "library path %s:\n%s", real, text);
  free(text);
}

static void CheckUnregistration(const char* registry) {
  CHECK(lib.Unregister() == S_OK, "DllUnregisterServer: %s", lib.LastError());
  char* text = ReadFile(registry);
  REQUIRE(text != NULL, "the registry file is gone");
  CHECK(strstr(text, "NMLCorrelation") == NULL, "nothing of ours is left:\n%s", text);
  CHECK(StartsWith(text, kOtherServer), "the other server's entry is kept:\n%s", text);
  free(text);
  CHECK(lib.Unregister() == S_OK, "unregistering again succeeds");
}

static void CheckFactory(void) {
  static const CLSID other = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  void* p = (void*)&p;
  CHECK(lib.GetClassObject(&other, &IID_IClassFactory, &p) == CLASS_E_CLASSNOTAVAILABLE && p == NULL,
        "another class is not available");
  p = (void*)&p;
  CHECK(lib.GetClassObject(&CLSID_clsCorrelation, &IID_IDispatch, &p) == E_NOINTERFACE && p == NULL,
        "a class factory is no IDispatch");
  CHECK(lib.GetClassObject(&CLSID_clsCorrelation, &IID_IClassFactory, NULL) == E_POINTER, "null out pointer");
  CHECK(lib.CanUnloadNow() == S_OK, "nothing alive after refused requests");

  IClassFactory* factory = NULL;
  CHECK(lib.GetClassObject(&CLSID_clsCorrelation, &IID_IClassFactory, (void**)&factory) == S_OK, "factory");
  CHECK(lib.CanUnloadNow() == S_FALSE, "a live class factory keeps the library loaded");
  IUnknown outer = {NULL};
  p = (void*)&p;
  CHECK(factory->lpVtbl->CreateInstance(factory, &outer, &IID_IUnknown, &p) == CLASS_E_NOAGGREGATION && p == NULL,
        "no aggregation");
  CHECK(factory->lpVtbl->LockServer(factory, 1) == S_OK, "lock");
  CHECK(factory->lpVtbl->Release(factory) == 0, "the factory's last reference");
  CHECK(lib.CanUnloadNow() == S_FALSE, "a server lock keeps the library loaded");
  CHECK(lib.GetClassObject(&CLSID_clsCorrelation, &IID_IUnknown, (void**)&factory) == S_OK, "factory again");
  CHECK(factory->lpVtbl->LockServer(factory, 0) == S_OK, "unlock");
  CHECK(lib.CanUnloadNow() == S_FALSE, "the factory itself is still alive");
  factory->lpVtbl->Release(factory);
  CHECK(lib.CanUnloadNow() == S_OK, "no object and no lock");
}

static void CheckReport(const char* dataPath, const char* outputPath) {
  CHECK(lib.OpenWorkbook(dataPath) == S_OK, "open %s: %s", dataPath, lib.LastError());
  IDispatch* corr = Create();
  CHECK(lib.CanUnloadNow() == S_FALSE, "a live object keeps the library loaded");

  /* Method by a 16-bit integer, as a macro passing a literal does. */
  short method = 3;
  VARIANT m;
  lib.VariantInit(&m);
  m.vt = VT_I2 | VT_BYREF;
  m.piVal = &method;
  CHECK(Put(corr, "Method", &m, NULL, NULL) == S_OK, "Method");
  CHECK(PutBool(corr, "Headers", 1) == S_OK, "Headers");
  CHECK(PutBool(corr, "Descriptives", 1) == S_OK, "Descriptives");
  CHECK(PutBool(corr, "Standardised", 1) == S_OK, "Standardised");
  CHECK(PutBool(corr, "Raw", 1) == S_OK, "Raw");
  CHECK(PutBool(corr, "Plots", 1) == S_OK, "Plots");
  EXCEPINFO excep;
  memset(&excep, 0, sizeof excep);
  CHECK(PutText(corr, "XRange", "C1:D51", &excep) == S_OK, "XRange");
  CHECK(PutText(corr, "yrange", "B1:B51,E1:F51", &excep) == S_OK, "YRange, named in lower case");
  CHECK(PutText(corr, "OutputRange", "H2", &excep) == S_OK, "OutputRange");
  HRESULT hr = CallResults(corr, 0, &excep);
  if (hr == DISP_E_EXCEPTION) {
    char source[512], description[512];
    BstrToAscii(excep.bstrSource, source, sizeof source);
    BstrToAscii(excep.bstrDescription, description, sizeof description);
    fprintf(stderr, "Results raised 0x%08X %s (%s)\n", (unsigned)excep.scode, description, source);
    ClearException(&excep);
  }
  CHECK(hr == S_OK, "Results: 0x%08X", (unsigned)hr);

  CHECK(lib.SaveWorkbook(outputPath) == S_OK, "save %s: %s", outputPath, lib.LastError());
  struct stat info;
  CHECK(stat(outputPath, &info) == 0 && info.st_size > 0, "the saved workbook exists and is not empty");
  FILE* f = fopen(outputPath, "rb");
  char magic[4] = {0};
  if (f) {
    CHECK(fread(magic, 1, 4, f) == 4 && memcmp(magic, "PK\3\4", 4) == 0, "the workbook is a zip archive");
    fclose(f);
  }
  CHECK(corr->lpVtbl->Release(corr) == 0, "the object's last reference");
}

static void CheckErrors(void) {
  IDispatch* corr = Create();
  EXCEPINFO excep;
  memset(&excep, 0, sizeof excep);
  char source[512];

  /* No X range: 5012. */
  CHECK(CallResults(corr, -1, &excep) == DISP_E_EXCEPTION, "Results without XRange");
  CHECK((uint32_t)excep.scode == 0x80041394u, "scode 0x%08X", (unsigned)excep.scode);
  ClearException(&excep);

  /* X and Y with different row counts: 5028. */
  short method = 3;
  VARIANT m;
  lib.VariantInit(&m);
  m.vt = VT_I2 | VT_BYREF;
  m.piVal = &method;
  CHECK(Put(corr, "Method", &m, NULL, NULL) == S_OK, "Method");
  CHECK(PutBool(corr, "Headers", 1) == S_OK, "Headers");
  CHECK(PutText(corr, "XRange", "C1:D51", &excep) == S_OK, "XRange");
  CHECK(PutText(corr, "YRange", "E1:F40", &excep) == S_OK, "YRange");
  HRESULT hr = CallResults(corr, 1, &excep);
  CHECK(hr == DISP_E_EXCEPTION, "Results with unequal rows: 0x%08X", (unsigned)hr);
  CHECK((uint32_t)excep.scode == 0x800413A4u, "scode 0x%08X", (unsigned)excep.scode);
  CHECK(excep.wCode == 0, "the number is in scode only");
  CHECK(excep.bstrDescription != NULL && lib.SysStringLen(excep.bstrDescription) > 0, "a description");
  BstrToAscii(excep.bstrSource, source, sizeof source);
  CHECK(StartsWith(source, "Line ") && EndsWith(source, ".Results") &&
            strstr(source, " in NMLCorrelation.clsCorrelation.") != NULL,
        "source trail \"%s\"", source);
  ClearException(&excep);

  /* A bad reference: 5010 from the setter. */
  CHECK(PutText(corr, "XRange", "not a range", &excep) == DISP_E_EXCEPTION, "bad XRange");
  CHECK((uint32_t)excep.scode == 0x80041392u, "scode 0x%08X", (unsigned)excep.scode);
  ClearException(&excep);

  /* Arguments that cannot be converted and names that do not exist. */
  BSTR word = NewBstr("perhaps");
  VARIANT v;
  lib.VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = word;
  UINT argErr = 99;
  CHECK(Put(corr, "Headers", &v, &excep, &argErr) == DISP_E_TYPEMISMATCH && argErr == 0, "\"perhaps\" is no Boolean");
  lib.SysFreeString(word);
  DISPID id = 0;
  CHECK(IdOf(corr, "Result", &id) == DISP_E_UNKNOWNNAME && id == DISPID_UNKNOWN, "unknown name");

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

  Load(argv[1]);
  CHECK(lib.CanUnloadNow() == S_OK, "nothing alive after loading");
  CheckRegistration(registry, argv[1]);
  CheckFactory();
  CheckReport(argv[2], output);
  CheckErrors();
  CheckUnregistration(registry);

  lib.HostReset();
  CHECK(lib.CanUnloadNow() == S_OK, "everything released");
  CHECK(dlclose(lib.handle) == 0, "dlclose: %s", dlerror());

  unlink(registry);
  unlink(output);
  rmdir(folder);
  if (failures == 0) printf("server client: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
