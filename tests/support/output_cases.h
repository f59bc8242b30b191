#pragma once

#include <filesystem>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "project/feedback.h"
#include "support/cli_fixtures.h"

namespace plotvane::test {

// One kind of output path a command may be given, made inside `folder`
// beside the command's input.
struct OutputCase {
    std::string name;
    // Makes what lies at the output path and returns that path; an empty
    // path when this system cannot make it (the case is then skipped).
    std::function<std::filesystem::path(const std::filesystem::path& folder, const std::filesystem::path& input)>
        arrange;
    // Accepted: the name (in `folder`) of the file that must then hold the
    // new contents, the output or its link's final target.
    std::string written;
    // Refused: how, with nothing in the folder changed.
    std::optional<FileProblem::Kind> refusal;
};

// Links (also relative, chained and dangling), a named pipe, a socket, a
// folder, a device where one can be made, the input itself, through a
// link and as a hard link, and a link loop. Each existing regular file the
// cases make holds "old".
std::vector<OutputCase> outputCases();

// Every entry under `folder` with its type, a link's target and a
// regular file's bytes, to compare a folder before and after.
std::map<std::string, std::string> folderSnapshot(const std::filesystem::path& folder);
// Makes `folder` anew, holding only a class1.bmp of "old": the target an
// interrupted or refused command must leave exactly as it was.
void freshFolderWithOldClass(const std::filesystem::path& folder);
// How a regular file holding `bytes` shows in a snapshot.
std::string snapshotOf(const std::vector<std::uint8_t>& bytes);

void PrintTo(const OutputCase& c, std::ostream* os);

// Ends the test process with a message when the scope lasts longer than
// `seconds`, so that a call that blocks (a pipe opened by mistake) fails
// the run instead of hanging it.
class ScopedDeadline {
public:
    explicit ScopedDeadline(unsigned seconds);
    ~ScopedDeadline();
    ScopedDeadline(const ScopedDeadline&) = delete;
    ScopedDeadline& operator=(const ScopedDeadline&) = delete;
};

// Makes each of the file operations open, write, flush, sync and rename
// fail in turn at its Nth call (PLOTVANE2_FAIL_AT=op:N), for N = 1, 2, ...
// below `limit` until a run no longer meets the failure. Every failing run
// must exit 1 with a "Warning: " or "Error: " message and leave the inputs,
// the outputs and the sandbox's working and temporary folders as they
// were; `alsoOnFailure` adds checks of its own. `whole` checks the run that
// met no failure and puts the outputs back as they were before the sweep.
using FailureCheck = std::function<void(const ProcessResult&, const std::string& failAt)>;
void sweepFileFailures(const CliSandbox& box, int limit,
                       const std::function<ProcessResult(const std::string& failAt)>& run, const FailureCheck& whole,
                       const FailureCheck& alsoOnFailure = {});

}  // namespace plotvane::test
