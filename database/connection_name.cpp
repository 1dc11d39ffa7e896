// The shown name of a database connection, made from libpq's parse of it so that no form of password slips through.
#include "database/connection_name.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>

#ifndef _WIN32
#include <libpq-fe.h>
#endif

namespace qv::database {

namespace {

constexpr const char* kMask = "*****";

// One option of a connection as libpq read it.
struct Option {
    std::string key, value;
    bool secret = false;
    // The value holds another option ("host= password=pw" gives host "password=pw", and
    // "sslkey=a\\ password=pw" sslkey "a password=pw"): libpq read the next option into it.
    bool takesNext = false;
};

// Whether `connection` is a URI libpq would not read as it was meant, reading part of a password
// into what is shown: libpq takes the user name and password to end at the first '@' before any
// '/', so that the rest of one holding an '@' or '/' not written %40 or %2F is read as the host,
// port or database, and a query before an '@' ("postgresql://db?password=p@ss") as the user
// name; and it reads a blank into the host ("postgresql://db password=pw").
bool uriAmiss(const std::string& connection) {
    std::size_t at = 0;
    for (const char* scheme : {"postgresql://", "postgres://"})
        if (connection.rfind(scheme, 0) == 0) at = std::strlen(scheme);
    if (at == 0) return false;
    if (std::any_of(connection.begin(), connection.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); }))
        return true;
    const std::size_t first = connection.find('@', at);
    const bool credentials = first != std::string::npos && first < connection.find('/', at);
    if (std::count(connection.begin() + static_cast<std::ptrdiff_t>(at), connection.end(), '@') > (credentials ? 1 : 0))
        return true;
    const std::string user = credentials ? connection.substr(at, first - at) : std::string();
    return user.substr(0, user.find(':')).find('?') != std::string::npos;
}

constexpr const char* kUriAmiss =
    "its URI is not written as libpq reads it: an @, / or ? in a user name or password, and a blank anywhere, is "
    "written %40, %2F, %3F or %20";

constexpr const char* kTakesNext =
    "a value in its connection string takes in the option after it (a value left empty, or a blank escaped with a "
    "backslash), which libpq reads as part of that value: an empty value is written '' and a value with blanks is "
    "quoted";

#ifndef _WIN32
// Whether libpq read another option into `value`: "KEY=" at its start (the value was left empty)
// or after a blank (a blank escaped with a backslash joined the next option to it).
bool holdsOption(const std::string& value, const char* keyword) {
    const std::string written = std::string(keyword) + "=";
    for (std::size_t at = value.find(written); at != std::string::npos; at = value.find(written, at + 1))
        if (at == 0 || std::isspace(static_cast<unsigned char>(value[at - 1]))) return true;
    return false;
}
#endif

// libpq's reading of the connection: the options it sets, or nullopt with libpq's reason.
std::optional<std::vector<Option>> parsed(const std::string& connection, std::string& why) {
#ifdef _WIN32
    // The Windows program has no database server engine, so it never names a connection.
    (void)connection;
    why = "no database server engine in this program";
    return std::nullopt;
#else
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(connection.c_str(), &message);
    if (!options) {
        why = message ? message : "out of memory";
        PQfreemem(message);
        while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
        return std::nullopt;
    }
    std::vector<Option> out;
    for (const PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val) continue;
        out.push_back({o->keyword, o->val, o->dispchar && std::strchr(o->dispchar, '*') != nullptr});
        for (const PQconninfoOption* k = options; k->keyword && !out.back().takesNext; ++k)
            out.back().takesNext = holdsOption(out.back().value, k->keyword);
    }
    PQconninfoFree(options);
    return out;
#endif
}

bool takesNext(const std::vector<Option>& options) {
    return std::any_of(options.begin(), options.end(), [](const Option& o) { return o.takesNext; });
}

// A value as a connection string writes it: bare when it can be, else in single quotes with
// backslash escapes, so that the shown name is itself a connection string libpq reads alike.
std::string quotedValue(const std::string& v) {
    const bool bare = !v.empty() && std::none_of(v.begin(), v.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == '\'' || c == '\\';
    });
    if (bare) return v;
    std::string out = "'";
    for (char c : v) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

// Where an option is shown: where the server is and who logs in first, the rest in libpq's order.
int rank(const std::string& key) {
    static const char* const first[] = {"host", "hostaddr", "port", "dbname", "user", "password"};
    for (int i = 0; i < 6; ++i)
        if (key == first[i]) return i;
    return 6;
}

// `text` with every span in double quotes replaced: libpq's reasons quote the part of the
// connection they stumbled on, which may be a password.
std::string withoutQuoted(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '"') {
            out += text[i];
            continue;
        }
        const std::size_t end = text.find('"', i + 1);
        if (end == std::string::npos) {
            out += "\"...";
            break;
        }
        out += "\"...\"";
        i = end;
    }
    return out;
}

// libpq's reason for a string it cannot read, up to where it quotes the string: a quote inside
// the string itself ends libpq's quoting early, and what follows may be a password decoded.
std::string beforeQuote(const std::string& why) {
    const std::size_t quote = why.find('"');
    return quote == std::string::npos ? why : why.substr(0, quote) + "\"...\"";
}

// The words of a connection text, split where a connection string or URI separates its parts.
std::vector<std::string> wordsOf(const std::string& connection) {
    std::vector<std::string> words;
    std::string word;
    for (char c : connection + " ") {
        if (std::strchr(" \t\r\n=:@/?&,'\"", c)) {
            if (word.size() >= 2) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

// Each secret in turn replaced by the mask, left to right. The text is built anew for each
// secret rather than replaced in place, so a text with many occurrences of many words (a long
// connection string is split into hundreds) takes linear time per secret, not quadratic.
std::string masked(std::string text, std::vector<std::string> secrets) {
    // Longest first, so that one holding another goes whole; each once (the words of a long
    // string repeat).
    std::sort(secrets.begin(), secrets.end(),
              [](const std::string& a, const std::string& b) { return a.size() != b.size() ? a.size() > b.size() : a < b; });
    secrets.erase(std::unique(secrets.begin(), secrets.end()), secrets.end());
    for (const std::string& p : secrets) {
        if (p.empty()) continue;
        std::size_t at = text.find(p);
        if (at == std::string::npos) continue;
        std::string out;
        std::size_t from = 0;
        for (; at != std::string::npos; at = text.find(p, from)) {
            out.append(text, from, at - from);
            out += kMask;
            from = at + p.size();
        }
        out.append(text, from, std::string::npos);
        text = std::move(out);
    }
    return text;
}

}  // namespace

std::string maskedConnection(const std::string& connection) {
    std::string why;
    std::optional<std::vector<Option>> options = parsed(connection, why);
    if (options && uriAmiss(connection)) return std::string("the server QV_DATABASE names (") + kUriAmiss + ")";
    if (options && takesNext(*options)) return std::string("the server QV_DATABASE names (") + kTakesNext + ")";
    if (!options)
        return "the server QV_DATABASE names (libpq cannot read its connection string: " +
               masked(beforeQuote(why), wordsOf(connection)) + ")";
    std::stable_sort(options->begin(), options->end(),
                     [](const Option& a, const Option& b) { return rank(a.key) < rank(b.key); });
    std::string shown;
    for (const Option& o : *options)
        shown += (shown.empty() ? "" : " ") + o.key + "=" + (o.secret ? kMask : quotedValue(o.value));
    return shown.empty() ? "the server libpq's defaults name" : shown;
}

std::vector<std::string> passwordsOf(const std::string& connection) {
    std::string why;
    std::vector<std::string> secrets;
    if (std::optional<std::vector<Option>> options = parsed(connection, why))
        for (const Option& o : *options)
            if (o.secret && !o.value.empty()) secrets.push_back(o.value);
    return secrets;
}

std::string withoutPasswords(const std::string& text, const std::string& connection) {
    std::string why;
    const std::optional<std::vector<Option>> options = parsed(connection, why);
    if (!options) return masked(withoutQuoted(text), wordsOf(connection));
    // The connection quoted whole (its secrets as written: quoted, percent-encoded) is shown by
    // its name; each secret as libpq read it, longest first so that one holding another goes whole.
    std::string clean = text;
    if (!connection.empty())
        for (std::size_t at = clean.find(connection); at != std::string::npos; at = clean.find(connection, at + 1)) {
            const std::string shown = maskedConnection(connection);
            clean.replace(at, connection.size(), shown);
            at += shown.size() - 1;
        }
    std::vector<std::string> secrets = passwordsOf(connection);
    // A URI libpq reads otherwise than written may hold part of a password in any value libpq
    // read, in any word of it and in what libpq quotes: those go too.
    if (uriAmiss(connection) || takesNext(*options)) {
        clean = withoutQuoted(clean);
        for (const Option& o : *options)
            if (o.value.size() >= 2) secrets.push_back(o.value);
        for (std::string& word : wordsOf(connection)) secrets.push_back(std::move(word));
    }
    std::sort(secrets.begin(), secrets.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return masked(clean, secrets);
}

}  // namespace qv::database
