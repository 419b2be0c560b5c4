/* libNMLCorrelation.so: the in-process server of the NMLCorrelation type
 * library. It registers, creates, drives by name and unloads the one public
 * class, clsCorrelation, whose default interface _clsCorrelation is reached
 * through IDispatch (late binding). It also carries the worksheet host the
 * component works on, so that a client can open the data file first, the way
 * a user opens a workbook in the spreadsheet.
 *
 * Usage from C, with the library loaded by dlopen (see tests/server/client.c):
 *
 *   IClassFactory* factory;
 *   DllGetClassObject(&CLSID_clsCorrelation, &IID_IClassFactory, (void**)&factory);
 *   IDispatch* corr;
 *   factory->lpVtbl->CreateInstance(factory, NULL, &IID_IDispatch, (void**)&corr);
 *   factory->lpVtbl->Release(factory);
 *   // GetIDsOfNames("XRange") -> Invoke(DISPATCH_PROPERTYPUT) ... Invoke("Results")
 *   corr->lpVtbl->Release(corr);
 *   if (DllCanUnloadNow() == S_OK) dlclose(library);
 */
#ifndef NMLCORRELATION_SERVER_H
#define NMLCORRELATION_SERVER_H

#include "server/com_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(NMLCORRELATION_SERVER_BUILD) && defined(__GNUC__)
#define NMLSERVER_API __attribute__((visibility("default")))
#else
#define NMLSERVER_API
#endif

/* ---- Identifiers (also in NMLCorrelation.idl) --------------------------- */

/* Type library NMLCorrelation, version 1.0. */
static const GUID LIBID_NMLCorrelation = {
    0x69CA1882, 0xBE13, 0x4A0F, {0xBF, 0xD3, 0x46, 0x8B, 0x65, 0xAC, 0x65, 0xC2}};
/* Enumeration nmlCorrelationMethod. */
static const GUID GUID_nmlCorrelationMethod = {
    0xB8D3A10F, 0xD0DF, 0x40FC, {0xA0, 0x1B, 0xE3, 0xB8, 0x39, 0x43, 0x7D, 0x1E}};
/* Default dispatch interface _clsCorrelation. */
static const IID IID__clsCorrelation = {
    0x349E7B1F, 0x96F5, 0x434C, {0xB7, 0xBD, 0x3D, 0xD0, 0x09, 0x49, 0x16, 0x44}};
/* Creatable class clsCorrelation. */
static const CLSID CLSID_clsCorrelation = {
    0x44273B9A, 0x4553, 0x4041, {0x99, 0x75, 0x51, 0x40, 0x6F, 0x9E, 0xEA, 0xFC}};

#define NMLCORRELATION_PROGID "NMLCorrelation.clsCorrelation"
#define NMLCORRELATION_LIB_MAJOR 1
#define NMLCORRELATION_LIB_MINOR 0

/* ---- In-process server entry points ------------------------------------ */

/* The class factory of CLSID_clsCorrelation (IUnknown or IClassFactory).
 * E_POINTER for a null ppv, CLASS_E_CLASSNOTAVAILABLE for another class,
 * E_NOINTERFACE for another interface (*ppv is then NULL). */
NMLSERVER_API HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
/* S_OK when no object made by the library (object or class factory) is alive
 * and no LockServer(TRUE) is outstanding; S_FALSE otherwise. */
NMLSERVER_API HRESULT DllCanUnloadNow(void);
/* Records the class, its program identifier, the library's path and the type
 * library in the registry file (see below). Idempotent. SELFREG_E_CLASS when
 * the file cannot be written (NmlServerLastError says why). */
NMLSERVER_API HRESULT DllRegisterServer(void);
/* Removes those records; success also when they are not there. */
NMLSERVER_API HRESULT DllUnregisterServer(void);

/* The registry file: $NMLCORRELATION_REGISTRY when set, otherwise
 * $XDG_CONFIG_HOME/nmlcorrelation/registry, otherwise
 * ~/.config/nmlcorrelation/registry. Writes the path (NUL-terminated) into
 * buffer; returns its length, or 0 when no path can be found or it does not
 * fit (size counts the terminator). */
NMLSERVER_API size_t NmlServerRegistryPath(char* buffer, size_t size);

/* ---- Strings and variants ---------------------------------------------- */

NMLSERVER_API BSTR SysAllocString(LPCOLESTR text);
/* length characters of text (text may be NULL: the characters are then zero). */
NMLSERVER_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
NMLSERVER_API void SysFreeString(BSTR text);
NMLSERVER_API UINT SysStringLen(BSTR text);
NMLSERVER_API void VariantInit(VARIANTARG* value);
/* Frees what the variant owns (a BSTR, an interface reference) and leaves it
 * VT_EMPTY. DISP_E_BADVARTYPE for arrays and unknown types. */
NMLSERVER_API HRESULT VariantClear(VARIANTARG* value);

/* ---- The worksheet host ------------------------------------------------ */

/* Opens a workbook file (.csv, .xlsx, .xlsm) as the active workbook of the
 * host the component works on. On failure returns the error as an HRESULT
 * (a component number such as 0x80041824 as it is, a runtime number n as
 * 0x800A0000 + n) and NmlServerLastError describes it. */
NMLSERVER_API HRESULT NmlHostOpenWorkbook(const char* path);
/* Saves the active workbook (with any report pasted into it) as .xlsx. */
NMLSERVER_API HRESULT NmlHostSaveWorkbook(const char* path);
/* Closes every workbook: the next call works on a fresh host. */
NMLSERVER_API void NmlHostReset(void);
/* The description of the last failure of an NmlHost, registration or
 * class-factory call ("" after a success). Valid until the next such call. */
NMLSERVER_API const char* NmlServerLastError(void);

/* ---- Description of the dispatch interface ----------------------------- */

/* One member of _clsCorrelation as the dispatch table holds it. */
typedef struct NmlMemberInfo {
  const char* name;          /* "Headers" */
  DISPID dispid;             /* 1 to 10, in declaration order */
  WORD invokeKind;           /* DISPATCH_PROPERTYPUT or DISPATCH_METHOD */
  const char* paramName;     /* "YesNo" */
  const char* paramTypeName; /* as written in the type library: "VARIANT_BOOL", "nmlCorrelationMethod", "BSTR" */
  VARTYPE paramType;         /* VT_BOOL, VT_I4 or VT_BSTR (always passed VT_BYREF) */
  BOOL paramOptional;        /* TRUE for OverWrite */
} NmlMemberInfo;

/* Member index (0-based, declaration order) of _clsCorrelation; DISP_E_BADINDEX
 * past the last one, E_POINTER for a null info. */
NMLSERVER_API HRESULT NmlServerGetMember(UINT index, NmlMemberInfo* info);

/* ---- For run-time loading ---------------------------------------------- */

typedef HRESULT (*PFN_DllGetClassObject)(REFCLSID, REFIID, void**);
typedef HRESULT (*PFN_DllCanUnloadNow)(void);
typedef HRESULT (*PFN_DllRegisterServer)(void);
typedef HRESULT (*PFN_DllUnregisterServer)(void);
typedef size_t (*PFN_NmlServerRegistryPath)(char*, size_t);
typedef BSTR (*PFN_SysAllocString)(LPCOLESTR);
typedef BSTR (*PFN_SysAllocStringLen)(const OLECHAR*, UINT);
typedef void (*PFN_SysFreeString)(BSTR);
typedef UINT (*PFN_SysStringLen)(BSTR);
typedef void (*PFN_VariantInit)(VARIANTARG*);
typedef HRESULT (*PFN_VariantClear)(VARIANTARG*);
typedef HRESULT (*PFN_NmlHostOpenWorkbook)(const char*);
typedef HRESULT (*PFN_NmlHostSaveWorkbook)(const char*);
typedef void (*PFN_NmlHostReset)(void);
typedef const char* (*PFN_NmlServerLastError)(void);
typedef HRESULT (*PFN_NmlServerGetMember)(UINT, NmlMemberInfo*);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* NMLCORRELATION_SERVER_H */
