// VARIANT -> Value: the conversions the management service's property values need; whole instances.
#include "management/dcom/variant.h"

#include <cstdint>

#include "management/dcom/com.h"
#include "platform/win32/text-win32.h"

namespace qv::management::dcom {

namespace {

// An integer cut to the width and signedness the property declares.
std::int64_t narrowed(std::int64_t n, CIMTYPE cimType) {
    switch (cimType & ~CIM_FLAG_ARRAY) {
        case CIM_UINT8: return n & 0xFF;
        case CIM_SINT8: return static_cast<std::int8_t>(n & 0xFF);
        case CIM_UINT16: return n & 0xFFFF;
        case CIM_SINT16: return static_cast<std::int16_t>(n & 0xFFFF);
        case CIM_UINT32: return n & 0xFFFFFFFF;
        case CIM_SINT32: return static_cast<std::int32_t>(n & 0xFFFFFFFF);
        default: return n;
    }
}

std::string textOf(BSTR b) { return b ? win32::fromWide(b, SysStringLen(b)) : std::string(); }

// One scalar of type `vt` stored at `p` (a VARIANT's value or an array element).
Value scalar(VARTYPE vt, const void* p, CIMTYPE cimType) {
    auto integer = [&](std::int64_t n) { return Value::of(narrowed(n, cimType)); };
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL: return Value::null();
        case VT_BSTR: return Value::of(textOf(*static_cast<const BSTR*>(p)));
        case VT_BOOL: return Value::of(*static_cast<const VARIANT_BOOL*>(p) != VARIANT_FALSE);
        case VT_I1: return integer(*static_cast<const signed char*>(p));
        case VT_UI1: return integer(*static_cast<const unsigned char*>(p));
        case VT_I2: return integer(*static_cast<const SHORT*>(p));
        case VT_UI2: return integer(*static_cast<const USHORT*>(p));
        case VT_I4:
        case VT_INT: return integer(*static_cast<const LONG*>(p));
        case VT_UI4:
        case VT_UINT: return integer(*static_cast<const ULONG*>(p));
        case VT_I8: return integer(*static_cast<const LONGLONG*>(p));
        case VT_UI8: {
            ULONGLONG u = *static_cast<const ULONGLONG*>(p);
            if (u > static_cast<ULONGLONG>(INT64_MAX)) return Value::of(std::to_string(u));
            return Value::of(static_cast<std::int64_t>(u));
        }
        case VT_R4: return Value::of(static_cast<double>(*static_cast<const float*>(p)));
        case VT_R8: return Value::of(*static_cast<const double*>(p));
        case VT_VARIANT: return valueOfVariant(*static_cast<const VARIANT*>(p), cimType);
        default: return Value::unreadable();
    }
}

Value listOf(VARTYPE elementType, SAFEARRAY* array, CIMTYPE cimType) {
    if (!array) return Value::null();
    if (SafeArrayGetDim(array) != 1) return Value::unreadable();
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return Value::unreadable();
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return Value::unreadable();
    const UINT size = SafeArrayGetElemsize(array);
    std::vector<Value> items;
    for (LONG i = 0; i <= upper - lower; ++i)
        items.push_back(scalar(elementType, static_cast<const char*>(data) + static_cast<std::size_t>(i) * size, cimType));
    SafeArrayUnaccessData(array);
    return Value::ofList(std::move(items));
}

}  // namespace

Value valueOfVariant(const VARIANT& v, CIMTYPE cimType) {
    if (v.vt & VT_BYREF) return Value::unreadable();
    if (v.vt & VT_ARRAY) return listOf(static_cast<VARTYPE>(v.vt & VT_TYPEMASK), v.parray, cimType);
    return scalar(v.vt, &v.llVal, cimType);
}

Instance instanceOf(IWbemClassObject* object) {
    Instance inst;
    SAFEARRAY* names = nullptr;
    if (FAILED(object->GetNames(nullptr, WBEM_FLAG_ALWAYS | WBEM_FLAG_NONSYSTEM_ONLY, nullptr, &names)) || !names)
        return inst;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(names, 1, &lower);
    SafeArrayGetUBound(names, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        BSTR name = nullptr;
        if (FAILED(SafeArrayGetElement(names, &i, &name)) || !name) continue;
        std::string key = win32::fromWide(name, SysStringLen(name));
        if (key.rfind("__", 0) != 0) {
            Variant value;
            CIMTYPE type = 0;
            Value v = SUCCEEDED(object->Get(name, 0, &value.v, &type, nullptr)) ? valueOfVariant(value.v, type)
                                                                                : Value::unreadable();
            inst.properties.emplace_back(std::move(key), std::move(v));
        }
        SysFreeString(name);
    }
    SafeArrayDestroy(names);
    return inst;
}

}  // namespace qv::management::dcom
