#include <cstdio>

#include "cli/commands.h"

namespace plotvane::cli {

void StderrFeedback::show(const Message& message) {
    std::fprintf(stderr, "%s: %s\n", message.title.c_str(), message.text.c_str());
    std::fflush(stderr);
}

}  // namespace plotvane::cli
