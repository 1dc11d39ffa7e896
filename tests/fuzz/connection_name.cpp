// Fuzz harness: PostgreSQL connection strings and URIs as they are shown (maskedConnection) and
// reasons freed of their secrets (withoutPasswords). The input gives the text before and after a
// password or sslpassword, and the secret, which is written into the string as libpq reads it
// back exactly (quoted, or percent-encoded in a URI). The shown name must never hold the secret:
// whenever it is 4 characters or more, is not part of the rest of the string, and the same string
// with another secret of the same length in its place does not show it either (the secret is
// then part of the wording), finding it aborts.
#include <libpq-fe.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "database/connection_name.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

std::string quoted(const std::string& v) {
    std::string out = "'";
    for (char c : v) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

std::string percentEncoded(const std::string& v) {
    std::string out;
    for (unsigned char c : v) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        out += hex;
    }
    return out;
}

// The connection text with `secret` as the value of `key`, in one of three forms.
std::string connectionWith(int form, const char* key, const std::string& before, const std::string& secret,
                           const std::string& after) {
    switch (form) {
        case 0: return before + " " + key + "=" + quoted(secret) + " " + after;
        case 1: return "postgresql://" + before + ":" + percentEncoded(secret) + "@" + after;
        default: return "postgresql://" + before + "?" + key + "=" + percentEncoded(secret) + after;
    }
}

// The secret libpq reads out of `connection` for `key`, when it reads the text at all.
bool libpqReads(const std::string& connection, const char* key, const std::string& secret) {
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(connection.c_str(), &message);
    PQfreemem(message);
    if (!options) return false;
    bool same = false;
    for (const PQconninfoOption* o = options; o->keyword; ++o)
        if (std::string(o->keyword) == key && o->val) same = secret == o->val;
    PQconninfoFree(options);
    return same;
}

bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// What of a shown name comes from the string: the program's own texts for a string it will not
// show ("the server QV_DATABASE names (...)") hold none of it but libpq's reason, which follows
// "connection string: "; a secret that is part of that wording ("he s" in "the server") is no leak.
std::string withoutWording(const std::string& shown) {
    const std::string fixed = "the server QV_DATABASE names (";
    if (shown.rfind(fixed, 0) != 0) return shown;
    const std::string reason = "connection string: ";
    const std::size_t at = shown.find(reason);
    return at == std::string::npos ? std::string() : shown.substr(at + reason.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = qvfuzz::pieces(data, size, 4);
    if (parts.size() < 4) return 0;
    const int mode = parts[0].empty() ? 0 : static_cast<unsigned char>(parts[0][0]);
    const char* key = mode & 1 ? "sslpassword" : "password";
    const int form = (mode >> 1) % 3 == 1 && (mode & 1) ? 2 : (mode >> 1) % 3;  // a URI's user part holds a password only
    const std::string& before = parts[1];
    const std::string& after = parts[2];
    std::string secret;
    for (char c : parts[3])
        if (c != '\0') secret += c;
    // Another secret of the same length made of a character the secret lacks.
    char other = 'Q';
    while (secret.find(other) != std::string::npos) ++other;
    const std::string stand(secret.size(), other);

    const std::string connection = connectionWith(form, key, before, secret, after);
    const std::string reference = connectionWith(form, key, before, stand, after);
    const std::string shown = qv::database::maskedConnection(connection);
    const std::string shownReference = qv::database::maskedConnection(reference);
    const bool checked = secret.size() >= 4 && !holds(before + after, secret);
    if (checked && holds(withoutWording(shown), secret)) qvfuzz::require(holds(shownReference, secret));

    // A reason that quotes the connection and the secret shows neither secret nor connection.
    if (libpqReads(connection, key, secret)) {
        const std::string reason = "server said: " + secret + " rejected for \"" + connection + "\"";
        const std::string reasonReference = "server said: " + stand + " rejected for \"" + reference + "\"";
        const std::string clean = qv::database::withoutPasswords(reason, connection);
        if (checked && holds(clean, secret))
            qvfuzz::require(holds(qv::database::withoutPasswords(reasonReference, reference), secret));
        bool listed = false;
        for (const std::string& p : qv::database::passwordsOf(connection)) listed = listed || p == secret;
        qvfuzz::require(secret.empty() || listed);
    }
    return 0;
}
