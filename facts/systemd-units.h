// The systemd unit resolver: the service units of a computer as its unit folders describe them.
#pragma once

#include "facts/source.h"

namespace qv::facts {

// A Win32_Service instance per systemd service unit (templates only as the instances something
// wants), with its description, command, state and start mode.
Instances systemdServices(Source& s);

// One Win32_Service instance, as systemd units and System V scripts both give it.
Instance serviceInstance(const std::string& name, const std::optional<std::string>& description,
                         const std::optional<std::string>& path, const std::string& state, const std::string& startMode);

}  // namespace qv::facts
