#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "project/feedback.h"
#include "project/files.h"

namespace plotvane {

// A file written for the user (a database, a raster), so that nothing
// else is ever harmed: a symbolic link is followed to its final target
// and the link stays; an existing target that is not a regular file, or
// that is one of the inputs, is refused before anything is created; the
// new contents go to a unique file beside the target, which is flushed,
// synced and renamed over the target only when complete. The unfinished
// file is registered for removal on an interrupt, and removed on every
// failure and when the object goes away uncommitted.
class OutputFile {
public:
    OutputFile(std::filesystem::path output, std::vector<std::filesystem::path> inputs);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Follows the links and looks at the target's type and identity, with
    // lstat and stat only: nothing is opened. False with problem() set.
    bool check();
    // Runs check() when it has not run, then creates the unfinished file.
    bool create();
    // Flushes, syncs and closes the unfinished file, which then waits for
    // its commit. False with problem() set, the unfinished file removed.
    bool finish();
    // Finishes the unfinished file when still open and renames it over
    // the target. False with problem() set, the unfinished file removed.
    bool commit();
    // Commits every file or none: all are finished first, then put in
    // place with the interrupt signals held back. An existing target is
    // swapped with its new file, so that when a later file cannot be put
    // in place, or an interrupt came in meanwhile, each earlier target
    // gets its previous contents back (except on a file system that
    // cannot swap, where a target is replaced outright). False with
    // `problem` set and every unfinished file removed.
    static bool commitAll(std::span<const std::unique_ptr<OutputFile>> files, FileProblem& problem);
    // Closes and removes the unfinished file, if there is one.
    void discard();

    std::FILE* stream() const { return stream_.get(); }
    const std::filesystem::path& output() const { return output_; }
    const std::filesystem::path& target() const { return target_; }
    // Empty unless an unfinished file exists.
    const std::filesystem::path& unfinished() const { return unfinished_; }
    const FileProblem& problem() const { return problem_; }

    // The problem of a write to stream() that failed with `error`.
    FileProblem writeProblem(int error) const;

private:
    // How commitAll put the file in place.
    enum class Placed { No, Swapped, Created, Replaced };

    bool fail(FileProblem::Kind kind, int error);
    bool place();
    void undoPlace();
    void settlePlace();

    std::filesystem::path output_;
    std::vector<std::filesystem::path> inputs_;
    std::filesystem::path target_;
    std::filesystem::path unfinished_;
    FilePtr stream_;
    FileProblem problem_;
    int cleanupSlot_ = -1;
    bool checked_ = false;
    Placed placed_ = Placed::No;
};

}  // namespace plotvane
