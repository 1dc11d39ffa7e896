// The management service's VARIANTs (with their CIM types) and class objects as Values and Instances.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wbemcli.h>

#include "platform/platform.h"

namespace qv::management::dcom {

// Converts a property value. Texts (also 64-bit numbers and date-times, which arrive as texts),
// integers, Booleans, reals, Null and one-dimensional arrays. `cimType` (0 when unknown) narrows
// integers to the property's declared width, which also drops the garbage some providers leave
// in the unused high bits of 16-bit array elements.
Value valueOfVariant(const VARIANT& v, CIMTYPE cimType);

// One instance: every non-system property, in the order the object names them. A property
// whose read fails stays in the list as unreadable.
Instance instanceOf(IWbemClassObject* object);

}  // namespace qv::management::dcom
