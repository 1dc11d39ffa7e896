// The POSIX registry: an in-memory registry holding the components this program provides.
#pragma once

#include "platform/memory_registry.h"

namespace qv::posix {

class PosixRegistry : public MemoryRegistry {
public:
    PosixRegistry();  // registers the program's own components
};

}  // namespace qv::posix
