// The database server's connection as the console, log, qvdb and the report show it: never with a password.
#pragma once

#include <string>
#include <vector>

namespace qv::database {

// The connection as it is shown, rebuilt from libpq's own reading of the connection string or
// URI ("postgresql://alice:pw@db/qv?sslmode=require" shows as
// "host=db dbname=qv user=alice password=***** sslmode=require"): every option the text sets, as
// key=value, the ones libpq calls secret (password, sslpassword) as "*****". A text libpq cannot
// read is never shown: the name then says so, with libpq's reason freed of anything it quotes.
// Nor is a URI libpq would read otherwise than written (an '@', '/' or '?' in a user name or
// password not percent-encoded, a blank anywhere): it would read part of a password as the
// host, port, database or user name; nor a string where libpq read the option after an empty
// value as that value ("host= password=pw").
std::string maskedConnection(const std::string& connection);

// The secrets the connection holds, as libpq reads them (empty ones left out).
std::vector<std::string> passwordsOf(const std::string& connection);

// `text` with every secret of `connection` in it replaced by "*****": a reason that quotes part
// of the connection never shows one. For a connection libpq cannot read, whatever `text` quotes
// and every word of the connection is replaced.
std::string withoutPasswords(const std::string& text, const std::string& connection);

}  // namespace qv::database
