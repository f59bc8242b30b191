#include "project/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include <system_error>

namespace plotvane {

FilePtr openFile(const std::filesystem::path& path, const char* mode) {
    // fopen opens a folder for reading and only the first read fails, which
    // would pass for a damaged file; a named pipe would block until someone
    // writes to it. Only regular files are read.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status)) return nullptr;
    if (mode[0] == 'r' && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return nullptr;
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
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::filesystem::path candidate =
            folder / (base + std::to_string((seed + static_cast<unsigned long>(attempt) * 7919u) % 1000000007u) + ".tmp");
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        std::FILE* f = ::fdopen(fd, "wb");
        if (f == nullptr) {
            ::close(fd);
            ::unlink(candidate.c_str());
            return nullptr;
        }
        created = candidate;
        return FilePtr(f);
    }
    return nullptr;
}

bool readExact(std::FILE* f, void* data, std::size_t size) {
    return size == 0 || std::fread(data, 1, size, f) == size;
}

bool writeExact(std::FILE* f, const void* data, std::size_t size) {
    return size == 0 || std::fwrite(data, 1, size, f) == size;
}

bool seekTo(std::FILE* f, std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}

}  // namespace plotvane
