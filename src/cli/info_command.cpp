#include "cli/commands.h"

namespace plotvane::cli {

void addInfoCommand(CLI::App& app, Action& action) {
    auto* sub = app.add_subcommand("info", "(being built)");
    sub->callback([&action] { action = [] { return kExitRefused; }; });
}

}  // namespace plotvane::cli
