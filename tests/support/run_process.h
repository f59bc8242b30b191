#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace plotvane::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when the process did not exit normally
    std::string out;
    std::string err;
    bool timedOut = false;  // killed at the time limit
};

using ProcessEnvironment = std::map<std::string, std::optional<std::string>>;

inline constexpr std::chrono::milliseconds kProcessTimeLimit{120000};

// A child process started with `args`; `environment` entries are set (an
// empty optional unsets the variable), `input` is fed to standard input
// (empty input means standard input is at its end at once). A process
// still running when the object goes away is killed.
class RunningProcess {
public:
    RunningProcess(const std::string& program, const std::vector<std::string>& args,
                   const ProcessEnvironment& environment = {}, const std::string& input = {},
                   const std::string& workingDir = {});
    ~RunningProcess();
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    void sendSignal(int signal) const;
    // Waits for the end, killing the process at the time limit.
    ProcessResult wait(std::chrono::milliseconds limit = kProcessTimeLimit);

private:
    TempDir io_;
    pid_t pid_ = -1;
};

// Runs `program` and waits for it, at most `limit`.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessEnvironment& environment = {}, const std::string& input = {},
                         const std::string& workingDir = {}, std::chrono::milliseconds limit = kProcessTimeLimit);

}  // namespace plotvane::test
