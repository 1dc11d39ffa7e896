// The limits on calls that wait for another computer or for the database, shared by every subsystem.
#pragma once

namespace qv {

// The program's limits on calls that wait for another computer, in milliseconds. A call that
// reaches its limit fails as a call that cannot be answered.
struct Limits {
    // A computer that does not accept a connection to its management port within 2 s is off or
    // cut off; one on a slow link still answers a TCP handshake well inside it.
    int probeMs = 2000;
    // Once the port answered, binding normally takes well under a second; 30 s leaves room for
    // slow authentication and stays under the management service's own 2-minute maximum.
    int connectMs = 30000;
    // The whole of one query, count or registry-provider call: the largest classes take a few
    // seconds on a busy computer; a provider that has given nothing for a minute has hung.
    int queryMs = 60000;
    // How long a row, a commit or the check of an existing database waits for a database that
    // another program holds: long enough for another run's commit or a report's read to end.
    int databaseMs = 30000;
};

}  // namespace qv
