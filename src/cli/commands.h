#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "project/colour_mode.h"
#include "project/feedback.h"

// The parser's application type, kept out of this header so that only
// the files that register options compile the parser's headers.
namespace CLI {
class App;
}

namespace plotvane::cli {

// A command-line mistake found after parsing (a bad value combination);
// reported like a parse error: the message, a pointer to the help, exit 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

// The mode an accepted --mode value names: "original" or its number.
ColourMode colourModeOfOption(const std::string& text);

// Each subcommand registers itself on the application and stores the
// action to run when it was the one chosen.
using Action = std::function<int()>;

void addRasterCommand(CLI::App& app, Action& action);
void addMakeCommand(CLI::App& app, Action& action);
void addInfoCommand(CLI::App& app, Action& action);
void addRestoreCommand(CLI::App& app, Action& action);
void addClassesCommand(CLI::App& app, Action& action);

// Prints every message to stderr as "Title: text", and after a message
// about a file, a line of its own naming the file and the reason.
class StderrFeedback : public Feedback {
public:
    void show(const Message& message) override;
    void explain(const FileProblem& problem) override;
    // With its control characters escaped, as every path is printed.
    std::string shown(const std::string& foreign) const override;
};

// The line that explains a file problem, without the program's name.
std::string describeFileProblem(const FileProblem& problem);

// Arms the file layer's failure injection from PLOTVANE2_FAIL_AT (for the
// command-line tests); false when the variable is unset or malformed (said
// on stderr). reportInjectedFailure() then says on stderr whether the armed
// failure happened and disarms it.
bool armFailureFromEnvironment();
void reportInjectedFailure();

}  // namespace plotvane::cli
