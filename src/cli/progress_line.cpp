#include "cli/progress_line.h"

#include <unistd.h>

#include <cstdio>

#include <CLI/CLI.hpp>

namespace plotvane::cli {

void addProgressOptions(CLI::App& sub, ProgressOptions& options) {
    sub.add_flag("--progress", options.progress, "Show how far the work is on stderr even when it is not a terminal");
    sub.add_flag("--quiet", options.quiet, "Never show how far the work is");
}

ProgressLine::ProgressLine(std::string what, bool force, bool quiet)
    : what_(std::move(what)), enabled_(!quiet && (force || ::isatty(STDERR_FILENO) != 0)) {}

void ProgressLine::end() {
    if (!enabled_ || shown_ < 0) return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    shown_ = -1;
}

Progress ProgressLine::callback() {
    if (!enabled_) return {};
    return [this](double fraction) {
        show(fraction);
        return true;
    };
}

void ProgressLine::show(double fraction) {
    const int percent = static_cast<int>(fraction * 100.0);
    if (percent == shown_) return;
    shown_ = percent;
    std::fprintf(stderr, "\r%s: %3d%%", what_.c_str(), percent);
    std::fflush(stderr);
}

}  // namespace plotvane::cli
