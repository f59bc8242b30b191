#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "cli/escaped_text.h"

namespace plotvane::cli {

void StderrFeedback::show(const Message& message) {
    std::fprintf(stderr, "%s: %s\n", message.title.c_str(), message.text.c_str());
    std::fflush(stderr);
}

std::string StderrFeedback::shown(const std::string& foreign) const { return escapeControls(foreign); }

void StderrFeedback::explain(const FileProblem& problem) {
    std::fprintf(stderr, "plotvane2-cli: %s\n", describeFileProblem(problem).c_str());
    std::fflush(stderr);
}

std::string describeFileProblem(const FileProblem& problem) {
    using Kind = FileProblem::Kind;
    std::string text = shownPath(problem.path);
    if (!problem.target.empty()) text += " (a link to " + shownPath(problem.target) + ")";
    const std::string reason = problem.error != 0 ? std::strerror(problem.error) : "";
    switch (problem.kind) {
        case Kind::CannotCreate: return text + ": cannot be created: " + reason;
        case Kind::CannotCreateBeside: return text + ": cannot create a new file beside it: " + reason;
        case Kind::CannotWrite: return text + ": cannot be written: " + reason;
        case Kind::CannotReplace: return text + ": cannot put its new file in its place: " + reason;
        case Kind::CannotResolve: return text + ": cannot follow the link: " + reason;
        case Kind::Folder: return text + ": is a folder, not a file; it was left as it is";
        case Kind::Device: return text + ": is a device, not a file; it was left as it is";
        case Kind::Pipe: return text + ": is a named pipe, not a file; it was left as it is";
        case Kind::Socket: return text + ": is a socket, not a file; it was left as it is";
        case Kind::OtherType: return text + ": is not a regular file; it was left as it is";
        case Kind::SameAsInput:
            return text + ": is the input " + shownPath(problem.input) + "; it was left as it is";
    }
    return text;
}

}  // namespace plotvane::cli
