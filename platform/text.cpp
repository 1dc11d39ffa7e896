// Text helpers shared by every layer.
#include "platform/text.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace qv::text {

namespace {

char asciiUpperOf(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char asciiLowerOf(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The capital of a code point in U+0000..U+017F, or the code point itself.
char32_t latinCapital(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;  // à..þ, not the division sign
    if (c == 0xFF) return 0x178;                              // ÿ -> Ÿ
    if (c == 0x131) return U'I';                              // dotless ı
    if (c == 0x17F) return U'S';                              // long ſ
    // Latin Extended-A pairs a capital with the small letter after it; the pairing shifts by one
    // at ĸ (U+0138) and ŉ (U+0149), which have no capital, and again at Ÿ (U+0178).
    const bool evenCapitals = (c >= 0x100 && c <= 0x137 && c != 0x130) || (c >= 0x14A && c <= 0x177);
    const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if ((evenCapitals && c % 2 == 1) || (oddCapitals && c % 2 == 0)) return c - 1;
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {  // every capital here is below U+0800
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string asciiUpper(std::string s) {
    for (char& c : s) c = asciiUpperOf(c);
    return s;
}

std::string asciiLower(std::string s) {
    for (char& c : s) c = asciiLowerOf(c);
    return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiUpperOf(a[i]) != asciiUpperOf(b[i])) return false;
    return true;
}

std::string upperLatin(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += asciiUpperOf(utf8[i]);
            continue;
        }
        // Two-byte sequences cover U+0080..U+07FF, which holds every letter mapped here.
        if ((lead & 0xE0) == 0xC0 && lead >= 0xC2 && i + 1 < utf8.size() &&
            (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            const char32_t c = static_cast<char32_t>(((lead & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
            appendUtf8(out, latinCapital(c));
            ++i;
            continue;
        }
        out += utf8[i];
    }
    return out;
}

std::string shownSafely(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F || c1) {
            shown += '?';
            if (c1) ++i;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

std::string trimBlanks(const std::string& s) {
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    std::size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

std::size_t characterCount(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string firstCharacters(const std::string& s, std::size_t n) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (count == n) return s.substr(0, i);
            ++count;
        }
    }
    return s;
}

std::string plainNumber(double d) {
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
    if (d == std::floor(d) && std::fabs(d) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", d);
        return std::string(buf) == "-0" ? "0" : buf;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    std::string s = buf;
    // Exponent written without leading zeros: 1E+020 style is not used; keep "1E+20".
    std::size_t e = s.find('E');
    if (e != std::string::npos) {
        std::string mant = s.substr(0, e), exp = s.substr(e + 1);
        if (mant.find('.') != std::string::npos) {
            while (!mant.empty() && mant.back() == '0') mant.pop_back();
            if (!mant.empty() && mant.back() == '.') mant.pop_back();
        }
        char sign = exp[0];
        std::string digits = exp.substr(1);
        while (digits.size() > 1 && digits[0] == '0') digits.erase(0, 1);
        return mant + "E" + sign + digits;
    }
    return s;
}

std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto nl = text.find('\n', start);
        if (nl == std::string_view::npos) nl = text.size();
        std::string_view line = text.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        start = nl + 1;
    }
    return lines;
}

std::vector<std::string> splitWords(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        std::size_t b = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
        if (i > b) words.emplace_back(text.substr(b, i - b));
    }
    return words;
}

std::string unquote(std::string s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        return s.substr(1, s.size() - 2);
    return s;
}

std::optional<std::uint64_t> parseUnsigned(std::string_view s, int base) {
    std::string t = trim(s);
    if (base == 16 && (startsWith(t, "0x") || startsWith(t, "0X"))) t = t.substr(2);
    if (t.empty()) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : t) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return std::nullopt;
        if (v > (UINT64_MAX - static_cast<unsigned>(d)) / static_cast<unsigned>(base)) return std::nullopt;
        v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    }
    return v;
}

}  // namespace qv::text
