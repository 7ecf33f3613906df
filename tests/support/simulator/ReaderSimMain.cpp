// The example reader on a pseudo-terminal, for trying the program without a reader (scripts/demo).
// Prints the device path to open, then answers until SIGTERM, SIGINT or SIGHUP.

#include "ExampleReader.h"
#include "Pty.h"
#include "ReaderSim.h"
#include "ReaderSimThreadDriver.h"

#include <csignal>
#include <cstdio>
#include <exception>

int main()
{
    // Blocked before the driver's thread starts, so that every thread leaves them to sigwait below.
    sigset_t stop;
    sigemptyset(&stop);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stop, signal);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    try {
        testsupport::Pty pty;
        testsupport::ReaderSim sim;
        testsupport::MakeExampleReader(sim);
        testsupport::ReaderSimThreadDriver driver(sim, pty.masterFd());
        std::printf("%s\n", pty.devicePath().c_str());
        std::fflush(stdout);
        int received = 0;
        sigwait(&stop, &received);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "reader_sim: %s\n", error.what());
        return 1;
    }
    return 0;
}
