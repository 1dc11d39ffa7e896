// Locale formatting and parsing of date-times and grouped numbers.
#include "platform/locale.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qv {

namespace {

// Writes `t` by a date or time picture: d dd M MM y yy yyyy h hh H HH m mm s ss t tt, text in
// single quotes literal. False for elements written as names or eras (ddd, MMM, g), which
// general dates do not use.
bool formatPicture(const Locale& locale, const std::string& picture, const DateTime& t, std::string& out) {
    out.clear();
    char number[16];
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        if (c == '\'') {
            std::size_t close = picture.find('\'', i + 1);
            if (close == std::string::npos) close = picture.size();
            out += close == i + 1 ? std::string("'") : picture.substr(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        std::size_t run = picture.find_first_not_of(c, i);
        const std::size_t n = (run == std::string::npos ? picture.size() : run) - i;
        i += n;
        int value = 0;
        switch (c) {
            case 'd': value = t.day; break;
            case 'M': value = t.month; break;
            case 'y': value = n <= 2 ? t.year % 100 : t.year; break;
            case 'h': value = t.hour % 12 == 0 ? 12 : t.hour % 12; break;
            case 'H': value = t.hour; break;
            case 'm': value = t.minute; break;
            case 's': value = t.second; break;
            case 't': {
                const std::string& designator = t.hour < 12 ? locale.amDesignator : locale.pmDesignator;
                out += n == 1 ? designator.substr(0, 1) : designator;
                continue;
            }
            case 'g': return false;
            default: out.append(n, c); continue;
        }
        if ((c == 'd' || c == 'M') && n > 2) return false;
        std::snprintf(number, sizeof number, c == 'y' && n > 2 ? "%04d" : n >= 2 ? "%02d" : "%d", value);
        out += number;
    }
    return true;
}

}  // namespace

std::string formatGeneralDate(const Locale& locale, const DateTime& t) {
    std::string datePart, timePart;
    if (!locale.shortDatePicture.empty() && !locale.longTimePicture.empty() &&
        formatPicture(locale, locale.shortDatePicture, t, datePart) &&
        formatPicture(locale, locale.longTimePicture, t, timePart))
        return datePart + " " + timePart;
    char date[64];
    const char* sep = locale.dateSeparator.c_str();
    switch (locale.dateOrder) {
        case 'D': std::snprintf(date, sizeof date, "%d%s%d%s%04d", t.day, sep, t.month, sep, t.year); break;
        case 'Y': std::snprintf(date, sizeof date, "%04d%s%02d%s%02d", t.year, sep, t.month, sep, t.day); break;
        default: std::snprintf(date, sizeof date, "%d%s%d%s%04d", t.month, sep, t.day, sep, t.year); break;
    }
    char time[32];
    if (locale.twelveHour) {
        int h = t.hour % 12;
        if (h == 0) h = 12;
        std::snprintf(time, sizeof time, "%d:%02d:%02d %s", h, t.minute, t.second, t.hour < 12 ? "AM" : "PM");
    } else {
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    }
    return std::string(date) + " " + time;
}

std::string formatGrouped(const Locale& locale, double value, int decimals) {
    if (!std::isfinite(value)) value = 0.0;
    decimals = std::clamp(decimals, 0, 20);
    // The exact decimal expansion of the double (it has at most 1074 fraction digits): the first
    // digit after those kept alone says whether the rest is half a unit or more. printf-style
    // rounding would take exact halves such as 0.125 to the even neighbour instead.
    char expansion[1400];
    const auto written = std::to_chars(expansion, expansion + sizeof expansion, std::fabs(value),
                                       std::chars_format::fixed, 1074);
    const std::string exact(expansion, written.ptr);
    const std::size_t dot = exact.find('.');
    std::string kept = exact.substr(0, dot) + exact.substr(dot + 1, static_cast<std::size_t>(decimals));
    if (exact[dot + 1 + static_cast<std::size_t>(decimals)] >= '5') {
        std::size_t i = kept.size();
        while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
        if (i == 0) kept.insert(kept.begin(), '1');
        else ++kept[i - 1];
    }
    const std::size_t wholeDigits = kept.size() - static_cast<std::size_t>(decimals);
    std::string out;
    for (std::size_t i = 0; i < wholeDigits; ++i) {
        if (i > 0 && (wholeDigits - i) % 3 == 0) out += locale.groupSeparator;
        out += kept[i];
    }
    if (decimals > 0) out += locale.decimalPoint + kept.substr(wholeDigits);
    const bool zero = kept.find_first_not_of('0') == std::string::npos;
    return value < 0 && !zero ? "-" + out : out;
}

bool parseLocaleNumber(const Locale& locale, const std::string& text, double& value) {
    std::string s;
    std::size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
    if (b == std::string::npos) return false;
    std::string t = text.substr(b, e - b + 1);
    bool seenDecimal = false;
    for (std::size_t i = 0; i < t.size();) {
        if (!locale.groupSeparator.empty() && !seenDecimal && t.compare(i, locale.groupSeparator.size(), locale.groupSeparator) == 0) {
            // A group separator must stand between digits.
            std::size_t after = i + locale.groupSeparator.size();
            if (i == 0 || !std::isdigit(static_cast<unsigned char>(t[i - 1])) || after >= t.size() ||
                !std::isdigit(static_cast<unsigned char>(t[after])))
                return false;
            i += locale.groupSeparator.size();
            continue;
        }
        if (t.compare(i, locale.decimalPoint.size(), locale.decimalPoint) == 0) {
            if (seenDecimal) return false;
            seenDecimal = true;
            s += '.';
            i += locale.decimalPoint.size();
            continue;
        }
        char c = t[i];
        if (std::isdigit(static_cast<unsigned char>(c)) || ((c == '-' || c == '+') && s.empty()) ||
            c == 'E' || c == 'e' || ((c == '-' || c == '+') && !s.empty() && (s.back() == 'E' || s.back() == 'e'))) {
            s += c;
            ++i;
            continue;
        }
        return false;
    }
    if (s.empty()) return false;
    char* end = nullptr;
    double d = std::strtod(s.c_str(), &end);
    if (end == nullptr || *end != '\0' || !std::isfinite(d)) return false;
    value = d;
    return true;
}

namespace {
bool validDate(const DateTime& t) {
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.year < 100 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1) return false;
    bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    int max = t.month == 2 ? (leap ? 29 : 28) : days[t.month - 1];
    return t.day <= max && t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60;
}
}  // namespace

bool parseLocaleDate(const Locale& locale, const std::string& text, DateTime& value) {
    DateTime t;
    int consumed = 0;
    t.hour = t.minute = t.second = 0;
    const char* s = text.c_str();
    if (std::sscanf(s, "%4d-%2d-%2d%n", &t.year, &t.month, &t.day, &consumed) == 3) {
        s += consumed;
        if (*s == 'T' || *s == ' ') {
            ++s;
            if (std::sscanf(s, "%2d:%2d:%2d%n", &t.hour, &t.minute, &t.second, &consumed) != 3) return false;
            s += consumed;
        }
        if (*s != '\0' || !validDate(t)) return false;
        value = t;
        return true;
    }
    int a = 0, b = 0, c = 0;
    char sep1 = 0, sep2 = 0;
    if (std::sscanf(s, "%d%c%d%c%d%n", &a, &sep1, &b, &sep2, &c, &consumed) != 5) return false;
    if (std::string(1, sep1) != locale.dateSeparator || sep2 != sep1) return false;
    switch (locale.dateOrder) {
        case 'D': t.day = a; t.month = b; t.year = c; break;
        case 'Y': t.year = a; t.month = b; t.day = c; break;
        default: t.month = a; t.day = b; t.year = c; break;
    }
    s += consumed;
    if (*s == ' ') {
        ++s;
        if (std::sscanf(s, "%d:%d:%d%n", &t.hour, &t.minute, &t.second, &consumed) != 3) return false;
        s += consumed;
        std::string rest = s;
        const bool am = rest == " AM" || (!locale.amDesignator.empty() && rest == " " + locale.amDesignator);
        const bool pm = rest == " PM" || (!locale.pmDesignator.empty() && rest == " " + locale.pmDesignator);
        if (am || pm) {
            if (t.hour < 1 || t.hour > 12) return false;
            if (am && t.hour == 12) t.hour = 0;
            if (pm && t.hour != 12) t.hour += 12;
        } else if (!rest.empty()) {
            return false;
        }
    } else if (*s != '\0') {
        return false;
    }
    if (!validDate(t)) return false;
    value = t;
    return true;
}

}  // namespace qv
