// qvdb: the companion program for the inventory data, on Linux.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/identity-posix.h"
#include "qvdb/commands.h"
#include "qvdb/output_folder.h"

namespace {

// Ctrl-C, SIGTERM and a closed terminal end the program as they would, but first the hidden
// folders of its unfinished output are removed. The signals are taken by a thread of their own
// (blocked everywhere else), so that the clean-up runs as ordinary code, not in a handler.
void cleanUpOnSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, s);
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return;
    std::thread([signals] {
        int s = 0;
        if (sigwait(&signals, &s) != 0) return;
        qv::qvdb::removeUnfinishedOutput();
        // Ended by the signal itself, so that the caller sees how the program ended.
        ::signal(s, SIG_DFL);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, s);
        pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        ::raise(s);
    }).detach();
}

}  // namespace

int main(int argc, char** argv) {
    cleanUpOnSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string documents;
    qv::posix::PosixIdentity identity;
    if (!identity.documentsFolder(documents)) documents.clear();
    return qv::qvdb::runQvdb(args, std::cout, std::cerr, documents, ::isatty(STDOUT_FILENO) == 1);
}
