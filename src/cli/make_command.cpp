#include "cli/commands.h"

namespace plotvane::cli {

void addMakeCommand(CLI::App& app, Action& action) {
    auto* sub = app.add_subcommand("make", "(being built)");
    sub->callback([&action] { action = [] { return kExitRefused; }; });
}

}  // namespace plotvane::cli
