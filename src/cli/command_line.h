#pragma once

namespace plotvane::cli {

// The whole command line after the process is set up: parses the
// arguments, runs the chosen subcommand and returns the exit status. Reads
// the environment, standard input and the current folder as the program
// does, so a test can run it in its own process.
int runCommandLine(int argc, const char* const* argv);

// Installs the handler that, on SIGINT, SIGTERM or SIGHUP, removes the
// registered unfinished files and temporary folders and exits with 128 +
// the signal number, and lets a closed pipe cost only the messages.
void handleProcessSignals();

}  // namespace plotvane::cli
