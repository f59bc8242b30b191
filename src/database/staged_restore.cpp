#include "database/staged_restore.h"

#include <fcntl.h>

#include <cerrno>
#include <utility>

#include "project/files.h"

namespace plotvane {

StagedRestore::StagedRestore(std::function<std::filesystem::path(int)> target,
                             std::vector<std::filesystem::path> inputs)
    : target_(std::move(target)), inputs_(std::move(inputs)) {}

std::string StagedRestore::fileName(int classNumber) const { return target_(classNumber).string(); }

bool StagedRestore::begin(int classNumber) {
    files_.push_back(std::make_unique<OutputFile>(target_(classNumber), inputs_));
    if (files_.back()->create()) return true;
    problem_ = files_.back()->problem();
    return false;
}

bool StagedRestore::write(std::span<const std::uint8_t> bytes) {
    if (!files_.empty() && writeExact(files_.back()->stream(), bytes.data(), bytes.size())) return true;
    problem_ = files_.empty() ? FileProblem{} : files_.back()->writeProblem(errno);
    return false;
}

bool StagedRestore::end() {
    std::FILE* f = files_.empty() ? nullptr : files_.back()->stream();
    if (f == nullptr) return true;
    if (!flushFile(f)) {
        problem_ = files_.back()->writeProblem(errno);
        return false;
    }
#ifdef __linux__
    ::sync_file_range(::fileno(f), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    return true;
}

bool StagedRestore::commit() { return OutputFile::commitAll(files_, problem_); }

}  // namespace plotvane
