#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "import/class_builder.h"
#include "import/class_plan.h"

namespace CLI {
class App;
}

namespace plotvane::cli {

// --classes and --magnification, shared by `classes` and `make --from`.
struct ClassOptions {
    std::optional<int> classes;
    std::vector<int> magnifications;
    bool progress = false;
    bool quiet = false;
};

void addClassOptions(CLI::App& sub, ClassOptions& options);

// The request the options make for colour mode `mode`; a usage error when
// they do not agree.
import::ClassRequest classRequest(const ClassOptions& options, ColourMode mode, bool textRecord);

// A line on standard error that tells how far a long step is: shown when
// standard error is a terminal or `force`, never when `quiet`.
class ProgressLine {
public:
    ProgressLine(std::string what, bool force, bool quiet);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    import::Progress callback();

private:
    void show(double fraction);
    std::string what_;
    bool enabled_ = false;
    int shown_ = -1;
};

}  // namespace plotvane::cli
