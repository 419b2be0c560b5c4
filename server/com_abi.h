/* The binary conventions of in-process automation servers, in the C layout:
 * GUIDs, HRESULTs, length-prefixed UTF-16 strings (BSTR), VARIANT, the
 * argument block of IDispatch::Invoke, and the call tables (vtables) of
 * IUnknown, IClassFactory and IDispatch as structs of function pointers.
 *
 * No platform SDK exists on this system, so the declarations are our own; the
 * layouts, names and numeric values are those every automation client
 * expects. The header compiles as C99/C11 and as C++, so that C clients and
 * the server share one definition.
 *
 * Calling convention: the platform's default (on x86-64 System V, the only
 * one there is); STDMETHODCALLTYPE marks where other platforms put theirs.
 */
#ifndef NMLCORRELATION_SERVER_COM_ABI_H
#define NMLCORRELATION_SERVER_COM_ABI_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

#define STDMETHODCALLTYPE

/* ---- Scalar types ------------------------------------------------------ */

typedef int32_t HRESULT;
typedef int32_t SCODE;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef uint32_t UINT;
typedef int32_t BOOL;
typedef uint32_t LCID;
typedef int32_t DISPID;
typedef uint16_t VARTYPE;
typedef int16_t VARIANT_BOOL; /* 0 is false, -1 (VARIANT_TRUE) is true */
typedef double DATE;          /* days since 30 December 1899 */
typedef uint16_t OLECHAR;     /* one UTF-16 code unit */
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
/* A BSTR points at the first character of a UTF-16 string whose length in
 * bytes (without the terminator) is held in the 32-bit word just before it,
 * followed by a 16-bit NUL. A null BSTR is the empty string. Made and freed
 * only by SysAllocString / SysAllocStringLen / SysFreeString. */
typedef OLECHAR* BSTR;

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

/* ---- HRESULTs ---------------------------------------------------------- */

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define MAKE_HRESULT(sev, fac, code) \
  ((HRESULT)(((uint32_t)(sev) << 31) | ((uint32_t)(fac) << 16) | ((uint32_t)(code))))
#define FACILITY_ITF 4
#define FACILITY_CONTROL 10 /* the classic runtime's own error numbers, 0x800A0000 + number */

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001u)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define E_POINTER ((HRESULT)0x80004003u)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_UNEXPECTED ((HRESULT)0x8000FFFFu)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110u)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111u)
#define SELFREG_E_TYPELIB ((HRESULT)0x80040200u)
#define SELFREG_E_CLASS ((HRESULT)0x80040201u)
#define DISP_E_UNKNOWNINTERFACE ((HRESULT)0x80020001u)
#define DISP_E_MEMBERNOTFOUND ((HRESULT)0x80020003u)
#define DISP_E_PARAMNOTFOUND ((HRESULT)0x80020004u)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005u)
#define DISP_E_UNKNOWNNAME ((HRESULT)0x80020006u)
#define DISP_E_NONAMEDARGS ((HRESULT)0x80020007u)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008u)
#define DISP_E_EXCEPTION ((HRESULT)0x80020009u)
#define DISP_E_OVERFLOW ((HRESULT)0x8002000Au)
#define DISP_E_BADINDEX ((HRESULT)0x8002000Bu)
#define DISP_E_BADPARAMCOUNT ((HRESULT)0x8002000Eu)
#define DISP_E_PARAMNOTOPTIONAL ((HRESULT)0x8002000Fu)

/* ---- GUIDs ------------------------------------------------------------- */

typedef struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
/* Passed by address, as the C binding of every interface does. */
typedef const GUID* REFGUID;
typedef const IID* REFIID;
typedef const CLSID* REFCLSID;

static inline int IsEqualGUID(REFGUID a, REFGUID b) { return memcmp(a, b, sizeof(GUID)) == 0; }

static const IID IID_NULL = {0x00000000, 0x0000, 0x0000, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}};
static const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

/* ---- VARIANT ----------------------------------------------------------- */

enum VARENUM {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF
};

/* Currency: a 64-bit integer counting ten-thousandths. */
typedef struct CY {
  int64_t int64;
} CY;

/* A 96-bit unsigned integer (Hi32:Lo64) divided by 10^scale; sign 0x80 is negative. */
typedef struct DECIMAL {
  WORD wReserved; /* overlays VARIANT.vt */
  BYTE scale;
  BYTE sign;
  ULONG Hi32;
  uint64_t Lo64;
} DECIMAL;
#define DECIMAL_NEG ((BYTE)0x80)

typedef struct IUnknown IUnknown;
typedef struct IDispatch IDispatch;
typedef struct IClassFactory IClassFactory;
typedef struct ITypeInfo ITypeInfo; /* never implemented here: GetTypeInfoCount answers 0 */

/* An 8-byte header (the type tag and three reserved words) followed by the
 * value; the value union is as wide as its largest member, the record form
 * (two pointers), so a VARIANT is 16 bytes on 32-bit platforms and 24 bytes
 * on 64-bit ones, as on every platform that defines it. A DECIMAL overlays
 * the whole first 16 bytes, its reserved word sitting where vt is. */
typedef struct VARIANT VARIANT;
struct VARIANT {
  union {
    struct {
      VARTYPE vt;
      WORD wReserved1;
      WORD wReserved2;
      WORD wReserved3;
      union {
        int64_t llVal;
        int32_t lVal;
        BYTE bVal;
        int16_t iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        void* parray;
        BYTE* pbVal;
        int16_t* piVal;
        int32_t* plVal;
        int64_t* pllVal;
        float* pfltVal;
        double* pdblVal;
        VARIANT_BOOL* pboolVal;
        SCODE* pscode;
        CY* pcyVal;
        DATE* pdate;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        VARIANT* pvarVal;
        DECIMAL* pdecVal;
        void* byref;
        int8_t cVal;
        uint16_t uiVal;
        uint32_t ulVal;
        uint64_t ullVal;
        int32_t intVal;
        uint32_t uintVal;
        int8_t* pcVal;
        uint16_t* puiVal;
        uint32_t* pulVal;
        uint64_t* pullVal;
        int32_t* pintVal;
        uint32_t* puintVal;
        struct {
          void* pvRecord;
          void* pRecInfo;
        } brecVal;
      };
    };
    DECIMAL decVal;
  };
};
typedef VARIANT VARIANTARG;

/* ---- Invoke's argument block and exception record ---------------------- */

#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8

#define DISPID_UNKNOWN ((DISPID)-1)
#define DISPID_VALUE ((DISPID)0)
#define DISPID_PROPERTYPUT ((DISPID)-3)

/* Positional arguments lie in rgvarg in reverse order (the last one first),
 * after the named ones. */
typedef struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
} DISPPARAMS;

typedef struct EXCEPINFO EXCEPINFO;
struct EXCEPINFO {
  WORD wCode; /* 0 when scode holds the error */
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(EXCEPINFO*);
  SCODE scode;
};

/* ---- Call tables ------------------------------------------------------- */

typedef struct IUnknownVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IUnknown* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(IUnknown* This);
  ULONG(STDMETHODCALLTYPE* Release)(IUnknown* This);
} IUnknownVtbl;
struct IUnknown {
  const IUnknownVtbl* lpVtbl;
};

typedef struct IClassFactoryVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IClassFactory* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(IClassFactory* This);
  ULONG(STDMETHODCALLTYPE* Release)(IClassFactory* This);
  HRESULT(STDMETHODCALLTYPE* CreateInstance)(IClassFactory* This, IUnknown* pUnkOuter, REFIID riid,
                                             void** ppvObject);
  HRESULT(STDMETHODCALLTYPE* LockServer)(IClassFactory* This, BOOL fLock);
} IClassFactoryVtbl;
struct IClassFactory {
  const IClassFactoryVtbl* lpVtbl;
};

typedef struct IDispatchVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IDispatch* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(IDispatch* This);
  ULONG(STDMETHODCALLTYPE* Release)(IDispatch* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(IDispatch* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(IDispatch* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(IDispatch* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(IDispatch* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                     UINT* puArgErr);
} IDispatchVtbl;
struct IDispatch {
  const IDispatchVtbl* lpVtbl;
};

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");
static_assert(sizeof(DECIMAL) == 16, "DECIMAL is 16 bytes");
static_assert(offsetof(VARIANT, lVal) == 8, "the value of a VARIANT follows its 8-byte header");
static_assert(sizeof(VARIANT) == 8 + 2 * sizeof(void*), "VARIANT: header plus a two-pointer value");
static_assert(offsetof(EXCEPINFO, scode) > offsetof(EXCEPINFO, pfnDeferredFillIn), "EXCEPINFO field order");
#endif

#endif /* NMLCORRELATION_SERVER_COM_ABI_H */
