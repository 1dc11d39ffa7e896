// The report's HTML pieces.
#include "qvdb/report/html.h"
#include "platform/markup.h"

#include <cmath>
#include <cstdio>

namespace qv::qvdb::report {

std::string esc(const std::string& text) { return text::markupEscaped(text, text::Markup::Html); }

std::string pageStart(const std::string& title, const std::string& root) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
           esc(title) + " - Quorvex inventory</title>\n<link rel=\"stylesheet\" href=\"" + root +
           "qv.css\">\n<script src=\"" + root + "qv.js\" defer></script>\n"
           // Without the script a table shows every row as written.
           "<noscript><style>table.sortable > tbody { display: table-row-group; }</style></noscript>\n</head>\n<body data-root=\"" + root +
           "\">\n<nav><a href=\"" + root + "index.html\">Overview</a> <a href=\"" + root +
           "computers.html\">Computers</a> <a href=\"" + root + "software.html\">Software</a> <a href=\"" + root +
           "disks.html\">Logical disks</a> <a href=\"" + root + "changes.html\">Changes</a>\n<form class=\"search\" role=\"search\"><input type=\"search\" "
           "id=\"qv-search\" autocomplete=\"off\" placeholder=\"Search: name, address, MAC, serial, user, software\" "
           "aria-label=\"Search computers and software\"><div class=\"results\" id=\"qv-results\" "
           "aria-live=\"polite\"></div></form></nav>\n<main>\n<h1>" +
           esc(title) + "</h1>\n";
}

std::string pageEnd() { return "</main>\n</body>\n</html>\n"; }

std::string grouped(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

std::string numberText(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

std::string bytesText(double bytes) {
    const char* units[] = {"bytes", "KB", "MB", "GB", "TB", "PB"};
    int u = 0;
    while (std::fabs(bytes) >= 1024 && u < 5) bytes /= 1024, ++u;
    return numberText(bytes, u == 0 ? 0 : 1) + " " + units[u];
}

std::string shortened(const std::string& text, std::size_t max, bool* cut) {
    std::size_t chars = 0, i = 0;
    for (; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (chars == max) break;
        ++chars;
    }
    const bool isCut = i < text.size();
    if (cut) *cut = isCut;
    if (!isCut) return text;
    // Room for the ellipsis: drop the last character kept.
    std::size_t end = i;
    do --end;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80);
    return text.substr(0, end) + "\xE2\x80\xA6";
}

namespace {

std::size_t charCount(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

// The byte length of the first `chars` characters of `s`.
std::size_t bytesOfChars(const std::string& s, std::size_t chars) {
    std::size_t i = 0;
    for (std::size_t n = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;
        if (n++ == chars) break;
    }
    return i;
}

}  // namespace

std::vector<std::string> wrapped(const std::string& text, std::size_t width, std::size_t maxLines) {
    std::vector<std::string> lines;
    std::string line, rest = text;
    auto flush = [&] {
        if (!line.empty()) lines.push_back(line);
        line.clear();
    };
    std::size_t at = 0;
    while (at < rest.size()) {
        std::size_t end = rest.find(' ', at);
        if (end == std::string::npos) end = rest.size();
        std::string word = rest.substr(at, end - at);
        at = end + 1;
        if (word.empty()) continue;
        if (!line.empty() && charCount(line) + 1 + charCount(word) <= width) {
            line += " " + word;
            continue;
        }
        flush();
        while (charCount(word) > width) {
            const std::size_t cut = bytesOfChars(word, width);
            lines.push_back(word.substr(0, cut));
            word = word.substr(cut);
        }
        line = word;
    }
    flush();
    if (maxLines > 0 && lines.size() > maxLines) {
        std::string last;
        for (std::size_t i = maxLines - 1; i < lines.size(); ++i) last += (i > maxLines - 1 ? " " : "") + lines[i];
        lines.resize(maxLines);
        std::string cut = shortened(last, width);
        const std::string spaceEllipsis = " \xE2\x80\xA6";
        if (cut.size() > spaceEllipsis.size() && cut.ends_with(spaceEllipsis)) cut.erase(cut.size() - spaceEllipsis.size(), 1);
        lines.back() = cut;
    }
    return lines;
}

}  // namespace qv::qvdb::report
