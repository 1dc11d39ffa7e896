// What the inventory asks of a computer's own files (registered applications, drivers): whether a
// file is there, its version and its creation time, read through the provider's file access.
#pragma once

#include <optional>
#include <string>

#include "facts/source.h"
#include "platform/values.h"

namespace qv::facts {

bool fileExists(Source& s, const std::string& path);
// Linux files carry no version resource. A kernel module names its own: the version it declares,
// else the kernel release it was built for (the first word of its vermagic).
std::optional<std::string> fileVersion(Source& s, const std::string& path);
// The file's birth time where the file system keeps one and the file is this computer's, else its
// last modification, in local time.
std::optional<DateTime> fileCreated(Source& s, const std::string& path);

}  // namespace qv::facts
