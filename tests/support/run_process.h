#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace plotvane::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `args` and waits for it. `environment` entries are set
// (an empty optional unsets the variable); `input` is fed to standard input
// (empty input means standard input is at its end at once).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::optional<std::string>>& environment = {},
                         const std::string& input = {}, const std::string& workingDir = {});

}  // namespace plotvane::test
