// Values of the management service (VARIANTs with their CIM types) as the program's Values.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wbemcli.h>

#include "platform/values.h"

namespace qv::win32 {

// Converts a property value. Texts (also 64-bit numbers and date-times, which arrive as texts),
// integers, Booleans, reals, Null and one-dimensional arrays. `cimType` (0 when unknown) narrows
// integers to the property's declared width, which also drops the garbage some providers leave
// in the unused high bits of 16-bit array elements.
Value valueOfVariant(const VARIANT& v, CIMTYPE cimType);

// Owning wrappers for the COM value types.
struct Variant {
    VARIANT v;
    Variant() { VariantInit(&v); }
    ~Variant() { VariantClear(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

class Bstr {
public:
    explicit Bstr(const std::string& utf8);
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return b_; }
    // Hands the string over (to a VARIANT that frees it).
    BSTR release() {
        BSTR b = b_;
        b_ = nullptr;
        return b;
    }

private:
    BSTR b_;
};

}  // namespace qv::win32
