#include "cli/command_line.h"

int main(int argc, char** argv) {
    plotvane::cli::handleProcessSignals();
    return plotvane::cli::runCommandLine(argc, argv);
}
