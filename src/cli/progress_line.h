#pragma once

#include <string>

#include "project/progress.h"

namespace CLI {
class App;
}

namespace plotvane::cli {

// --progress and --quiet of the commands that do long work.
struct ProgressOptions {
    bool progress = false;
    bool quiet = false;
};

void addProgressOptions(CLI::App& sub, ProgressOptions& options);

// A line on standard error that tells how far a long step is: shown when
// standard error is a terminal or `force`, never when `quiet`.
class ProgressLine {
public:
    ProgressLine(std::string what, bool force, bool quiet);
    ProgressLine(std::string what, const ProgressOptions& options)
        : ProgressLine(std::move(what), options.progress, options.quiet) {}
    ~ProgressLine() { end(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Empty when the line is not shown.
    Progress callback();
    // Ends the line once it was shown, so that the next message starts a
    // line of its own.
    void end();

private:
    void show(double fraction);
    std::string what_;
    bool enabled_ = false;
    int shown_ = -1;
};

}  // namespace plotvane::cli
