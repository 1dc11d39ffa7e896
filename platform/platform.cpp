// Shared parts of the platform interfaces: instance property lookup, the default count, name checks.
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

bool TargetService::countInstances(const std::string& className, std::int64_t& count, PlatformError& err) {
    Instances all;
    if (!instancesOf(className, all, err)) return false;
    count = static_cast<std::int64_t>(all.size());
    return true;
}

bool Identity::isLocalComputer(const std::string& name) {
    if (name == ".") return true;
    std::string own;
    return computerName(own) && !own.empty() && text::equalsIgnoringCase(name, own);
}

bool isUsableComputerName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return false;
        switch (c) {
            case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
                return false;
            default: break;
        }
    }
    return true;
}

}  // namespace qv
