#include "cli/private_folder.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include "project/interrupt_cleanup.h"

namespace plotvane::cli {

PrivateFolder::PrivateFolder(std::initializer_list<const char*> names) {
    // TMPDIR as given: a folder that is missing is reported, not replaced.
    const char* tmpdir = std::getenv("TMPDIR");
    const std::filesystem::path base = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
    std::string tmpl = (base / "plotvane2-XXXXXX").string();
    attempted_ = tmpl;
    // Made and registered with the interrupt signals held back, so an
    // interrupt never leaves it behind unregistered.
    InterruptBlock block;
    if (mkdtemp(tmpl.data()) == nullptr) {
        error_ = errno;
        return;
    }
    path_ = tmpl;
    for (const char* name : names) fileSlots_.push_back(addCleanupFile(path_ / name));
    folderSlot_ = addCleanupFolder(path_);
}

void PrivateFolder::holdFile(const std::filesystem::path& file) {
    InterruptBlock block;
    fileSlots_.push_back(addCleanupFile(file));
}

PrivateFolder::~PrivateFolder() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    dropCleanupFolder(folderSlot_);
    for (const int slot : fileSlots_) dropCleanupFile(slot);
}

}  // namespace plotvane::cli
