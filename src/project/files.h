#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

namespace plotvane {

// Fixed names of the temporary files, created in the working folder that
// each operation is given.
inline constexpr const char* kPreviewRasterName = "temporbl.$$$";
inline constexpr const char* kDatabaseRasterName = "temppdb.$$$";
inline constexpr const char* kCompressionFileName = "tempcomp.$$$";
// The class bitmaps a loaded database was restored into, Class 1 to 4.
inline constexpr const char* kRestoreFileNames[4] = {"mktempfl.001", "mktempfl.002", "mktempfl.003",
                                                     "mktempfl.004"};

struct FileCloser {
    void operator()(std::FILE* f) const noexcept {
        if (f != nullptr) std::fclose(f);
    }
};
// Closes on every return path.
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens with fopen's mode string; null (with errno set) when it cannot be
// opened. Folders are never opened, nor anything but a regular file for
// reading.
FilePtr openFile(const std::filesystem::path& path, const char* mode);

bool fileExists(const std::filesystem::path& path);

// Creates a file that did not exist before, beside `output`, with the
// permissions a plain create would give (0666 less the umask), so that a
// finished file can replace `output` by a rename. Null when none can be
// made; otherwise `created` names it.
FilePtr createUniqueSibling(const std::filesystem::path& output, std::filesystem::path& created);

// Deletes the file when it exists; a failure is silent.
void removeIfExists(const std::filesystem::path& path);

// Reads exactly `size` bytes; false on a short read or error.
bool readExact(std::FILE* f, void* data, std::size_t size);

// Writes exactly `size` bytes; false on error.
bool writeExact(std::FILE* f, const void* data, std::size_t size);

// fflush, fsync and rename, each false (with errno set) on failure.
bool flushFile(std::FILE* f);
bool syncFile(std::FILE* f);
bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to);
// Swaps two existing names in one step, each keeping the other's file; a
// rename for failure injection. False with errno set, EINVAL or ENOSYS
// where the file system or the system cannot swap.
bool exchangeFiles(const std::filesystem::path& a, const std::filesystem::path& b);

// ---- Failure injection: a test seam ------------------------------------
//
// Storage code is tested by making one of its file operations fail: the
// Nth open (openFile, createUniqueSibling), write (writeExact), flush,
// sync or rename from the moment of arming fails with EIO, once; every
// other call runs as usual. Nothing fails until a test arms it, or a
// front end does from a test's environment variable.
enum class FileOperation { Open, Write, Flush, Sync, Rename };

void armFileFailure(FileOperation operation, std::uint64_t nth);
// Arms from "open:N", "write:N", "flush:N", "sync:N" or "rename:N" (N >= 1);
// false, with nothing armed, for any other text.
bool armFileFailure(std::string_view request);
void disarmFileFailure();
// The armed failure has happened since it was armed.
bool armedFileFailureHappened();

// Seeks from the start of the file with a 64-bit offset.
bool seekTo(std::FILE* f, std::uint64_t offset);

}  // namespace plotvane
