// Locale rules for date-time texts and grouped numbers, as plain data and free functions.
#pragma once

#include <string>

#include "platform/values.h"

namespace qv {

struct Locale {
    std::string groupSeparator = ",";
    std::string decimalPoint = ".";
    // Short date order: 'M' month/day/year (en-US), 'D' day/month/year, 'Y' year-month-day.
    char dateOrder = 'M';
    std::string dateSeparator = "/";
    bool twelveHour = true;  // "h:mm:ss AM" against "HH:mm:ss"
    std::string amDesignator = "AM", pmDesignator = "PM";
    // The platform's own short-date and long-time pictures ("dd/MM/yyyy", "h:mm:ss tt"), when it
    // has them: they also say which fields carry leading zeros. Empty: the forms above.
    std::string shortDatePicture, longTimePicture;
};

// Short date and long time: "12/8/2026 9:30:05 AM" in en-US.
std::string formatGeneralDate(const Locale& locale, const DateTime& t);
// Rounded to `decimals` places (0 to 20), halves away from zero, the whole part grouped in threes:
// 1073741824 -> "1,073,741,824", 0.5 -> "1"; 1536 with 1 -> "1,536.0", 0.125 with 2 -> "0.13".
std::string formatGrouped(const Locale& locale, double value, int decimals = 0);
// Reads a number written with the locale's grouping and decimal point; false when it is not one.
bool parseLocaleNumber(const Locale& locale, const std::string& text, double& value);
// Reads a date-time in the general date format of the locale, or ISO "yyyy-mm-dd[ hh:mm:ss]".
bool parseLocaleDate(const Locale& locale, const std::string& text, DateTime& value);

}  // namespace qv
