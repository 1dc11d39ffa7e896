// The typed result of a call to another computer, as the transports and collectors name it.
#pragma once

#include "platform/result.h"

namespace qv::management {

using qv::CallError;
using qv::Done;
using qv::Result;

}  // namespace qv::management
