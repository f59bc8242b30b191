#include "cli/class_options.h"

#include <CLI/CLI.hpp>

#include "cli/commands.h"

namespace plotvane::cli {

void addClassOptions(CLI::App& sub, ClassOptions& options) {
    sub.add_option("--classes", options.classes, "Number of classes to build, 1 to 4 (default: 3, or one more than the "
                                                 "magnifications given)")
        ->check(CLI::Range(1, 4));
    sub.add_option("--magnification", options.magnifications,
                   "M or M,M,M: the scale between each class and the next, 2, 4 or 8 (default 2); one value holds for "
                   "every step")
        ->delimiter(',')
        ->check(CLI::IsMember({2, 4, 8}))
        ->expected(1, 3);
    addProgressOptions(sub, options.progress);
}

import::ClassRequest classRequest(const ClassOptions& options, ColourMode mode, bool textRecord) {
    import::ClassRequest request;
    request.mode = mode;
    request.textRecord = textRecord;
    const auto given = static_cast<int>(options.magnifications.size());
    request.classCount = options.classes.value_or(given > 1 ? given + 1 : 3);
    if (given > 1 && given != request.classCount - 1)
        throw UsageError("--magnification: " + std::to_string(request.classCount) + " classes take one magnification or " +
                         std::to_string(request.classCount - 1) + ", not " + std::to_string(given));
    for (std::size_t k = 0; k < request.magnifications.size(); ++k) {
        if (given == 1) request.magnifications[k] = options.magnifications[0];
        if (given > 1 && k < options.magnifications.size()) request.magnifications[k] = options.magnifications[k];
    }
    return request;
}

}  // namespace plotvane::cli
