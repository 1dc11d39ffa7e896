// A computer's management connection as the inventory uses it: a call that reached its time
// limit is logged once per class, and later calls of that class fail at once instead of waiting
// again, so one hung provider costs one limit per computer.
#pragma once

#include <memory>
#include <string>

#include "core/target_context.h"

namespace qv::inventory {

class BoundedTarget : public TargetService {
public:
    BoundedTarget(TargetContext& ctx, TargetService& inner) : ctx_(ctx), inner_(inner) {}
    // Owns the connection it bounds.
    BoundedTarget(TargetContext& ctx, std::unique_ptr<TargetService> inner)
        : ctx_(ctx), inner_(*inner), owned_(std::move(inner)) {}

    bool countInstances(const std::string& className, std::int64_t& count, PlatformError& err) override;
    bool instancesOf(const std::string& className, Instances& out, PlatformError& err) override;
    bool execQuery(const std::string& query, Instances& out, PlatformError& err) override;
    bool enumKey(std::uint32_t hive, const std::string& key, std::vector<std::string>& names) override;
    bool enumValues(std::uint32_t hive, const std::string& key, std::vector<std::string>& names,
                    std::vector<std::int32_t>& types) override;
    bool getStringValue(std::uint32_t hive, const std::string& key, const std::string& valueName,
                        std::string& out) override;
    std::int32_t createShare(const std::string& path, const std::string& name, std::int32_t type,
                             const std::string& description) override;
    bool deleteShare(const Instance& share) override;
    bool selectRegistryView(int bits) override { return inner_.selectRegistryView(bits); }

private:
    template <class Result, class Call>
    Result bounded(const std::string& className, Call&& call, Result refused);

    TargetContext& ctx_;
    TargetService& inner_;
    std::unique_ptr<TargetService> owned_;
};

// The class a "Select * from CLASS ..." query reads; the query itself when it has no such form.
std::string queryClass(const std::string& query);
// "60 s" for whole seconds, else "250 ms".
std::string limitText(int milliseconds);

}  // namespace qv::inventory
