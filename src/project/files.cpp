#include "project/files.h"

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
