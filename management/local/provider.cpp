// The local provider: answers the management-service operations for this Linux computer from
// its files and system calls, under a configurable root directory.
#include "management/local/provider.h"

#include <map>

#include "facts/classes.h"
#include "facts/file-facts.h"
#include "management/wql.h"
#include "platform/text.h"

namespace qv::management::local {

namespace {

using facts::Source;
using management::CallError;
using management::Result;

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr std::int32_t kRegSz = 1;

using text::equalsIgnoringCase;

class LocalProvider : public management::TargetConnection {
public:
    explicit LocalProvider(facts::Options options) : source_(std::move(options)) {}

    Result<Instances> instances(const std::string& className) override {
        CallError err;
        const Instances* all = load(className, err);
        if (!all) return err;
        return *all;
    }

    Result<std::int64_t> count(const std::string& className) override {
        CallError err;
        const Instances* all = load(className, err);
        if (!all) return err;
        return static_cast<std::int64_t>(all->size());
    }

    Result<Instances> query(const std::string& text) override {
        auto q = management::wql::parse(text);
        if (!q) return CallError::of(management::kErrInvalidQuery, management::kErrInvalidQueryText);
        CallError err;
        const Instances* all = load(q->className, err);
        if (!all) return err;
        Instances out;
        for (const auto& inst : *all)
            if (management::wql::selects(*q, inst)) out.push_back(inst);
        return out;
    }

    Result<std::vector<std::string>> subkeys(std::uint32_t hive, const std::string& key) override {
        ready();
        std::vector<std::string> names;
        if (hive == kHiveClassesRoot && key.empty()) return names;  // no registered applications on Linux
        if (hive != kHiveLocalMachine || !equalsIgnoringCase(trimSlashes(key), kUninstallKey)) return noKey();
        for (const auto& p : facts::installedPackages(source_)) names.push_back(p.key);
        return names;
    }

    Result<management::RegistryValueNames> valueNames(std::uint32_t hive, const std::string& key) override {
        ready();
        const facts::Package* p = package(hive, key);
        if (!p) return noKey();
        management::RegistryValueNames out;
        for (const auto& [name, value] : fields(*p)) {
            if (value->empty()) continue;
            out.names.push_back(name);
            out.types.push_back(kRegSz);
        }
        return out;
    }

    Result<std::string> stringValue(std::uint32_t hive, const std::string& key, const std::string& valueName) override {
        ready();
        const facts::Package* p = package(hive, key);
        if (!p) return noKey();
        for (const auto& [name, value] : fields(*p))
            if (equalsIgnoringCase(name, valueName) && !value->empty()) return *value;
        return noKey();
    }

    // Shares are Samba's configuration; the inventory never creates one on a Linux computer.
    Result<std::int32_t> createShare(const std::string&, const std::string&, std::int32_t, const std::string&) override {
        return management::kShareAccessDenied;
    }
    Result<management::Done> deleteShare(const Instance&) override {
        return CallError::of(management::kShareAccessDenied, "Access denied ");
    }

    // The computer's files, read through the provider's file access (this computer's or another's).
    Result<bool> fileExists(const std::string& path) override { return facts::fileExists(source_, path); }
    Result<management::FileFacts> fileFacts(const std::string& path) override {
        management::FileFacts facts;
        if (auto version = facts::fileVersion(source_, path)) facts.version = *version;
        facts.created = facts::fileCreated(source_, path);
        return facts;
    }

private:
    // A registry key or value the provider does not have (the registry provider's "not found").
    static CallError noKey() { return CallError::of(2, "The system cannot find the file specified. "); }

    void ready() {
        if (!source_.options().warmUp || warmedUp_) return;
        warmedUp_ = true;
        facts::warmUp(source_);
    }

    const Instances* load(const std::string& className, CallError& err) {
        ready();
        const facts::ClassDef* def = facts::findClass(className);
        if (!def) {
            err = CallError::of(management::kErrInvalidClass, management::kErrInvalidClassText);
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

    const facts::Package* package(std::uint32_t hive, const std::string& key) {
        if (hive != kHiveLocalMachine) return nullptr;
        std::string k = trimSlashes(key);
        std::string prefix = std::string(kUninstallKey) + "\\";
        if (k.size() <= prefix.size() || !equalsIgnoringCase(k.substr(0, prefix.size()), prefix)) return nullptr;
        const auto& all = facts::installedPackages(source_);
        if (packageIndex_.empty())
            for (const auto& p : all) packageIndex_.emplace(p.key, &p);
        auto it = packageIndex_.find(k.substr(prefix.size()));
        return it == packageIndex_.end() ? nullptr : it->second;
    }

    static std::vector<std::pair<const char*, const std::string*>> fields(const facts::Package& p) {
        return {{"DisplayName", &p.name}, {"DisplayVersion", &p.version}, {"Publisher", &p.publisher},
                {"InstallDate", &p.installDate}};
    }

    Source source_;
    bool warmedUp_ = false;
    std::map<std::string, Instances> cache_;
    std::map<std::string, const facts::Package*> packageIndex_;  // subkey name → entry
};

}  // namespace

std::unique_ptr<management::TargetConnection> makeLocalProvider(facts::Options options) {
    return std::make_unique<LocalProvider>(std::move(options));
}

std::unique_ptr<management::TargetConnection> makeLocalProvider() { return makeLocalProvider(facts::Options{}); }

}  // namespace qv::management::local
