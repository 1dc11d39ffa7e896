// One table of queries that every back-end answering queries itself must answer alike.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "management/local/provider.h"
#include "fixture/platform.h"
#include "tests/facts/tree.h"
#include "tests/support/connection_calls.h"

namespace {

using nlohmann::json;

const std::string kClass = "Win32_NetworkAdapterConfiguration";

// A query and the indexes of the adapters it selects, in order; null: an invalid query.
struct Case {
    std::string query;
    const char* selected;
};

const std::string kAll = "Select * from " + kClass;
const std::string kWhere = kAll + " Where ";

// The adapters: 2 eth0 (enabled, the only one with a MAC address), 3 it's, 4 say"hi" (enabled),
// 12 back\slash.
const Case kCases[] = {
    {kAll, "2 3 4 12"},
    {"select * FROM win32_networkadapterconfiguration", "2 3 4 12"},
    {"\tSELECT\t*  from\t\t" + kClass + " \t\r\n", "2 3 4 12"},
    {"Select*from " + kClass, "2 3 4 12"},
    // Text, in either quotes, ignoring case; \\, \' and \" inside.
    {kWhere + "Description = 'eth0'", "2"},
    {kAll + " WHERE description='ETH0'", "2"},
    {kAll + "\twhere\tDescription\t=\t\"Eth0\"", "2"},
    {kWhere + "Description = 'it\\'s'", "3"},
    {kWhere + "Description = \"it's\"", "3"},
    {kWhere + "Description = 'say\"hi\"'", "4"},
    {kWhere + "Description = \"say\\\"hi\\\"\"", "4"},
    {kWhere + "Description = 'back\\\\slash'", "12"},
    {kWhere + "Description = ''", ""},
    {kWhere + "MACAddress = '00:1B:21:AA:BB:00'", "2"},  // Null elsewhere: never equal
    // Numbers by value; Booleans; a literal of another kind than the value never matches.
    {kWhere + "Index = 4", "4"},
    {kWhere + "index=12", "12"},
    {kWhere + "Index = 4.0", "4"},
    {kWhere + "Index = 4.5", ""},
    {kWhere + "Index = -4", ""},
    {kWhere + "Index = '4'", ""},
    {kWhere + "IPEnabled = TRUE", "2 4"},
    {kWhere + "IPEnabled = false", "3 12"},
    {kWhere + "IPEnabled = 'True'", ""},
    {kWhere + "IPEnabled = 1", ""},
    {kWhere + "Description = 4", ""},
    {kWhere + "IPAddress = '192.168.2.10'", ""},  // a list
    {kWhere + "NoSuchProperty = 1", ""},
    // Invalid queries.
    {"", nullptr},
    {" \t ", nullptr},
    {"Select * from", nullptr},
    {"Select * from ;", nullptr},
    {"Select * " + kClass, nullptr},
    {"Select Index from " + kClass, nullptr},
    {"Selectx * from " + kClass, nullptr},
    {"Select * fromWin32_NetworkAdapterConfiguration", nullptr},
    {kAll + " garbage", nullptr},
    {kAll + ";", nullptr},
    {kAll + " Where", nullptr},
    {kWhere + "= 4", nullptr},
    {kWhere + "Index", nullptr},
    {kWhere + "Index =", nullptr},
    {kWhere + "Description = 'eth0", nullptr},
    {kWhere + "Description = \"eth0'", nullptr},
    {kWhere + "Description = 'it''s'", nullptr},
    {kWhere + "Description = 'C:\\x'", nullptr},
    {kWhere + "Description = eth0", nullptr},
    {kWhere + "Description = 'eth0' garbage", nullptr},
    {kWhere + "Index = 4 And IPEnabled = TRUE", nullptr},
    {kWhere + "Index <> 4", nullptr},
    {kWhere + "Index != 4", nullptr},
    {kWhere + "Index > 4", nullptr},
    {kWhere + "Index == 4", nullptr},
    {kWhere + "Description Like 'eth%'", nullptr},
    {kWhere + "Index = 4x", nullptr},
    {kWhere + "Index = 4.", nullptr},
    {kWhere + "Index = - 4", nullptr},
    {kWhere + "Index = 99999999999999999999", nullptr},
    {kWhere + "Index = NULL", nullptr},
    {kWhere + "IPEnabled = TRUEISH", nullptr},
};

json toJson(const qv::Value& v) {
    switch (v.kind) {
        case qv::Value::Kind::Bool: return v.boolean;
        case qv::Value::Kind::Int: return v.integer;
        case qv::Value::Kind::Double: return v.real;
        case qv::Value::Kind::Text: return v.text;
        case qv::Value::Kind::List: {
            json items = json::array();
            for (const auto& item : v.list) items.push_back(toJson(item));
            return items;
        }
        default: return nullptr;
    }
}

std::string indexes(const qv::Instances& instances) {
    std::string out;
    for (const auto& i : instances) out += (out.empty() ? "" : " ") + std::to_string(i.get("Index").integer);
    return out;
}

}  // namespace

TEST(Wql, EveryBackEndAnswersTheTableAlike) {
    qvtest::Tree t;
    auto nic = [&t](const std::string& name, const char* index, const char* flags) {
        const std::string dir = "/sys/class/net/" + name;
        t.file(dir + "/type", "1\n").file(dir + "/ifindex", std::string(index) + "\n").file(dir + "/flags", flags);
    };
    nic("eth0", "2", "0x1003\n");
    nic("it's", "3", "0x1002\n");
    nic("say\"hi\"", "4", "0x1003\n");
    nic("back\\slash", "12", "0x1003\n");
    t.file("/sys/class/net/eth0/address", "00:1b:21:aa:bb:00\n");
    auto options = qvtest::optionsFor(t);
    options.probes.interfaceAddresses = [] {
        return std::vector<qv::facts::InterfaceAddress>{
            {"eth0", false, "192.168.2.10", "255.255.255.0", true}, {"say\"hi\"", false, "10.0.0.7", "255.0.0.0", true}};
    };
    std::unique_ptr<qv::management::TargetConnection> provider = qv::management::local::makeLocalProvider(options);

    // The simulated computer holds the provider's instances, so both hold the same values.
    qv::Instances all;
    qv::PlatformError err;
    ASSERT_TRUE(qv::calls::execQuery(*provider, kAll, all, err)) << err.description;
    ASSERT_EQ(indexes(all), "2 3 4 12");
    json instances = json::array();
    for (const auto& i : all) {
        json members = json::object();
        for (const auto& [name, value] : i.properties)
            if (value.readable()) members[name] = toJson(value);
        instances.push_back(members);
    }
    t.file("/fixture.json", json{{"wmi", {{"WS01", {{"classes", {{kClass, instances}}}}}}}}.dump());
    std::string error;
    auto fixture = qv::fixture::FixturePlatform::load(t.root() + "/fixture.json", error);
    ASSERT_TRUE(fixture) << error;
    auto connected = fixture->connector().connect("WS01");
    ASSERT_TRUE(connected) << connected.error().error.description;
    std::unique_ptr<qv::management::TargetConnection> simulated = std::move(*connected);

    const std::pair<const char*, qv::management::TargetConnection*> backEnds[] = {{"fixture", simulated.get()},
                                                                  {"Linux provider", provider.get()}};
    for (const Case& c : kCases)
        for (const auto& [name, target] : backEnds) {
            qv::Instances out;
            qv::PlatformError e;
            const bool answered = qv::calls::execQuery(*target, c.query, out, e);
            if (!c.selected) {
                EXPECT_FALSE(answered) << name << ": " << c.query;
                EXPECT_EQ(e.number, qv::management::kErrInvalidQuery) << name << ": " << c.query;
                EXPECT_EQ(e.description, qv::management::kErrInvalidQueryText) << name << ": " << c.query;
            } else {
                EXPECT_TRUE(answered) << name << ": " << c.query << ": " << e.description;
                EXPECT_EQ(indexes(out), c.selected) << name << ": " << c.query;
            }
        }
}
