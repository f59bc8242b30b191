#include <cstdio>
#include <iostream>

#include "cli/commands.h"

namespace {

// The reason, then where the options are described: the whole help text
// would bury the one line that matters.
int usageFailure(const CLI::App& app, const std::string& what) {
    std::string command = "plotvane2-cli";
    for (const CLI::App* sub : app.get_subcommands()) command += " " + sub->get_name();
    std::cerr << "plotvane2-cli: " << what << "\nRun '" << command << " --help' for the options.\n";
    return plotvane::cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    plotvane::cli::prepareProcess();
    CLI::App app{"Plotvane2: prepares BMP maps for the Orbilune GPS map viewer on Palm OS handhelds.",
                 "plotvane2-cli"};
    app.require_subcommand(1);

    plotvane::cli::Action action;
    plotvane::cli::addRasterCommand(app, action);
    plotvane::cli::addMakeCommand(app, action);
    plotvane::cli::addInfoCommand(app, action);
    plotvane::cli::addRestoreCommand(app, action);
    plotvane::cli::addClassesCommand(app, action);
    // Every single-valued option's help shows its default value.
    for (CLI::App* sub : app.get_subcommands({}))
        for (CLI::Option* option : sub->get_options())
            if (option->get_expected_max() == 1) option->capture_default_str();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return plotvane::cli::kExitOk;
    } catch (const CLI::ParseError& e) {
        return usageFailure(app, e.what());
    }

    try {
        return action ? action() : plotvane::cli::kExitUsage;
    } catch (const plotvane::cli::UsageError& e) {
        return usageFailure(app, e.what());
    }
}
