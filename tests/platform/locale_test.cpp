// Locale forms: general date, grouped numbers, and parsing them back.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>

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
    Locale us, de;
    de.groupSeparator = ".";
    de.decimalPoint = ",";
    struct Case {
        const Locale& locale;
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {us, 1073741824.0, 0, "1,073,741,824"},
        {us, 1024.0, 0, "1,024"},
        {us, 0.0, 0, "0"},
        {us, -1234567.0, 0, "-1,234,567"},
        {us, 1536.0, 1, "1,536.0"},
        {de, 1536.0, 1, "1.536,0"},
        // Halves go away from zero at every number of decimals, exact binary halves included.
        {us, 0.5, 0, "1"},
        {us, 2.5, 0, "3"},
        {us, -2.5, 0, "-3"},
        {us, 999.5, 0, "1,000"},
        {us, 0.125, 2, "0.13"},
        {us, 1.25, 1, "1.3"},
        {us, -1.25, 1, "-1.3"},
        {us, 1342177280.0 / 1073741824.0, 1, "1.3"},
        {us, 1310720.0 / 1048576.0, 1, "1.3"},
        {us, 999.95, 1, "1,000.0"},  // 999.950000000000045...: above the half
        {us, 0.15, 1, "0.1"},        // 0.149999999999999994...: below it
        // Only the first dropped digit decides, not a rounding of it.
        {us, 0.0499999999, 1, "0.0"},
        {us, -0.01, 1, "0.0"},
        {us, 1.0 / 1048576.0, 3, "0.000"},
        {us, std::numeric_limits<double>::infinity(), 0, "0"},
        {us, 12.5, 25, "12.50000000000000000000"},  // at most 20 decimals
    };
    for (const Case& c : cases)
        EXPECT_EQ(qv::formatGrouped(c.locale, c.value, c.decimals), c.text) << c.value << " with " << c.decimals;
    // The largest numbers keep every digit: 309 digits and 102 separators.
    EXPECT_EQ(qv::formatGrouped(us, 1.7e308).size(), 309u + 102u);
}

// Sizes as the report shows them: bytes over a power of two, against whole-number arithmetic.
TEST(Locale, GroupedNumbersAgainstIntegerRounding) {
    const Locale us;
    std::mt19937_64 random(16);
    for (int i = 0; i < 20000; ++i) {
        const int shift = 10 * static_cast<int>(random() % 4);  // bytes, K, MB, GB
        const int decimals = static_cast<int>(random() % 4);
        // Bytes below 2^44 with the low bits often a half or a near-half of the last decimal.
        std::uint64_t bytes = random() >> 20;
        if (i % 2 == 0) bytes = (bytes >> shift << shift) | (std::uint64_t{1} << shift >> (1 + random() % 3));
        const bool negative = i % 5 == 0;
        // Reference: bytes * 10^decimals / 2^shift, the remainder of at least half rounding away from zero.
        unsigned __int128 scaled = bytes;
        for (int d = 0; d < decimals; ++d) scaled *= 10;
        const unsigned __int128 unit = static_cast<unsigned __int128>(1) << shift;
        unsigned __int128 rounded = scaled / unit + (2 * (scaled % unit) >= unit ? 1 : 0);
        std::string digits;
        do {
            digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(rounded % 10)));
            rounded /= 10;
        } while (rounded != 0);
        if (digits.size() <= static_cast<std::size_t>(decimals)) digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
        std::string whole = digits.substr(0, digits.size() - decimals), expected;
        for (std::size_t k = 0; k < whole.size(); ++k) {
            if (k > 0 && (whole.size() - k) % 3 == 0) expected += ',';
            expected += whole[k];
        }
        if (decimals > 0) expected += "." + digits.substr(whole.size());
        if (negative && digits.find_first_not_of('0') != std::string::npos) expected.insert(0, "-");
        const double value = static_cast<double>(bytes) / static_cast<double>(std::uint64_t{1} << shift);
        ASSERT_EQ(qv::formatGrouped(us, negative ? -value : value, decimals), expected)
            << bytes << " bytes >> " << shift << " with " << decimals;
    }
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
