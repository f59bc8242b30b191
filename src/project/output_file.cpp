#include "project/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "project/interrupt_cleanup.h"

namespace plotvane {

namespace {

// As many links as the system itself follows before giving up.
constexpr int kMaxLinkHops = 40;

FileProblem::Kind kindOfType(mode_t mode) {
    if (S_ISDIR(mode)) return FileProblem::Kind::Folder;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return FileProblem::Kind::Device;
    if (S_ISFIFO(mode)) return FileProblem::Kind::Pipe;
    if (S_ISSOCK(mode)) return FileProblem::Kind::Socket;
    return FileProblem::Kind::OtherType;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

OutputFile::OutputFile(std::filesystem::path output, std::vector<std::filesystem::path> inputs)
    : output_(std::move(output)), inputs_(std::move(inputs)), target_(output_) {}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::fail(FileProblem::Kind kind, int error) {
    problem_ = FileProblem{kind, output_, target_ == output_ ? std::filesystem::path{} : target_, {}, error};
    return false;
}

FileProblem OutputFile::writeProblem(int error) const {
    return FileProblem{FileProblem::Kind::CannotWrite, output_,
                       target_ == output_ ? std::filesystem::path{} : target_, {}, error};
}

bool OutputFile::check() {
    checked_ = true;
    target_ = output_;
    struct stat st {};
    bool exists = false;
    for (int hop = 0;; ++hop) {
        if (::lstat(target_.c_str(), &st) != 0) break;  // absent: created at the rename
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            break;
        }
        if (hop == kMaxLinkHops) return fail(FileProblem::Kind::CannotResolve, ELOOP);
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(target_.c_str(), link.data(), link.size());
        if (n < 0) return fail(FileProblem::Kind::CannotResolve, errno);
        if (static_cast<std::size_t>(n) >= link.size()) return fail(FileProblem::Kind::CannotResolve, ENAMETOOLONG);
        link.resize(static_cast<std::size_t>(n));
        const std::filesystem::path next = link;
        target_ = next.is_absolute() ? next : target_.parent_path() / next;
    }
    if (!exists) return true;
    if (!S_ISREG(st.st_mode)) return fail(kindOfType(st.st_mode), 0);
    for (const std::filesystem::path& input : inputs_) {
        struct stat in {};
        if (::stat(input.c_str(), &in) != 0 || !sameFile(in, st)) continue;
        fail(FileProblem::Kind::SameAsInput, 0);
        problem_.input = input;
        return false;
    }
    return true;
}

bool OutputFile::create() {
    if (!checked_ && !check()) return false;
    if (stream_) return true;
    // Created and registered with the interrupt signals held back, so an
    // interrupt never finds it unregistered.
    InterruptBlock block;
    std::filesystem::path created;
    stream_ = createUniqueSibling(target_, created);
    if (!stream_) return fail(FileProblem::Kind::CannotCreateBeside, errno);
    unfinished_ = created;
    cleanupSlot_ = addCleanupFile(unfinished_);
    return true;
}

bool OutputFile::finish() {
    if (!stream_) return fail(FileProblem::Kind::CannotWrite, EBADF);
    if (!flushFile(stream_.get()) || !syncFile(stream_.get())) {
        const int error = errno;
        discard();
        return fail(FileProblem::Kind::CannotWrite, error);
    }
    if (std::fclose(stream_.release()) != 0) {
        const int error = errno;
        discard();
        return fail(FileProblem::Kind::CannotWrite, error);
    }
    return true;
}

bool OutputFile::commit() {
    if (stream_ && !finish()) return false;
    if (unfinished_.empty()) return fail(FileProblem::Kind::CannotWrite, EBADF);
    if (!renameFile(unfinished_, target_)) {
        const int error = errno;
        discard();
        return fail(FileProblem::Kind::CannotReplace, error);
    }
    unfinished_.clear();
    dropCleanupFile(cleanupSlot_);
    cleanupSlot_ = -1;
    return true;
}

bool OutputFile::place() {
    if (unfinished_.empty() || stream_) return fail(FileProblem::Kind::CannotWrite, EBADF);
    struct stat st {};
    const bool existed = ::lstat(target_.c_str(), &st) == 0;
    if (existed && S_ISREG(st.st_mode)) {
        // The previous contents stay under the unfinished name until settled.
        if (exchangeFiles(unfinished_, target_)) {
            placed_ = Placed::Swapped;
            return true;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != ENOENT) {
            const int error = errno;
            discard();
            return fail(FileProblem::Kind::CannotReplace, error);
        }
    }
    if (!renameFile(unfinished_, target_)) {
        const int error = errno;
        discard();
        return fail(FileProblem::Kind::CannotReplace, error);
    }
    placed_ = existed ? Placed::Replaced : Placed::Created;
    return true;
}

void OutputFile::undoPlace() {
    // Should the swap back fail, the previous contents stay under the
    // unfinished name rather than being removed with it.
    if (placed_ == Placed::Swapped) ::rename(unfinished_.c_str(), target_.c_str());
    if (placed_ == Placed::Created) ::unlink(target_.c_str());
    placed_ = Placed::No;
    unfinished_.clear();
    discard();
}

void OutputFile::settlePlace() {
    if (placed_ == Placed::Swapped) ::unlink(unfinished_.c_str());
    placed_ = Placed::No;
    unfinished_.clear();
    dropCleanupFile(cleanupSlot_);
    cleanupSlot_ = -1;
}

bool OutputFile::commitAll(std::span<const std::unique_ptr<OutputFile>> files, FileProblem& problem) {
    for (const auto& f : files) {
        if (!f->stream_ || f->finish()) continue;
        problem = f->problem();
        for (const auto& g : files) g->discard();
        return false;
    }
    InterruptBlock block;
    std::size_t placed = 0;
    while (placed < files.size() && files[placed]->place()) ++placed;
    if (placed == files.size() && !interruptPending()) {
        for (const auto& f : files) f->settlePlace();
        return true;
    }
    // An interrupt ends the process as soon as the block is gone, after
    // the unfinished files are removed.
    problem = placed < files.size() ? files[placed]->problem()
                                    : FileProblem{FileProblem::Kind::CannotReplace, files.front()->output_, {}, {}, EINTR};
    while (placed > 0) files[--placed]->undoPlace();
    for (const auto& f : files) f->discard();
    return false;
}

void OutputFile::discard() {
    stream_.reset();
    if (!unfinished_.empty()) ::unlink(unfinished_.c_str());
    unfinished_.clear();
    // Dropped after the unlink: an interrupt in between only unlinks again.
    dropCleanupFile(cleanupSlot_);
    cleanupSlot_ = -1;
}

}  // namespace plotvane
