#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace plotvane::cli {

// A private folder under TMPDIR for the temporary files of one run, so that
// parallel runs never meet. It goes away with everything in it when the
// object does, and on an interrupt: the files named in `names` are
// unlinked, then the folder is removed.
class PrivateFolder {
public:
    explicit PrivateFolder(std::initializer_list<const char*> names);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    // Empty when the folder could not be made.
    const std::filesystem::path& path() const { return path_; }
    // A file made in the folder after it was: unlinked on an interrupt too.
    void holdFile(const std::filesystem::path& file);
    // When it could not be made: the name asked for and errno.
    const std::filesystem::path& attempted() const { return attempted_; }
    int error() const { return error_; }

private:
    std::filesystem::path path_;
    std::filesystem::path attempted_;
    int error_ = 0;
    std::vector<int> fileSlots_;
    int folderSlot_ = -1;
};

}  // namespace plotvane::cli
