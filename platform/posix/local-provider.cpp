// The local provider: answers the management-service operations for this Linux computer.
#include "platform/posix/management-posix.h"

namespace qv::posix {

namespace {

// Knows no class yet: every class has no instances, the registry provider has no keys,
// and no share can be created.
class LocalProvider : public TargetService {
public:
    bool instancesOf(const std::string&, Instances& out, PlatformError&) override {
        out.clear();
        return true;
    }
    bool execQuery(const std::string&, Instances& out, PlatformError&) override {
        out.clear();
        return true;
    }
    bool enumKey(std::uint32_t, const std::string&, std::vector<std::string>&) override { return false; }
    bool enumValues(std::uint32_t, const std::string&, std::vector<std::string>&, std::vector<std::int32_t>&) override {
        return false;
    }
    bool getStringValue(std::uint32_t, const std::string&, const std::string&, std::string&) override { return false; }
    std::int32_t createShare(const std::string&, const std::string&, std::int32_t, const std::string&) override {
        return 2;  // access denied
    }
    bool deleteShare(const Instance&) override { return false; }
};

}  // namespace

std::unique_ptr<TargetService> makeLocalProvider() { return std::make_unique<LocalProvider>(); }

}  // namespace qv::posix
