#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "database/database_loader.h"
#include "project/output_file.h"

namespace plotvane {

// The class bitmaps of a restore written under the output rules: each into
// a new file beside its target, and all put in their places only once every
// class is complete, so a refused or failed restore replaces no file and
// leaves none of its own behind.
class StagedRestore : public RestoreOutput {
public:
    // `target(k)` is where the bitmap of class k (1..4) goes; `inputs` are
    // files no bitmap may replace (the database read).
    StagedRestore(std::function<std::filesystem::path(int)> target, std::vector<std::filesystem::path> inputs);

    std::string fileName(int classNumber) const override;
    bool begin(int classNumber) override;
    bool write(std::span<const std::uint8_t> bytes) override;
    // The class is complete: its writing to disk starts now, while the next
    // classes are decoded, so the sync of the commit finds little to wait for.
    bool end() override;
    FileProblem problem() const override { return problem_; }

    // Puts every file in its place, or none (an earlier file in a place
    // gets its previous contents back); false with problem() set.
    bool commit();

private:
    std::function<std::filesystem::path(int)> target_;
    std::vector<std::filesystem::path> inputs_;
    std::vector<std::unique_ptr<OutputFile>> files_;
    FileProblem problem_;
};

}  // namespace plotvane
