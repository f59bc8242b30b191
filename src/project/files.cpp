#include "project/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <string>
#include <system_error>
#include <utility>

#include "project/run_folder.h"

namespace plotvane {

namespace {

// The armed operation (-1 when none) and how many of its calls are left
// before the one that fails.
std::atomic<int> armedOperation{-1};
std::atomic<std::uint64_t> callsBeforeFailure{0};
std::atomic<bool> armedFailureHappened{false};

// True when this call of `operation` is the one armed to fail; errno is
// then EIO.
bool injectedFailure(FileOperation operation) {
    if (armedOperation.load(std::memory_order_relaxed) != static_cast<int>(operation)) return false;
    if (callsBeforeFailure.fetch_sub(1) != 1) return false;
    armedOperation.store(-1);
    armedFailureHappened.store(true);
    errno = EIO;
    return true;
}

}  // namespace

void armFileFailure(FileOperation operation, std::uint64_t nth) {
    disarmFileFailure();
    if (nth == 0) return;
    callsBeforeFailure.store(nth);
    armedOperation.store(static_cast<int>(operation));
}

bool armFileFailure(std::string_view request) {
    disarmFileFailure();
    const std::size_t colon = request.find(':');
    if (colon == std::string_view::npos) return false;
    const std::string_view name = request.substr(0, colon);
    const std::string_view count = request.substr(colon + 1);
    FileOperation operation{};
    if (name == "open") operation = FileOperation::Open;
    else if (name == "write") operation = FileOperation::Write;
    else if (name == "flush") operation = FileOperation::Flush;
    else if (name == "sync") operation = FileOperation::Sync;
    else if (name == "rename") operation = FileOperation::Rename;
    else return false;
    std::uint64_t nth = 0;
    const auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), nth);
    if (ec != std::errc() || end != count.data() + count.size() || nth == 0) return false;
    armFileFailure(operation, nth);
    return true;
}

void disarmFileFailure() {
    armedOperation.store(-1);
    callsBeforeFailure.store(0);
    armedFailureHappened.store(false);
}

bool armedFileFailureHappened() { return armedFailureHappened.load(); }

FilePtr openFile(const std::filesystem::path& path, const char* mode) {
    // fopen opens a folder for reading and only the first read fails, which
    // would pass for a damaged file; a named pipe would block until someone
    // writes to it. Only regular files are read.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status)) {
        errno = EISDIR;
        return nullptr;
    }
    if (mode[0] == 'r' && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        errno = EINVAL;
        return nullptr;
    }
    if (injectedFailure(FileOperation::Open)) return nullptr;
    return FilePtr(std::fopen(path.c_str(), mode));
}

bool fileExists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

void removeIfExists(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) std::filesystem::remove(path, ec);
}

namespace {

// Gives the unnamed file `fd` the name `path`, which must not exist; false
// with errno set.
bool nameUnnamedFile(int fd, const std::filesystem::path& path) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace

FilePtr createUniqueSibling(const std::filesystem::path& output, std::filesystem::path& created) {
    constexpr int kAttempts = 100;
    // Only a prefix of the output's name is kept, so that the new name with
    // its number still fits where the output's own name (up to 255 bytes) does.
    constexpr std::size_t kNamePrefix = 200;
    std::filesystem::path folder = output.parent_path();
    if (folder.empty()) folder = ".";
    std::string base(1, '.');
    base.append(output.filename().string().substr(0, kNamePrefix)).push_back('.');
    const auto seed = static_cast<unsigned long>(::getpid()) ^
                      static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
    // Where the file system allows, the file is made without a name and is
    // listed in the run folder before it gets one, so that a run killed at
    // any moment leaves no file it did not list. Elsewhere it is made with
    // its name and listed at once after.
    int unnamed = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    const auto giveUp = [&unnamed] {
        const int error = errno;
        if (unnamed >= 0) ::close(unnamed);
        errno = error;
        return nullptr;
    };
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::filesystem::path candidate =
            folder / (base + std::to_string((seed + static_cast<unsigned long>(attempt) * 7919u) % 1000000007u) + ".tmp");
        if (injectedFailure(FileOperation::Open)) return giveUp();
        int fd = -1;
        if (unnamed >= 0) {
            recordUnfinishedFile(unnamed, candidate);
            if (nameUnnamedFile(unnamed, candidate)) {
                fd = std::exchange(unnamed, -1);
            } else if (errno == EEXIST) {
                continue;
            } else {
                // No /proc, or a link refused: made with its name instead.
                ::close(std::exchange(unnamed, -1));
            }
        }
        if (fd < 0) {
            fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                return giveUp();
            }
            recordUnfinishedFile(fd, candidate);
        }
        std::FILE* f = ::fdopen(fd, "wb");
        if (f == nullptr) {
            const int error = errno;
            ::close(fd);
            ::unlink(candidate.c_str());
            errno = error;
            return nullptr;
        }
        created = candidate;
        return FilePtr(f);
    }
    errno = EEXIST;
    return giveUp();
}

bool readExact(std::FILE* f, void* data, std::size_t size) {
    return size == 0 || std::fread(data, 1, size, f) == size;
}

bool writeExact(std::FILE* f, const void* data, std::size_t size) {
    if (size == 0) return true;
    if (injectedFailure(FileOperation::Write)) return false;
    return std::fwrite(data, 1, size, f) == size;
}

bool flushFile(std::FILE* f) { return !injectedFailure(FileOperation::Flush) && std::fflush(f) == 0; }

bool syncFile(std::FILE* f) { return !injectedFailure(FileOperation::Sync) && ::fsync(::fileno(f)) == 0; }

bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return !injectedFailure(FileOperation::Rename) && std::rename(from.c_str(), to.c_str()) == 0;
}

bool exchangeFiles(const std::filesystem::path& a, const std::filesystem::path& b) {
    if (injectedFailure(FileOperation::Rename)) return false;
#ifdef RENAME_EXCHANGE
    return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
#else
    errno = ENOSYS;
    return false;
#endif
}

bool seekTo(std::FILE* f, std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}

}  // namespace plotvane
