#include "cli/command_line.h"

#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/commands.h"

namespace plotvane::cli {

namespace {

// The reason, then where the options are described: the whole help text
// would bury the one line that matters.
int usageFailure(const CLI::App& app, const std::string& what) {
    std::string command = "plotvane2-cli";
    for (const CLI::App* sub : app.get_subcommands()) command += " " + sub->get_name();
    std::cerr << "plotvane2-cli: " << what << "\nRun '" << command << " --help' for the options.\n";
    return kExitUsage;
}

int parseAndRun(int argc, const char* const* argv) {
    CLI::App app{"Plotvane2: prepares BMP maps for the Orbilune GPS map viewer on Palm OS handhelds.",
                 "plotvane2-cli"};
    app.require_subcommand(1);

    Action action;
    addRasterCommand(app, action);
    addMakeCommand(app, action);
    addInfoCommand(app, action);
    addRestoreCommand(app, action);
    addClassesCommand(app, action);
    // Every single-valued option's help shows its default value.
    for (CLI::App* sub : app.get_subcommands({}))
        for (CLI::Option* option : sub->get_options())
            if (option->get_expected_max() == 1) option->capture_default_str();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        return usageFailure(app, e.what());
    }

    try {
        return action ? action() : kExitUsage;
    } catch (const UsageError& e) {
        return usageFailure(app, e.what());
    }
}

}  // namespace

int runCommandLine(int argc, const char* const* argv) {
    const bool armed = armFailureFromEnvironment();
    const int status = parseAndRun(argc, argv);
    std::cout.flush();
    if (armed) reportInjectedFailure();
    return status;
}

}  // namespace plotvane::cli
