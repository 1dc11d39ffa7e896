// The value conversions and the continue-on-error step, each over every kind of value.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <vector>

#include "inventory/collector.h"
#include "inventory/values.h"
#include "fixture/platform.h"
#include "core/target_context.h"
#include "tests/support/sim_run.h"

using qv::Value;
using namespace qv::inventory;

namespace {
constexpr std::nullopt_t no = std::nullopt;
}  // namespace

TEST(Values, ConversionsOfEveryKind) {
    struct Case {
        Value value;
        const char* plain;
        std::optional<double> decimal;
        double number;
        std::optional<std::int64_t> code, codeOrBoolean;
        bool boolean;
    } cases[] = {
        {Value::unreadable(), "", no, 0, no, no, false},
        {Value::null(), "", no, 0, no, no, false},
        {Value::of(true), "True", no, -1, no, -1, true},
        {Value::of(false), "False", no, 0, no, 0, false},
        {Value::of(42), "42", 42, 42, 42, 42, true},
        {Value::of(0), "0", 0, 0, 0, 0, false},
        {Value::of(-3.0), "-3", -3, -3, -3, -3, true},
        {Value::of(0.5), "0.5", 0.5, 0.5, no, no, true},
        {Value::of(1e300), "1E+300", 1e300, 1e300, no, no, true},
        {Value::of(" 17 "), " 17 ", 17, 17, 17, 17, true},
        {Value::of("-0"), "-0", 0, 0, 0, 0, false},
        {Value::of("4.0"), "4.0", 4, 4, no, no, true},
        {Value::of("+4"), "+4", 4, 4, no, no, true},
        {Value::of("1e3"), "1e3", 1000, 1000, no, no, true},
        {Value::of("1"), "1", 1, 1, 1, 1, true},
        {Value::of("12345678901234567890"), "12345678901234567890", 12345678901234567890.0, 12345678901234567890.0, no, no, true},
        {Value::of("inf"), "inf", no, 0, no, no, false},
        {Value::of("0x10"), "0x10", no, 0, no, no, false},
        {Value::of(" tRUE "), " tRUE ", no, 0, no, no, true},
        {Value::of("False"), "False", no, 0, no, no, false},
        {Value::of("yes"), "yes", no, 0, no, no, false},
        {Value::of(""), "", no, 0, no, no, false},
        {Value::of("\t5"), "\t5", no, 0, no, no, false},  // only blanks are trimmed
        {Value::ofList({Value::of(7), Value::of(8)}), "7", no, 7, 7, 7, true},
        {Value::ofList({Value::of(true)}), "True", no, -1, no, -1, true},
        {Value::ofList({}), "", no, 0, no, no, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("value '" + plainText(c.value) + "' of kind " + std::to_string(static_cast<int>(c.value.kind)));
        EXPECT_EQ(plainText(c.value), c.plain);
        EXPECT_EQ(decimalNumberOf(c.value), c.decimal);
        EXPECT_EQ(numberOf(c.value), c.number);
        EXPECT_EQ(codeOf(c.value), c.code);
        EXPECT_EQ(codeOrBooleanOf(c.value), c.codeOrBoolean);
        EXPECT_EQ(booleanOf(c.value), c.boolean);
    }
}

TEST(Values, LocaleNumbersCodeTablesAndListElements) {
    qv::Locale de;
    de.groupSeparator = ".";
    de.decimalPoint = ",";
    EXPECT_EQ(localeNumberOf(de, Value::of("1.536,5")), 1536.5);
    EXPECT_EQ(localeNumberOf(de, Value::of("1,536.5")), std::nullopt);
    EXPECT_EQ(localeNumberOf(de, Value::of(true)), -1.0);
    EXPECT_EQ(localeNumberOf(de, Value::null()), std::nullopt);

    const CodeText table[] = {{0, "zero"}, {2, "two"}, {2, "second two"}};
    EXPECT_STREQ(findCode(table, 2)->text, "two");
    EXPECT_STREQ(findCode(table, 0)->text, "zero");
    EXPECT_EQ(findCode(table, 1), nullptr);
    EXPECT_EQ(findCode(table, std::nullopt), nullptr);

    EXPECT_EQ(firstElement(Value::ofList({})).kind, Value::Kind::Null);
    EXPECT_EQ(firstElement(Value::of(3)).integer, 3);
    EXPECT_EQ(entriesOf(Value::of("a"))->size(), 1u);
    EXPECT_EQ(entriesOf(Value::ofList({Value::of(1), Value::of(2)}))->size(), 2u);
    EXPECT_EQ(entriesOf(Value::null()), std::nullopt);
    EXPECT_EQ(entriesOf(Value::unreadable()), std::nullopt);
}

namespace {
struct RecordedOutput : qv::TargetOutput {
    std::vector<qv::OutputItem> items;
    void put(qv::OutputItem item) override { items.push_back(std::move(item)); }
};
}  // namespace

// A step that throws ends there; what it threw is traced, and the steps after it still run.
TEST(Values, GuardedStepsTraceWhatTheyCaught) {
    const std::string dir = qvtest::makeTempDir();
    qvtest::writeFile(dir + "/fixture.json", qvtest::standardFixture());
    std::string error;
    auto fixture = qv::fixture::FixturePlatform::load(dir + "/fixture.json", error);
    ASSERT_TRUE(fixture) << error;
    qv::Platform platform = fixture->platform();
    qv::RunContext run(platform, fixture->connector(), fixture->limits());
    RecordedOutput out;
    qv::TargetContext ctx(run, "PC1", out);
    int after = 0;
    guarded(ctx, [] { throw std::runtime_error("row refused"); });
    guarded(ctx, [] { throw 7; });
    guarded(ctx, [&] { ++after; });
    ASSERT_EQ(out.items.size(), 2u);
    EXPECT_EQ(out.items[0].kind, qv::OutputItem::Kind::Trace);
    EXPECT_EQ(out.items[0].text, std::string(kCaughtTracePrefix) + "row refused");
    EXPECT_EQ(out.items[1].text, std::string(kCaughtTracePrefix) + "an exception of unknown type");
    EXPECT_EQ(after, 1);
}
