#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "project/feedback.h"
#include "support/bmp_writer.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace plotvane::test {

using Environment = std::map<std::string, std::optional<std::string>>;

// 2023-11-14 22:13:20 UTC: any run not about the clock uses it, so that
// every database a test makes is reproducible.
inline constexpr std::int64_t kFixedEpoch = 1700000000;

// One place to run the command line from: an empty working folder (the
// current folder of every run), a private TMPDIR, a folder for inputs and
// one for outputs. `program` is the plotvane2-cli binary for the runs made
// as processes; a sandbox that runs the command line only in this process
// needs none. Runs get TZ=UTC, SOURCE_DATE_EPOCH=kFixedEpoch and no
// PLOTVANE2_PASSWORD unless `environment` says otherwise (an empty
// optional unsets a variable).
class CliSandbox {
public:
    explicit CliSandbox(std::string program = {});

    const std::filesystem::path& work() const { return work_; }
    const std::filesystem::path& temp() const { return temp_; }
    const std::filesystem::path& inputs() const { return inputs_; }
    const std::filesystem::path& outputs() const { return outputs_; }

    std::filesystem::path input(const std::string& name) const { return inputs_ / name; }
    std::filesystem::path output(const std::string& name) const { return outputs_ / name; }

    // A 1-bit class bitmap in the inputs folder; `black(x, y)` with y from
    // the top. The colour table is black first unless `whiteFirst`.
    std::filesystem::path writeOneBitBmp(const std::string& name, int width, int height,
                                         const std::function<bool(int x, int y)>& black,
                                         bool whiteFirst = false) const;
    // A 24-bit bitmap in the inputs folder, `rgb(x, y)` as 0xRRGGBB.
    std::filesystem::path writeColourBmp(const std::string& name, int width, int height,
                                         const std::function<std::uint32_t(int x, int y)>& rgb) const;

    // Runs the command line in this process (see runCliInProcess), the
    // sandbox's working folder current.
    ProcessResult run(const std::vector<std::string>& args, const Environment& environment = {},
                      const std::string& input = {}) const;
    // The same run as a process of its own, for what only a process shows:
    // signals, pipes, main's exit.
    ProcessResult runAsProcess(const std::vector<std::string>& args, const Environment& environment = {},
                               const std::string& input = {},
                               std::chrono::milliseconds limit = kProcessTimeLimit) const;
    // The environment every run gets, `extra` applied over it.
    Environment environment(const Environment& extra = {}) const;

    // Entries left in the working folder and in TMPDIR: both must stay empty.
    std::vector<std::string> strayFiles() const;

private:
    std::string program_;
    TempDir root_;
    std::filesystem::path work_;
    std::filesystem::path temp_;
    std::filesystem::path inputs_;
    std::filesystem::path outputs_;
};

// A phrase of the line the command line adds when it refuses an output.
const char* cliRefusalPhrase(FileProblem::Kind kind);

std::uint16_t be16At(const std::vector<std::uint8_t>& bytes, std::size_t offset);
std::uint32_t be32At(const std::vector<std::uint8_t>& bytes, std::size_t offset);

// Offset of record `index` as the record list of a database image gives it.
std::uint32_t recordOffsetOf(const std::vector<std::uint8_t>& database, std::size_t index);

}  // namespace plotvane::test
