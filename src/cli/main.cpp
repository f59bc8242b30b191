#include <cstdio>
#include <iostream>

#include "cli/commands.h"

namespace {

int usageFailure(const CLI::App& app, const CLI::App* where, const std::string& what) {
    std::cerr << "plotvane2-cli: " << what << "\n\n" << (where ? where : &app)->help();
    return plotvane::cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Plotvane2: prepares BMP maps for the Orbilune GPS map viewer on Palm OS handhelds.",
                 "plotvane2-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "plotvane2-cli 0.23");

    plotvane::cli::Action action;
    plotvane::cli::addRasterCommand(app, action);
    plotvane::cli::addMakeCommand(app, action);
    plotvane::cli::addInfoCommand(app, action);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return plotvane::cli::kExitOk;
    } catch (const CLI::CallForVersion&) {
        std::cout << "plotvane2-cli 0.23\n";
        return plotvane::cli::kExitOk;
    } catch (const CLI::ParseError& e) {
        const CLI::App* where = nullptr;
        for (const CLI::App* sub : app.get_subcommands()) where = sub;
        return usageFailure(app, where, e.what());
    }

    try {
        return action ? action() : plotvane::cli::kExitUsage;
    } catch (const plotvane::cli::UsageError& e) {
        const CLI::App* where = nullptr;
        for (const CLI::App* sub : app.get_subcommands()) where = sub;
        return usageFailure(app, where, e.what());
    }
}
