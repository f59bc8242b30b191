#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/progress_line.h"
#include "import/class_builder.h"
#include "import/class_plan.h"

namespace CLI {
class App;
}

namespace plotvane::cli {

// --classes and --magnification, shared by `classes` and `make --from`,
// with --progress and --quiet, which `make` also applies to its writer.
struct ClassOptions {
    std::optional<int> classes;
    std::vector<int> magnifications;
    ProgressOptions progress;
};

void addClassOptions(CLI::App& sub, ClassOptions& options);

// The request the options make for colour mode `mode`; a usage error when
// they do not agree.
import::ClassRequest classRequest(const ClassOptions& options, ColourMode mode, bool textRecord);

}  // namespace plotvane::cli
