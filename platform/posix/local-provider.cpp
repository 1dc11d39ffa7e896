// The local provider: answers the management-service operations for this Linux computer from
// its files and system calls, under a configurable root directory.
#include <map>

#include "management/wql.h"
#include "platform/posix/management-posix.h"
#include "platform/posix/provider/classes.h"
#include "platform/text.h"

namespace qv::posix {

namespace {

using provider::Source;

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr std::int32_t kRegSz = 1;

using text::equalsIgnoringCase;

class LocalProvider : public TargetService {
public:
    explicit LocalProvider(provider::Options options) : source_(std::move(options)) {}

    bool instancesOf(const std::string& className, Instances& out, PlatformError& err) override {
        out.clear();
        const Instances* all = load(className, err);
        if (!all) return false;
        out = *all;
        return true;
    }

    bool countInstances(const std::string& className, std::int64_t& count, PlatformError& err) override {
        const Instances* all = load(className, err);
        if (!all) return false;
        count = static_cast<std::int64_t>(all->size());
        return true;
    }

    bool execQuery(const std::string& text, Instances& out, PlatformError& err) override {
        out.clear();
        auto q = management::wql::parse(text);
        if (!q) {
            err = {kErrInvalidQuery, kErrInvalidQueryText};
            return false;
        }
        const Instances* all = load(q->className, err);
        if (!all) return false;
        for (const auto& inst : *all)
            if (management::wql::selects(*q, inst)) out.push_back(inst);
        return true;
    }

    bool enumKey(std::uint32_t hive, const std::string& key, std::vector<std::string>& names) override {
        ready();
        names.clear();
        if (hive == kHiveClassesRoot && key.empty()) return true;  // no registered applications on Linux
        if (hive != kHiveLocalMachine || !equalsIgnoringCase(trimSlashes(key), kUninstallKey)) return false;
        for (const auto& p : provider::installedPackages(source_)) names.push_back(p.key);
        return true;
    }

    bool enumValues(std::uint32_t hive, const std::string& key, std::vector<std::string>& names,
                    std::vector<std::int32_t>& types) override {
        ready();
        names.clear();
        types.clear();
        const provider::Package* p = package(hive, key);
        if (!p) return false;
        for (const auto& [name, value] : fields(*p)) {
            if (value->empty()) continue;
            names.push_back(name);
            types.push_back(kRegSz);
        }
        return true;
    }

    bool getStringValue(std::uint32_t hive, const std::string& key, const std::string& valueName,
                        std::string& out) override {
        ready();
        const provider::Package* p = package(hive, key);
        if (!p) return false;
        for (const auto& [name, value] : fields(*p))
            if (equalsIgnoringCase(name, valueName) && !value->empty()) {
                out = *value;
                return true;
            }
        return false;
    }

    // Shares are Samba's configuration; the inventory never creates one on the computer it runs on.
    std::int32_t createShare(const std::string&, const std::string&, std::int32_t, const std::string&) override {
        return 2;  // access denied
    }
    bool deleteShare(const Instance&) override { return false; }

private:
    void ready() {
        if (!source_.options().warmUp || warmedUp_) return;
        warmedUp_ = true;
        provider::warmUp(source_);
    }

    const Instances* load(const std::string& className, PlatformError& err) {
        ready();
        const provider::ClassDef* def = provider::findClass(className);
        if (!def) {
            err = {kErrInvalidClass, kErrInvalidClassText};
            return nullptr;
        }
        auto it = cache_.find(def->name);
        if (it == cache_.end()) it = cache_.emplace(def->name, def->build(source_)).first;
        return &it->second;
    }

    static std::string trimSlashes(std::string k) {
        while (!k.empty() && k.back() == '\\') k.pop_back();
        while (!k.empty() && k.front() == '\\') k.erase(0, 1);
        return k;
    }

    const provider::Package* package(std::uint32_t hive, const std::string& key) {
        if (hive != kHiveLocalMachine) return nullptr;
        std::string k = trimSlashes(key);
        std::string prefix = std::string(kUninstallKey) + "\\";
        if (k.size() <= prefix.size() || !equalsIgnoringCase(k.substr(0, prefix.size()), prefix)) return nullptr;
        const auto& all = provider::installedPackages(source_);
        if (packageIndex_.empty())
            for (const auto& p : all) packageIndex_.emplace(p.key, &p);
        auto it = packageIndex_.find(k.substr(prefix.size()));
        return it == packageIndex_.end() ? nullptr : it->second;
    }

    static std::vector<std::pair<const char*, const std::string*>> fields(const provider::Package& p) {
        return {{"DisplayName", &p.name}, {"DisplayVersion", &p.version}, {"Publisher", &p.publisher},
                {"InstallDate", &p.installDate}};
    }

    Source source_;
    bool warmedUp_ = false;
    std::map<std::string, Instances> cache_;
    std::map<std::string, const provider::Package*> packageIndex_;  // subkey name → entry
};

}  // namespace

std::unique_ptr<TargetService> makeLocalProvider(provider::Options options) {
    return std::make_unique<LocalProvider>(std::move(options));
}

std::unique_ptr<TargetService> makeLocalProvider() { return makeLocalProvider(provider::Options{}); }

}  // namespace qv::posix
