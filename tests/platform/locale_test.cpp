// Locale forms: general date, grouped numbers, and parsing them back.
#include <gtest/gtest.h>

#include "platform/locale.h"

using qv::DateTime;
using qv::Locale;

TEST(Locale, GeneralDateForms) {
    Locale us;
    EXPECT_EQ(qv::formatGeneralDate(us, DateTime{2026, 12, 8, 9, 30, 5}), "12/8/2026 9:30:05 AM");
    EXPECT_EQ(qv::formatGeneralDate(us, DateTime{2026, 1, 31, 0, 0, 0}), "1/31/2026 12:00:00 AM");
    EXPECT_EQ(qv::formatGeneralDate(us, DateTime{2026, 1, 31, 12, 5, 9}), "1/31/2026 12:05:09 PM");
    EXPECT_EQ(qv::formatGeneralDate(us, DateTime{2026, 1, 31, 23, 59, 59}), "1/31/2026 11:59:59 PM");
    Locale de;
    de.dateOrder = 'D';
    de.dateSeparator = ".";
    de.twelveHour = false;
    EXPECT_EQ(qv::formatGeneralDate(de, DateTime{2026, 12, 8, 9, 30, 5}), "8.12.2026 09:30:05");
}

TEST(Locale, GroupedNumbers) {
    Locale us;
    EXPECT_EQ(qv::formatGrouped(us, 1073741824.0), "1,073,741,824");
    EXPECT_EQ(qv::formatGrouped(us, 1024.0), "1,024");
    EXPECT_EQ(qv::formatGrouped(us, 999.5), "1,000");
    EXPECT_EQ(qv::formatGrouped(us, 0.0), "0");
    EXPECT_EQ(qv::formatGrouped(us, -1234567.0), "-1,234,567");
}

TEST(Locale, ParsingNumbersAndDates) {
    Locale us;
    double d = 0;
    EXPECT_TRUE(qv::parseLocaleNumber(us, "1,073,741,824", d));
    EXPECT_EQ(d, 1073741824.0);
    EXPECT_TRUE(qv::parseLocaleNumber(us, "-12.5", d));
    EXPECT_EQ(d, -12.5);
    for (const char* bad : {"", "abc", "1,,2", ",1", "1,", "1.2.3", "12a"}) EXPECT_FALSE(qv::parseLocaleNumber(us, bad, d)) << bad;
    DateTime t;
    EXPECT_TRUE(qv::parseLocaleDate(us, "12/8/2026 9:30:05 AM", t));
    EXPECT_EQ(t, (DateTime{2026, 12, 8, 9, 30, 5}));
    EXPECT_TRUE(qv::parseLocaleDate(us, "2020-01-02 03:04:05", t));
    EXPECT_EQ(t, (DateTime{2020, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(qv::parseLocaleDate(us, "2/30/2026", t));
    EXPECT_FALSE(qv::parseLocaleDate(us, "yesterday", t));
}
