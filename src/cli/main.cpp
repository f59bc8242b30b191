#include <cstdio>
#include <iostream>

#include "cli/commands.h"

namespace {

// The help of the chosen subcommand (CLI11 hands it on), named in full.
int usageFailure(const CLI::App& app, const std::string& what) {
    std::cerr << "plotvane2-cli: " << what << "\n\n" << app.help();
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
