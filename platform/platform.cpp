// Shared parts of the platform interfaces: instance property lookup and the local computer's names.
#include "platform/platform.h"

namespace qv {

const Value& Instance::get(const std::string& name) const {
    static const Value unreadable;
    for (const auto& [key, value] : properties)
        if (text::equalsIgnoringCase(key, name)) return value;
    return unreadable;
}

void Instance::set(const std::string& name, Value v) {
    for (auto& [key, value] : properties)
        if (text::equalsIgnoringCase(key, name)) {
            value = std::move(v);
            return;
        }
    properties.emplace_back(name, std::move(v));
}

bool Identity::isLocalComputer(const std::string& name) {
    if (name == ".") return true;
    std::string own;
    return computerName(own) && !own.empty() && text::equalsIgnoringCase(name, own);
}

}  // namespace qv
