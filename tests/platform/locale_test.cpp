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

// Pictures as Windows gives them: leading zeros, designators and literals where the picture says.
TEST(Locale, GeneralDateByThePlatformsPictures) {
    const DateTime evening{2026, 12, 8, 21, 5, 3}, morning{2026, 3, 4, 0, 7, 9};
    Locale us;
    us.shortDatePicture = "M/d/yyyy";
    us.longTimePicture = "h:mm:ss tt";
    EXPECT_EQ(qv::formatGeneralDate(us, evening), "12/8/2026 9:05:03 PM");
    EXPECT_EQ(qv::formatGeneralDate(us, morning), "3/4/2026 12:07:09 AM");
    Locale gb;
    gb.shortDatePicture = "dd/MM/yyyy";
    gb.longTimePicture = "HH:mm:ss";
    EXPECT_EQ(qv::formatGeneralDate(gb, morning), "04/03/2026 00:07:09");
    Locale jp;
    jp.shortDatePicture = "yyyy/M/d";
    jp.longTimePicture = "H:mm:ss";
    EXPECT_EQ(qv::formatGeneralDate(jp, morning), "2026/3/4 0:07:09");
    Locale other;
    other.shortDatePicture = "yy-MM-dd 'r.'";
    other.longTimePicture = "hh'h'mm t";
    other.amDesignator = "am";
    other.pmDesignator = "pm";
    EXPECT_EQ(qv::formatGeneralDate(other, evening), "26-12-08 r. 09h05 p");
    // Names and eras are not general-date elements: the order-based form stands in.
    Locale named;
    named.shortDatePicture = "d MMM yyyy";
    named.longTimePicture = "HH:mm:ss";
    EXPECT_EQ(qv::formatGeneralDate(named, evening), "12/8/2026 9:05:03 PM");

    DateTime t;
    Locale dotted;
    dotted.amDesignator = "a.m.";
    dotted.pmDesignator = "p.m.";
    EXPECT_TRUE(qv::parseLocaleDate(dotted, "12/8/2026 9:05:03 p.m.", t));
    EXPECT_EQ(t, evening);
    EXPECT_FALSE(qv::parseLocaleDate(dotted, "12/8/2026 9:05:03 x.m.", t));
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
