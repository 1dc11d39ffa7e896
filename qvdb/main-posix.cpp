// qvdb: the companion program for the inventory data, on Linux.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "platform/posix/identity-posix.h"
#include "qvdb/commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string documents;
    qv::posix::PosixIdentity identity;
    if (!identity.documentsFolder(documents)) documents.clear();
    return qv::qvdb::runQvdb(args, std::cout, std::cerr, documents, ::isatty(STDOUT_FILENO) == 1);
}
