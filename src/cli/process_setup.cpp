#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "project/files.h"
#include "project/interrupt_cleanup.h"

namespace plotvane::cli {

namespace {

extern "C" void onInterrupt(int signal) {
    removeInterruptedFiles();
    ::_exit(128 + signal);
}

}  // namespace

bool armFailureFromEnvironment() {
    // A test seam: the command-line tests make the Nth file operation fail.
    const char* failAt = std::getenv("PLOTVANE2_FAIL_AT");
    if (failAt == nullptr) return false;
    if (armFileFailure(failAt)) return true;
    std::fprintf(stderr, "plotvane2-cli: PLOTVANE2_FAIL_AT ignored: %s\n", failAt);
    return false;
}

// Tells the tests that the armed failure did happen, so that a run which
// ends well in spite of it is caught.
void reportInjectedFailure() {
    if (armedFileFailureHappened()) std::fprintf(stderr, "plotvane2-cli: PLOTVANE2_FAIL_AT: the failure happened\n");
    disarmFileFailure();
}

void handleProcessSignals() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_mask = interruptSignals();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    // A reader that stops early (`| head`) must not end the command halfway
    // through a file: only the messages are lost, the work goes on to its
    // end and leaves its files as a full run does.
    ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace plotvane::cli
