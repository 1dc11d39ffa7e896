// The local provider: a Linux computer's classes, registry and files, answered from its own files.
#pragma once

#include <memory>

#include "management/connection.h"
#include "facts/source.h"

namespace qv::management::local {

// The provider of the local computer's classes: the running system, or the system whose files lie
// under options.root (or are read through options.files).
std::unique_ptr<management::TargetConnection> makeLocalProvider();
std::unique_ptr<management::TargetConnection> makeLocalProvider(facts::Options options);

}  // namespace qv::management::local
