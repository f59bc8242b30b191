// File Load on arbitrary bytes: the header checks and the restore, which
// reads the database through the one reader, with its RestoreFiles kept
// in memory. Nothing may read outside the input, and a restore that
// succeeds must have written whole files.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "database/database_loader.h"
#include "database/map_database.h"
#include "project/byte_order.h"
#include "project/files.h"
#include "seeds.h"

namespace {

using namespace plotvane;

class SilentFeedback : public Feedback {
public:
    void show(const Message&) override {}
};

// Keeps each file's header and counts the rest, so large restores cost no memory.
class CheckedOutput : public RestoreOutput {
public:
    std::string fileName(int classNumber) const override { return kRestoreFileNames[classNumber - 1]; }
    bool begin(int) override {
        files_.emplace_back();
        return true;
    }
    bool write(std::span<const std::uint8_t> bytes) override {
        File& f = files_.back();
        for (std::size_t i = 0; i < bytes.size() && f.head.size() < 14; ++i) f.head.push_back(bytes[i]);
        f.size += bytes.size();
        return true;
    }
    bool end() override { return true; }
    FileProblem problem() const override { return {}; }
    // Every file is as long as its header says.
    bool whole() const {
        for (const File& f : files_)
            if (f.head.size() < 14 || readLe32(f.head.data() + 2) != f.size) return false;
        return !files_.empty();
    }

private:
    struct File {
        std::vector<std::uint8_t> head;
        std::uint64_t size = 0;
    };
    std::vector<File> files_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    plotvane::fuzz::writeSeedsIfEmpty(*argc, *argv, plotvane::fuzz::databaseSeeds());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    DatabaseHeaderSummary summary;
    checkDatabaseHeader(spanReader(bytes), summary);

    MapProject project;
    CheckedOutput output;
    SilentFeedback feedback;
    if (restoreDatabaseBytes(bytes, project, output, feedback) == RestoreResult::Ok && !output.whole()) __builtin_trap();
    return 0;
}
