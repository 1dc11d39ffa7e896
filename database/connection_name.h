// The database server's connection as the console and log show it: every password masked.
#pragma once

#include <string>
#include <vector>

namespace qv::database {

// A libpq connection string ("host=db password=x dbname=qv") or URI
// ("postgresql://user:x@db/qv?password=x") with each password replaced by "*****"; the rest
// stays as written.
std::string maskedConnection(const std::string& connection);

// The passwords the connection holds, as written (empty ones left out).
std::vector<std::string> passwordsOf(const std::string& connection);

// `text` with every password of `connection` in it replaced by "*****": a reason that quotes
// part of the connection never shows one.
std::string withoutPasswords(const std::string& text, const std::string& connection);

}  // namespace qv::database
