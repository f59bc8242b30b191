#include "support/cli_in_process.h"

#include <fcntl.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "cli/command_line.h"
#include "support/temp_dir.h"

// Where the sanitizers print a report; weak, so that a build without them
// links too.
extern "C" void __sanitizer_set_report_fd(void* fd) __attribute__((weak));

namespace plotvane::test {

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void flushStreams() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
}

// A sanitizer report must reach the test log, not a captured stream that
// is lost when the report ends the process.
void keepSanitizerReportsVisible() {
    static const bool done = [] {
        if (__sanitizer_set_report_fd != nullptr) {
            const int fd = ::fcntl(2, F_DUPFD_CLOEXEC, 100);
            if (fd >= 0) __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<long>(fd)));
        }
        return true;
    }();
    (void)done;
}

// One file descriptor pointed at a file for the lifetime of the object.
class Redirect {
public:
    Redirect(int fd, const fs::path& file, int flags) : fd_(fd), saved_(::dup(fd)) {
        const int opened = ::open(file.c_str(), flags, 0600);
        if (saved_ < 0 || opened < 0 || ::dup2(opened, fd_) < 0) throw std::runtime_error("cannot redirect " + file.string());
        ::close(opened);
    }
    ~Redirect() {
        ::dup2(saved_, fd_);
        ::close(saved_);
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;

private:
    int fd_;
    int saved_;
};

// Standard input starts afresh: no buffered rest or end-of-file mark of
// the run before.
void resetStandardInput() {
    ::clearerr(stdin);
    ::__fpurge(stdin);
    std::cin.clear();
}

class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const ProcessEnvironment& environment) {
        for (const auto& [name, value] : environment) {
            const char* old = std::getenv(name.c_str());
            saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
            set(name, value);
        }
        ::tzset();
    }
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) set(it->first, it->second);
        ::tzset();
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    static void set(const std::string& name, const std::optional<std::string>& value) {
        if (value) ::setenv(name.c_str(), value->c_str(), 1);
        else ::unsetenv(name.c_str());
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class ScopedWorkingDir {
public:
    explicit ScopedWorkingDir(const fs::path& dir) : saved_(fs::current_path()) {
        if (!dir.empty()) fs::current_path(dir);
    }
    ~ScopedWorkingDir() {
        std::error_code ec;
        fs::current_path(saved_, ec);
    }
    ScopedWorkingDir(const ScopedWorkingDir&) = delete;
    ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

private:
    fs::path saved_;
};

}  // namespace

ProcessResult runCliInProcess(const std::vector<std::string>& args, const ProcessEnvironment& environment,
                              const std::string& input, const fs::path& workingDir) {
    keepSanitizerReportsVisible();
    TempDir io;
    {
        std::ofstream in(io / "stdin", std::ios::binary);
        in << input;
    }
    std::vector<const char*> argv{"plotvane2-cli"};
    for (const std::string& a : args) argv.push_back(a.c_str());

    ProcessResult result;
    {
        ScopedEnvironment env(environment);
        ScopedWorkingDir dir(workingDir);
        flushStreams();
        Redirect in(0, io / "stdin", O_RDONLY);
        Redirect out(1, io / "stdout", O_WRONLY | O_CREAT | O_TRUNC);
        Redirect err(2, io / "stderr", O_WRONLY | O_CREAT | O_TRUNC);
        resetStandardInput();
        struct Restore {
            ~Restore() {
                flushStreams();
                resetStandardInput();
            }
        } restore;
        result.exitCode = plotvane::cli::runCommandLine(static_cast<int>(argv.size()), argv.data());
    }
    result.out = slurp(io / "stdout");
    result.err = slurp(io / "stderr");
    return result;
}

}  // namespace plotvane::test
