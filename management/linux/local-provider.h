// The local provider: a Linux computer's classes, registry and files, answered from its own files.
#pragma once

#include <memory>

#include "management/connection.h"
#include "management/linux/source.h"

namespace qv::posix {

// The provider of the local computer's classes: the running system, or the system whose files lie
// under options.root (or are read through options.files).
std::unique_ptr<management::TargetConnection> makeLocalProvider();
std::unique_ptr<management::TargetConnection> makeLocalProvider(provider::Options options);

}  // namespace qv::posix
