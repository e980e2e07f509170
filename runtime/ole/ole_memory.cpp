// The one allocator for strings and arrays handed across component boundaries.
#include "runtime/ole/ole_types.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

namespace {

// Small blocks freed on a thread are kept there for the next allocation of the same size: a row
// reader hands out an array and a few strings for every row, and its consumer frees them right
// after, so most rows reuse the blocks of the row before without a trip through malloc. Under
// AddressSanitizer every block goes back to malloc, so that a use after free is still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kKeepBlocks = false;
#else
constexpr bool kKeepBlocks = true;
#endif
constexpr size_t kGrain = 16;
constexpr size_t kSizeClasses = 24;  // blocks of up to 384 bytes
constexpr uint32_t kKeptPerClass = 32;

struct KeptBlock {
    KeptBlock* next;
};

struct BlockCache {
    KeptBlock* head[kSizeClasses];
    uint32_t count[kSizeClasses];
};
// The thread's cache, made when the thread first frees a small block. Only this pointer is
// thread-local, in the initial-exec model (a load from the thread register), which takes a few
// bytes of the static space even when the library is loaded at run time.
thread_local BlockCache* tCache __attribute__((tls_model("initial-exec"))) = nullptr;
thread_local bool tCacheEnded __attribute__((tls_model("initial-exec"))) = false;

// Gives the kept blocks back when the thread ends; blocks freed after that go to malloc.
struct CacheRelease {
    ~CacheRelease() {
        if (BlockCache* cache = tCache) {
            for (size_t c = 0; c < kSizeClasses; ++c)
                while (KeptBlock* b = cache->head[c]) {
                    cache->head[c] = b->next;
                    std::free(b);
                }
            std::free(cache);
        }
        tCache = nullptr;
        tCacheEnded = true;
    }
};

size_t sizeClass(size_t bytes) { return (bytes + kGrain - 1) / kGrain; }

// A block of at least `bytes` (its contents undefined), rounded up to its size class.
void* takeBlock(size_t bytes) {
    if (kKeepBlocks) {
        const size_t c = sizeClass(bytes);
        if (c < kSizeClasses) {
            BlockCache* cache = tCache;
            if (cache) {
                if (KeptBlock* b = cache->head[c]) {
                    cache->head[c] = b->next;
                    --cache->count[c];
                    return b;
                }
            }
            return std::malloc(c * kGrain);
        }
    }
    return std::malloc(bytes);
}

BlockCache* threadCache() {
    if (tCacheEnded) return nullptr;
    static thread_local CacheRelease release;
    (void)&release;
    tCache = static_cast<BlockCache*>(std::calloc(1, sizeof(BlockCache)));
    return tCache;
}

// Frees a block of at least `bytes` (it may have been asked of takeBlock for more).
void giveBlock(void* block, size_t bytes) {
    if (kKeepBlocks) {
        const size_t c = sizeClass(bytes);
        if (c < kSizeClasses) {
            BlockCache* cache = tCache;
            if (!cache) cache = threadCache();
            if (cache && cache->count[c] < kKeptPerClass) {
                auto* b = static_cast<KeptBlock*>(block);
                b->next = cache->head[c];
                cache->head[c] = b;
                ++cache->count[c];
                return;
            }
        }
    }
    std::free(block);
}

// A string block: a marker word, the byte count, the text, a 16-bit NUL. The marker catches a
// pointer that did not come from here before it corrupts the heap.
constexpr uint32_t kBstrMarker = 0x52545342u;
constexpr size_t kBstrHeader = 8;

uint32_t* bstrHeader(BSTR s) { return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(s) - kBstrHeader); }

// An array block: 16 bytes in front (the block's size in the first 8 of them, the element type
// in the last 4, as readers of the layout expect), the descriptor with its bounds, then the
// elements.
constexpr size_t kArrayFront = 16;

size_t descriptorSize(uint32_t cDims) { return offsetof(SAFEARRAY, rgsabound) + cDims * sizeof(SAFEARRAYBOUND); }
size_t roundUp16(size_t n) { return (n + 15) & ~size_t(15); }

VARTYPE& arrayVartype(const SAFEARRAY* psa) {
    return *reinterpret_cast<VARTYPE*>(const_cast<char*>(reinterpret_cast<const char*>(psa)) - 4);
}

uint32_t elementSize(VARTYPE vt) {
    switch (vt) {
    case VT_VARIANT: return sizeof(VARIANT);
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH: return sizeof(void*);
    case VT_I2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_R8:
    case VT_DATE:
    case VT_I8:
    case VT_CY: return 8;
    case VT_UI1:
    case VT_I1: return 1;
    default: return 0;
    }
}

uint64_t elementCount(const SAFEARRAY* psa) {
    uint64_t n = 1;
    for (uint32_t i = 0; i < psa->cDims; ++i) n *= psa->rgsabound[i].cElements;
    return n;
}

uint64_t& arrayBlockBytes(const SAFEARRAY* psa) {
    return *reinterpret_cast<uint64_t*>(const_cast<char*>(reinterpret_cast<const char*>(psa)) - kArrayFront);
}

uint32_t releaseObject(void* obj) {
    if (!obj) return 0;
    auto slots = *static_cast<const RtDispatchSlots* const*>(obj);
    return slots->Release(obj);
}

void addRefObject(void* obj) {
    if (!obj) return;
    auto slots = *static_cast<const RtDispatchSlots* const*>(obj);
    slots->AddRef(obj);
}

// Frees what the elements hold; the elements themselves go with the array.
void clearElements(SAFEARRAY* psa) {
    const uint64_t n = elementCount(psa);
    const VARTYPE vt = arrayVartype(psa);
    if (vt == VT_VARIANT) {
        auto* v = static_cast<VARIANT*>(psa->pvData);
        for (uint64_t i = 0; i < n; ++i) {
            // Strings, the common case, are freed here; numbers hold nothing.
            const VARTYPE t = v[i].vt;
            if (t == VT_BSTR)
                rtSysFreeString(v[i].bstrVal);
            else if ((t & VT_ARRAY) || t == VT_UNKNOWN || t == VT_DISPATCH)
                rtVariantClear(&v[i]);
        }
    } else if (vt == VT_BSTR) {
        auto* b = static_cast<BSTR*>(psa->pvData);
        for (uint64_t i = 0; i < n; ++i) {
            rtSysFreeString(b[i]);
            b[i] = nullptr;
        }
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        auto* u = static_cast<void**>(psa->pvData);
        for (uint64_t i = 0; i < n; ++i) {
            releaseObject(u[i]);
            u[i] = nullptr;
        }
    }
}

}  // namespace

extern "C" {

BSTR rtSysAllocStringByteLen(const char* bytes, uint32_t len) {
    if (len > 0x7ffffff0u) return nullptr;
    // Room for an odd byte count's last character too, so that the terminator is whole.
    const size_t room = (size_t(len) + 1) & ~size_t(1);
    auto* block = static_cast<char*>(takeBlock(kBstrHeader + room + sizeof(OLECHAR)));
    if (!block) return nullptr;
    auto* head = reinterpret_cast<uint32_t*>(block);
    head[0] = kBstrMarker;
    head[1] = len;
    char* s = block + kBstrHeader;
    if (bytes) std::memcpy(s, bytes, len);
    s[len] = 0;
    s[len + 1] = 0;
    if (room != len) s[len + 2] = 0;
    return reinterpret_cast<BSTR>(s);
}

BSTR rtSysAllocStringLen(const OLECHAR* text, uint32_t len) {
    const uint64_t bytes = uint64_t(len) * sizeof(OLECHAR);
    if (bytes > 0x7ffffff0u) return nullptr;
    BSTR s = rtSysAllocStringByteLen(reinterpret_cast<const char*>(text), static_cast<uint32_t>(bytes));
    if (s && !text) std::memset(s, 0, bytes);
    return s;
}

BSTR rtSysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    uint32_t n = 0;
    while (text[n]) ++n;
    return rtSysAllocStringLen(text, n);
}

void rtSysFreeString(BSTR s) {
    if (!s) return;
    uint32_t* head = bstrHeader(s);
    assert(head[0] == kBstrMarker && "string not made by rtSysAllocString");
    // Not ours, or freed before: left alone rather than handed to the heap a second time.
    if (head[0] != kBstrMarker) return;
    head[0] = 0;
    // The length may have been shortened after the allocation (never lengthened): the block
    // holds at least this much.
    giveBlock(head, kBstrHeader + head[1] + sizeof(OLECHAR));
}

uint32_t rtSysStringLen(BSTR s) { return s ? bstrHeader(s)[1] / sizeof(OLECHAR) : 0; }
uint32_t rtSysStringByteLen(BSTR s) { return s ? bstrHeader(s)[1] : 0; }

void rtVariantInit(VARIANT* v) { std::memset(v, 0, sizeof *v); }

HRESULT rtVariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    if (!(v->vt & VT_BYREF)) {
        if (v->vt & VT_ARRAY) {
            if (v->parray) {
                HRESULT hr = rtSafeArrayDestroy(v->parray);
                if (RT_FAILED(hr)) return hr;
            }
        } else if (v->vt == VT_BSTR) {
            rtSysFreeString(v->bstrVal);
        } else if (v->vt == VT_UNKNOWN || v->vt == VT_DISPATCH) {
            releaseObject(v->punkVal);
        }
    }
    rtVariantInit(v);
    return S_OK;
}

HRESULT rtVariantCopy(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (dest == src) return S_OK;
    HRESULT hr = rtVariantClear(dest);
    if (RT_FAILED(hr)) return hr;
    VARIANT tmp = *src;
    if (!(src->vt & VT_BYREF)) {
        if (src->vt & VT_ARRAY) {
            if (src->parray) {
                hr = rtSafeArrayCopy(src->parray, &tmp.parray);
                if (RT_FAILED(hr)) return hr;
            }
        } else if (src->vt == VT_BSTR) {
            if (src->bstrVal) {
                tmp.bstrVal = rtSysAllocStringLen(src->bstrVal, rtSysStringLen(src->bstrVal));
                if (!tmp.bstrVal) return E_OUTOFMEMORY;
            }
        } else if (src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) {
            addRefObject(src->punkVal);
        }
    }
    *dest = tmp;
    return S_OK;
}

SAFEARRAY* rtSafeArrayCreate(VARTYPE vt, uint32_t cDims, const SAFEARRAYBOUND* bounds) {
    const uint32_t elem = elementSize(vt);
    if (elem == 0 || cDims == 0 || cDims > 0xffff || !bounds) return nullptr;
    uint64_t count = 1;
    for (uint32_t i = 0; i < cDims; ++i) {
        count *= bounds[i].cElements;
        if (count > (uint64_t(1) << 40)) return nullptr;
    }
    const size_t head = roundUp16(kArrayFront + descriptorSize(cDims));
    const uint64_t data = count * elem;
    auto* block = static_cast<char*>(takeBlock(head + data));
    if (!block) return nullptr;
    std::memset(block, 0, head + data);
    *reinterpret_cast<uint64_t*>(block) = head + data;
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + kArrayFront);
    psa->cDims = static_cast<uint16_t>(cDims);
    psa->cbElements = elem;
    psa->fFeatures = FADF_HAVEVARTYPE;
    if (vt == VT_VARIANT)
        psa->fFeatures |= FADF_VARIANT;
    else if (vt == VT_BSTR)
        psa->fFeatures |= FADF_BSTR;
    else if (vt == VT_UNKNOWN || vt == VT_DISPATCH)
        psa->fFeatures |= FADF_UNKNOWN;
    psa->pvData = block + head;
    for (uint32_t i = 0; i < cDims; ++i) psa->rgsabound[cDims - 1 - i] = bounds[i];
    arrayVartype(psa) = vt;
    return psa;
}

HRESULT rtSafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
    clearElements(psa);
    giveBlock(reinterpret_cast<char*>(psa) - kArrayFront, arrayBlockBytes(psa));
    return S_OK;
}

HRESULT rtSafeArrayCopy(const SAFEARRAY* psa, SAFEARRAY** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!psa) return S_OK;
    SAFEARRAYBOUND bounds[64];
    if (psa->cDims > 64) return E_INVALIDARG;
    for (uint32_t i = 0; i < psa->cDims; ++i) bounds[i] = psa->rgsabound[psa->cDims - 1 - i];
    const VARTYPE vt = arrayVartype(psa);
    SAFEARRAY* copy = rtSafeArrayCreate(vt, psa->cDims, bounds);
    if (!copy) return E_OUTOFMEMORY;
    const uint64_t n = elementCount(psa);
    if (vt == VT_VARIANT) {
        auto* s = static_cast<const VARIANT*>(psa->pvData);
        auto* d = static_cast<VARIANT*>(copy->pvData);
        for (uint64_t i = 0; i < n; ++i) {
            HRESULT hr = rtVariantCopy(&d[i], &s[i]);
            if (RT_FAILED(hr)) {
                rtSafeArrayDestroy(copy);
                return hr;
            }
        }
    } else if (vt == VT_BSTR) {
        auto* s = static_cast<BSTR const*>(psa->pvData);
        auto* d = static_cast<BSTR*>(copy->pvData);
        for (uint64_t i = 0; i < n; ++i) {
            if (!s[i]) continue;
            d[i] = rtSysAllocStringLen(s[i], rtSysStringLen(s[i]));
            if (!d[i]) {
                rtSafeArrayDestroy(copy);
                return E_OUTOFMEMORY;
            }
        }
    } else {
        std::memcpy(copy->pvData, psa->pvData, n * psa->cbElements);
        if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
            auto* u = static_cast<void**>(copy->pvData);
            for (uint64_t i = 0; i < n; ++i) addRefObject(u[i]);
        }
    }
    *out = copy;
    return S_OK;
}

uint32_t rtSafeArrayGetDim(const SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

static const SAFEARRAYBOUND* boundOf(const SAFEARRAY* psa, uint32_t dim) {
    if (!psa || dim < 1 || dim > psa->cDims) return nullptr;
    return &psa->rgsabound[psa->cDims - dim];
}

HRESULT rtSafeArrayGetLBound(const SAFEARRAY* psa, uint32_t dim, int32_t* out) {
    const SAFEARRAYBOUND* b = boundOf(psa, dim);
    if (!b || !out) return DISP_E_BADINDEX;
    *out = b->lLbound;
    return S_OK;
}

HRESULT rtSafeArrayGetUBound(const SAFEARRAY* psa, uint32_t dim, int32_t* out) {
    const SAFEARRAYBOUND* b = boundOf(psa, dim);
    if (!b || !out) return DISP_E_BADINDEX;
    *out = static_cast<int32_t>(int64_t(b->lLbound) + int64_t(b->cElements) - 1);
    return S_OK;
}

HRESULT rtSafeArrayGetVartype(const SAFEARRAY* psa, VARTYPE* out) {
    if (!psa || !out) return E_INVALIDARG;
    *out = arrayVartype(psa);
    return S_OK;
}

HRESULT rtSafeArrayPtrOfIndex(const SAFEARRAY* psa, const int32_t* indices, void** out) {
    if (!psa || !indices || !out) return E_INVALIDARG;
    // The first dimension varies fastest.
    uint64_t offset = 0;
    uint64_t stride = 1;
    for (uint32_t d = 0; d < psa->cDims; ++d) {
        const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - 1 - d];
        const int64_t i = int64_t(indices[d]) - b.lLbound;
        if (i < 0 || i >= int64_t(b.cElements)) return DISP_E_BADINDEX;
        offset += uint64_t(i) * stride;
        stride *= b.cElements;
    }
    *out = static_cast<char*>(psa->pvData) + offset * psa->cbElements;
    return S_OK;
}

}  // extern "C"
