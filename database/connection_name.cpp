// Masking the passwords of a connection string or URI before it is shown anywhere.
#include "database/connection_name.h"

#include <cctype>

namespace qv::database {

namespace {

constexpr const char* kMask = "*****";

// A span of the connection text that holds a password.
struct Span {
    std::size_t at, length;
};

bool isUri(const std::string& c) { return c.rfind("postgresql://", 0) == 0 || c.rfind("postgres://", 0) == 0; }

// The password spans of a URI: the one after "user:" in front of the first '@' before the path,
// and the value of each "password=" query parameter.
std::vector<Span> uriPasswords(const std::string& c) {
    std::vector<Span> spans;
    const std::size_t start = c.find("://") + 3;
    std::size_t end = start;
    while (end < c.size() && c[end] != '@' && c[end] != '/' && c[end] != '?') ++end;
    if (end < c.size() && c[end] == '@') {
        std::size_t colon = c.find(':', start);
        if (colon != std::string::npos && colon < end) spans.push_back({colon + 1, end - colon - 1});
    }
    std::size_t query = c.find('?', start);
    while (query != std::string::npos && query < c.size()) {
        std::size_t from = query + 1;
        std::size_t next = c.find('&', from);
        std::size_t stop = next == std::string::npos ? c.size() : next;
        std::size_t eq = c.find('=', from);
        if (eq != std::string::npos && eq < stop && c.compare(from, eq - from, "password") == 0)
            spans.push_back({eq + 1, stop - eq - 1});
        query = next;
    }
    return spans;
}

// The password spans of "keyword = value" pairs (values bare or in single quotes, with
// backslash escapes), as libpq reads them.
std::vector<Span> keywordPasswords(const std::string& c) {
    std::vector<Span> spans;
    std::size_t i = 0;
    auto blank = [&](std::size_t k) { return k < c.size() && std::isspace(static_cast<unsigned char>(c[k])); };
    while (i < c.size()) {
        while (blank(i)) ++i;
        std::size_t keyStart = i;
        while (i < c.size() && c[i] != '=' && !blank(i)) ++i;
        const std::string key = c.substr(keyStart, i - keyStart);
        while (blank(i)) ++i;
        if (i >= c.size() || c[i] != '=') break;  // not a connection string libpq takes
        ++i;
        while (blank(i)) ++i;
        std::size_t valueStart = i;
        if (i < c.size() && c[i] == '\'') {
            ++i;
            while (i < c.size() && c[i] != '\'') i += c[i] == '\\' ? 2 : 1;
            if (i < c.size()) ++i;
            if (i > c.size()) i = c.size();
        } else {
            while (i < c.size() && !blank(i)) i += c[i] == '\\' ? 2 : 1;
            if (i > c.size()) i = c.size();
        }
        if (key == "password") spans.push_back({valueStart, i - valueStart});
    }
    return spans;
}

std::vector<Span> passwordSpans(const std::string& c) { return isUri(c) ? uriPasswords(c) : keywordPasswords(c); }

}  // namespace

std::string maskedConnection(const std::string& connection) {
    std::string shown;
    std::size_t from = 0;
    for (const Span& s : passwordSpans(connection)) {
        shown += connection.substr(from, s.at - from) + kMask;
        from = s.at + s.length;
    }
    return shown + connection.substr(from);
}

std::vector<std::string> passwordsOf(const std::string& connection) {
    std::vector<std::string> passwords;
    for (const Span& s : passwordSpans(connection)) {
        std::string p = connection.substr(s.at, s.length);
        if (p.size() >= 2 && p.front() == '\'' && p.back() == '\'') p = p.substr(1, p.size() - 2);
        if (!p.empty()) passwords.push_back(p);
    }
    return passwords;
}

std::string withoutPasswords(const std::string& text, const std::string& connection) {
    std::string clean = text;
    for (const std::string& p : passwordsOf(connection)) {
        for (std::size_t at = clean.find(p); at != std::string::npos; at = clean.find(p, at + 5))
            clean.replace(at, p.size(), kMask);
    }
    return clean;
}

}  // namespace qv::database
