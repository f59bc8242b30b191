#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_process.h"

namespace plotvane::test {

// Runs plotvane2-cli's command line inside the test process as a child
// process would run it: with `environment` applied, `input` on standard
// input, `workingDir` as the current folder, and standard output and error
// captured. Everything is put back afterwards. The sweeps run this way, so
// that a case costs a call instead of a process start; the process itself
// (signals, pipes, the exit of main) is tested by real runs.
ProcessResult runCliInProcess(const std::vector<std::string>& args, const ProcessEnvironment& environment,
                              const std::string& input, const std::filesystem::path& workingDir);

}  // namespace plotvane::test
