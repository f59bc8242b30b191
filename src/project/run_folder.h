#pragma once

#include <filesystem>
#include <initializer_list>
#include <vector>

namespace plotvane {

// A private folder under TMPDIR ("plotvane2-XXXXXX") for the temporary
// files of one run, so that parallel runs never meet. It goes away with
// everything in it when the object does, and on an interrupt: the files
// named in `names` are unlinked, then the folder is removed.
//
// A run killed outright (SIGKILL, a crash) cannot remove anything, so the
// folder also proves who owns it: its "owner" file is locked (flock) for
// the object's lifetime, and its "unfinished" file lists each unfinished
// file the process makes beside an output elsewhere, by name, device and
// inode. Making a run folder first removes the leftovers of killed runs:
// see removeLeftoversOfKilledRuns.
class RunFolder {
public:
    // Under TMPDIR, or /tmp when it is unset or empty.
    explicit RunFolder(std::initializer_list<const char*> names);
    RunFolder(std::initializer_list<const char*> names, const std::filesystem::path& base);
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // Empty when the folder could not be made.
    const std::filesystem::path& path() const { return path_; }
    // A file made in the folder after it was: unlinked on an interrupt too.
    void holdFile(const std::filesystem::path& file);
    // When it could not be made: the name asked for and errno.
    const std::filesystem::path& attempted() const { return attempted_; }
    int error() const { return error_; }

private:
    void make(std::initializer_list<const char*> names, const std::filesystem::path& base);

    std::filesystem::path path_;
    std::filesystem::path attempted_;
    int error_ = 0;
    int ownerFd_ = -1;
    int recordFd_ = -1;
    int previousRecord_ = -1;
    std::vector<int> fileSlots_;
    int folderSlot_ = -1;
};

// TMPDIR as given (a folder that is missing is reported, not replaced), or
// /tmp when it is unset or empty.
std::filesystem::path temporaryBase();

// Adds an unfinished file just made (open as `fd`) to the list of the
// newest run folder of this process, so that it is removed should the
// process be killed before it renames or removes the file. Nothing when
// the process has no run folder.
void recordUnfinishedFile(int fd, const std::filesystem::path& path);

// Removes under `base` each run folder whose owner is gone: a folder named
// "plotvane2-XXXXXX", of this user, holding an "owner" file that names a
// run of this program and that no process holds locked, together with the
// unfinished files its list names that are still the very files it made
// (same name, device and inode). Anything else is kept: a folder whose
// owner lives, a folder or file that only looks like one of ours. The
// number of folders removed.
int removeLeftoversOfKilledRuns(const std::filesystem::path& base);

}  // namespace plotvane
