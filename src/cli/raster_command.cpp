#include "cli/commands.h"

namespace plotvane::cli {

void addRasterCommand(CLI::App& app, Action& action) {
    auto* sub = app.add_subcommand("raster", "(being built)");
    sub->callback([&action] { action = [] { return kExitRefused; }; });
}

}  // namespace plotvane::cli
