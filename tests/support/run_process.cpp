#include "support/run_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace plotvane::test {

namespace {

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace

RunningProcess::RunningProcess(const std::string& program, const std::vector<std::string>& args,
                               const ProcessEnvironment& environment, const std::string& input,
                               const std::string& workingDir) {
    const std::string inPath = (io_ / "stdin").string();
    const std::string outPath = (io_ / "stdout").string();
    const std::string errPath = (io_ / "stderr").string();
    {
        std::ofstream in(inPath, std::ios::binary);
        in << input;
    }
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ != 0) return;
    const int in = open(inPath.c_str(), O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (const auto& [name, value] : environment) {
        if (value) setenv(name.c_str(), value->c_str(), 1);
        else unsetenv(name.c_str());
    }
    if (!workingDir.empty() && chdir(workingDir.c_str()) != 0) _exit(127);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

RunningProcess::~RunningProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

void RunningProcess::sendSignal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
}

ProcessResult RunningProcess::wait(std::chrono::milliseconds limit) {
    ProcessResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    // Short runs are the rule: look again soon, then less often.
    auto pause = std::chrono::microseconds(20);
    for (;;) {
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done < 0) throw std::runtime_error("waitpid failed");
        if (done == pid_) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
    pid_ = -1;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = slurp((io_ / "stdout").string());
    result.err = slurp((io_ / "stderr").string());
    return result;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessEnvironment& environment, const std::string& input,
                         const std::string& workingDir, std::chrono::milliseconds limit) {
    RunningProcess process(program, args, environment, input, workingDir);
    return process.wait(limit);
}

}  // namespace plotvane::test
