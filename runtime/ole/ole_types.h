/* clang-format off: the object tables are laid out by hand, a slot a line */
#pragma once
/* Automation types laid out as 64-bit OLE automation lays them out, so that a consumer written
 * to that layout (in C or C++) reads them directly, and the one allocator that every side of a
 * component boundary must use for strings, variants and arrays.
 *
 * The allocation functions live in the shared library rt_olemem: the data engine and whoever
 * loads it both link that one copy, so a string or array made on one side may be freed on the
 * other. */

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#define RT_OLE_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#define RT_OLE_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif

#define RT_OLE_API __attribute__((visibility("default")))

typedef int32_t HRESULT;

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001u)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define E_POINTER ((HRESULT)0x80004003u)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008u)
#define DISP_E_BADINDEX ((HRESULT)0x8002000Bu)
#define DISP_E_ARRAYISLOCKED ((HRESULT)0x8002000Du)
#define RT_SUCCEEDED(hr) ((HRESULT)(hr) >= 0)
#define RT_FAILED(hr) ((HRESULT)(hr) < 0)

typedef struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
RT_OLE_STATIC_ASSERT(sizeof(GUID) == 16, "GUID is 16 bytes");

/* 00000000-0000-0000-C000-000000000046 */
#define RT_IID_IUNKNOWN_INIT {0x00000000u, 0x0000u, 0x0000u, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}

/* Text is UTF-16. A BSTR points at the first character; the 32-bit byte count (without the
 * terminator) lies in the 4 bytes before it and a 16-bit NUL follows the text. NULL is the empty
 * string. */
typedef char16_t OLECHAR;
typedef OLECHAR* BSTR;

typedef uint16_t VARTYPE;
enum {
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
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000
};

struct SAFEARRAY;

/* 24 bytes: the type, three reserved words, a 16-byte value area. */
typedef struct VARIANT {
    VARTYPE vt;
    uint16_t wReserved1;
    uint16_t wReserved2;
    uint16_t wReserved3;
    union {
        int64_t llVal;
        int32_t lVal;
        uint8_t bVal;
        int16_t iVal;
        float fltVal;
        double dblVal;
        int16_t boolVal;
        int32_t scode;
        double date;
        BSTR bstrVal;
        void* punkVal; /* an object whose first member is its slot table (slot 2 releases) */
        struct SAFEARRAY* parray;
        void* byref;
        struct {
            void* pvRecord;
            void* pRecInfo;
        } record;
    };
} VARIANT;
RT_OLE_STATIC_ASSERT(sizeof(VARIANT) == 24, "VARIANT is 24 bytes");
RT_OLE_STATIC_ASSERT(offsetof(VARIANT, lVal) == 8, "VARIANT value at offset 8");

typedef struct SAFEARRAYBOUND {
    uint32_t cElements;
    int32_t lLbound;
} SAFEARRAYBOUND;
RT_OLE_STATIC_ASSERT(sizeof(SAFEARRAYBOUND) == 8, "SAFEARRAYBOUND is 8 bytes");

/* rgsabound holds the last dimension first. */
typedef struct SAFEARRAY {
    uint16_t cDims;
    uint16_t fFeatures;
    uint32_t cbElements;
    uint32_t cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
} SAFEARRAY;
RT_OLE_STATIC_ASSERT(offsetof(SAFEARRAY, fFeatures) == 2, "SAFEARRAY layout");
RT_OLE_STATIC_ASSERT(offsetof(SAFEARRAY, cbElements) == 4, "SAFEARRAY layout");
RT_OLE_STATIC_ASSERT(offsetof(SAFEARRAY, cLocks) == 8, "SAFEARRAY layout");
RT_OLE_STATIC_ASSERT(offsetof(SAFEARRAY, pvData) == 16, "SAFEARRAY layout");
RT_OLE_STATIC_ASSERT(offsetof(SAFEARRAY, rgsabound) == 24, "SAFEARRAY layout");
RT_OLE_STATIC_ASSERT(sizeof(SAFEARRAY) == 32, "SAFEARRAY is 32 bytes with one bound");

enum {
    FADF_HAVEVARTYPE = 0x0080,
    FADF_BSTR = 0x0100,
    FADF_UNKNOWN = 0x0200,
    FADF_VARIANT = 0x0800
};

/* Slots 0 to 6 that every object table starts with (dispatch-shaped; callers bind to slots). */
typedef struct RtDispatchSlots {
    HRESULT (*QueryInterface)(void* self, const GUID* iid, void** out);
    uint32_t (*AddRef)(void* self);
    uint32_t (*Release)(void* self);
    HRESULT (*GetTypeInfoCount)(void* self, uint32_t* count);
    HRESULT (*GetTypeInfo)(void* self, uint32_t index, uint32_t locale, void** out);
    HRESULT (*GetIDsOfNames)(void* self, const GUID* iid, OLECHAR** names, uint32_t count,
                             uint32_t locale, int32_t* ids);
    HRESULT (*Invoke)(void* self, int32_t id, const GUID* iid, uint32_t locale, uint16_t flags,
                      void* params, VARIANT* result, void* exception, uint32_t* argError);
} RtDispatchSlots;
RT_OLE_STATIC_ASSERT(sizeof(RtDispatchSlots) == 7 * sizeof(void*), "seven slots");

/* ---- the shared allocator (library rt_olemem) ---- */

/* A new string of len characters copied from text (text may be NULL: the characters are zero).
 * NULL when out of memory. */
RT_OLE_API BSTR rtSysAllocStringLen(const OLECHAR* text, uint32_t len);
/* A new string of len bytes copied from bytes (bytes may be NULL: the caller writes them),
 * followed by a 16-bit NUL. NULL when out of memory. */
RT_OLE_API BSTR rtSysAllocStringByteLen(const char* bytes, uint32_t len);
/* A new string copied from a NUL-terminated text; NULL for NULL. */
RT_OLE_API BSTR rtSysAllocString(const OLECHAR* text);
RT_OLE_API void rtSysFreeString(BSTR s);
/* Length in characters / in bytes; 0 for NULL. */
RT_OLE_API uint32_t rtSysStringLen(BSTR s);
RT_OLE_API uint32_t rtSysStringByteLen(BSTR s);

RT_OLE_API void rtVariantInit(VARIANT* v);
/* Frees what the variant holds (strings, arrays, one count of an object) and makes it empty. */
RT_OLE_API HRESULT rtVariantClear(VARIANT* v);
/* dest is cleared, then gets a deep copy of src (objects: one more count). */
RT_OLE_API HRESULT rtVariantCopy(VARIANT* dest, const VARIANT* src);

/* An array of elements of type vt (VT_VARIANT, VT_BSTR, VT_UNKNOWN, VT_I2, VT_I4, VT_UI1, VT_R4,
 * VT_R8). bounds are given first dimension first (they are stored last dimension first); the
 * elements are zeroed (empty variants). NULL for a type not supported or out of memory. */
RT_OLE_API SAFEARRAY* rtSafeArrayCreate(VARTYPE vt, uint32_t cDims, const SAFEARRAYBOUND* bounds);
/* Frees the elements' contents and the array. DISP_E_ARRAYISLOCKED while locked. */
RT_OLE_API HRESULT rtSafeArrayDestroy(SAFEARRAY* psa);
RT_OLE_API HRESULT rtSafeArrayCopy(const SAFEARRAY* psa, SAFEARRAY** out);
RT_OLE_API uint32_t rtSafeArrayGetDim(const SAFEARRAY* psa);
/* dim counts from 1 (the first dimension). */
RT_OLE_API HRESULT rtSafeArrayGetLBound(const SAFEARRAY* psa, uint32_t dim, int32_t* out);
RT_OLE_API HRESULT rtSafeArrayGetUBound(const SAFEARRAY* psa, uint32_t dim, int32_t* out);
RT_OLE_API HRESULT rtSafeArrayGetVartype(const SAFEARRAY* psa, VARTYPE* out);
/* Address of an element; indices first dimension first. DISP_E_BADINDEX when out of bounds. */
RT_OLE_API HRESULT rtSafeArrayPtrOfIndex(const SAFEARRAY* psa, const int32_t* indices, void** out);

#ifdef __cplusplus
}
#endif
/* clang-format on */
