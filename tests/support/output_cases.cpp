#include "support/output_cases.h"

#include "support/bmp_writer.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <ostream>
#include <stdexcept>

#include <gtest/gtest.h>

namespace plotvane::test {

namespace {

namespace fs = std::filesystem;
using Kind = FileProblem::Kind;

void writeOld(const fs::path& path) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << "old";
    if (!f) throw std::runtime_error("cannot write " + path.string());
}

fs::path makeSocket(const fs::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof address.sun_path) return {};
    std::strcpy(address.sun_path, path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return {};
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound ? path : fs::path{};
}

// A copy of the null device: writing to it would lose the data unseen.
fs::path makeDevice(const fs::path& path) {
    if (::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) return {};
    return path;
}

std::string describe(const fs::path& path) {
    const fs::file_status st = fs::symlink_status(path);
    switch (st.type()) {
        case fs::file_type::symlink: return "link to " + fs::read_symlink(path).string();
        case fs::file_type::directory: return "folder";
        case fs::file_type::fifo: return "pipe";
        case fs::file_type::socket: return "socket";
        case fs::file_type::character: return "device";
        case fs::file_type::regular: {
            std::ifstream f(path, std::ios::binary);
            std::ostringstream s;
            s << f.rdbuf();
            const std::string bytes = s.str();
            // Short contents as they are, long ones by size and digest.
            if (bytes.size() <= 16) return "file " + bytes;
            return "file of " + std::to_string(bytes.size()) + " bytes, digest " +
                   std::to_string(std::hash<std::string>{}(bytes));
        }
        default: return "other";
    }
}

void snapshotInto(const fs::path& root, const fs::path& folder, std::map<std::string, std::string>& entries) {
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
        entries[e.path().lexically_relative(root).string()] = describe(e.path());
        if (fs::symlink_status(e.path()).type() == fs::file_type::directory) snapshotInto(root, e.path(), entries);
    }
}

extern "C" void deadlineReached(int) {
    static const char text[] = "\ntime limit of a test case reached: a call blocked\n";
    [[maybe_unused]] const ssize_t n = ::write(2, text, sizeof text - 1);
    std::_Exit(124);
}

}  // namespace

std::vector<OutputCase> outputCases() {
    using Arrange = std::function<fs::path(const fs::path&, const fs::path&)>;
    auto linkTo = [](std::string target, bool makeTarget) -> Arrange {
        return [=](const fs::path& d, const fs::path&) {
            if (makeTarget) writeOld(d / target);
            fs::create_symlink(target, d / "out");
            return d / "out";
        };
    };
    return {
        {"plainNew", [](const fs::path& d, const fs::path&) { return d / "out"; }, "out", std::nullopt},
        {"plainExisting",
         [](const fs::path& d, const fs::path&) {
             writeOld(d / "out");
             return d / "out";
         },
         "out", std::nullopt},
        {"link", linkTo("real", true), "real", std::nullopt},
        {"absoluteLink",
         [](const fs::path& d, const fs::path&) {
             writeOld(d / "real");
             fs::create_symlink(d / "real", d / "out");
             return d / "out";
         },
         "real", std::nullopt},
        {"linkChainIntoAFolder",
         [](const fs::path& d, const fs::path&) {
             fs::create_directory(d / "sub");
             writeOld(d / "sub" / "real");
             fs::create_symlink("real", d / "sub" / "step");
             fs::create_symlink("sub/step", d / "out");
             return d / "out";
         },
         "sub/real", std::nullopt},
        {"danglingLink", linkTo("later", false), "later", std::nullopt},
        {"pipe",
         [](const fs::path& d, const fs::path&) {
             if (::mkfifo((d / "out").c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
             return d / "out";
         },
         "", Kind::Pipe},
        {"socket", [](const fs::path& d, const fs::path&) { return makeSocket(d / "out"); }, "", Kind::Socket},
        {"folder",
         [](const fs::path& d, const fs::path&) {
             fs::create_directory(d / "out");
             writeOld(d / "out" / "keep");
             return d / "out";
         },
         "", Kind::Folder},
        {"linkToAFolder",
         [](const fs::path& d, const fs::path&) {
             fs::create_directory(d / "place");
             fs::create_symlink("place", d / "out");
             return d / "out";
         },
         "", Kind::Folder},
        {"device", [](const fs::path& d, const fs::path&) { return makeDevice(d / "out"); }, "", Kind::Device},
        {"theInput", [](const fs::path&, const fs::path& input) { return input; }, "", Kind::SameAsInput},
        {"linkToTheInput",
         [](const fs::path& d, const fs::path& input) {
             fs::create_symlink(input.filename(), d / "out");
             return d / "out";
         },
         "", Kind::SameAsInput},
        {"hardLinkToTheInput",
         [](const fs::path& d, const fs::path& input) {
             fs::create_hard_link(input, d / "out");
             return d / "out";
         },
         "", Kind::SameAsInput},
        {"linkLoop",
         [](const fs::path& d, const fs::path&) {
             fs::create_symlink("back", d / "out");
             fs::create_symlink("out", d / "back");
             return d / "out";
         },
         "", Kind::CannotResolve},
    };
}

std::map<std::string, std::string> folderSnapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    snapshotInto(folder, folder, entries);
    return entries;
}

void freshFolderWithOldClass(const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directory(folder);
    writeFile(folder / "class1.bmp", {'o', 'l', 'd'});
}

std::string snapshotOf(const std::vector<std::uint8_t>& bytes) {
    const std::string text(bytes.begin(), bytes.end());
    if (text.size() <= 16) return "file " + text;
    return "file of " + std::to_string(text.size()) + " bytes, digest " + std::to_string(std::hash<std::string>{}(text));
}

void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.name; }

ScopedDeadline::ScopedDeadline(unsigned seconds) {
    ::signal(SIGALRM, deadlineReached);
    ::alarm(seconds);
}

ScopedDeadline::~ScopedDeadline() {
    ::alarm(0);
    ::signal(SIGALRM, SIG_DFL);
}

void sweepFileFailures(const CliSandbox& box, int limit,
                       const std::function<ProcessResult(const std::string& failAt)>& run, const FailureCheck& whole,
                       const FailureCheck& alsoOnFailure) {
    const std::string injected = "plotvane2-cli: PLOTVANE2_FAIL_AT: the failure happened\n";
    const auto inputs = folderSnapshot(box.inputs());
    const auto outputs = folderSnapshot(box.outputs());
    for (const std::string operation : {"open", "write", "flush", "sync", "rename"}) {
        int failures = 0;
        for (int n = 1;; ++n) {
            ASSERT_LT(n, limit) << operation << " never stopped failing";
            const std::string failAt = operation + ":" + std::to_string(n);
            const ProcessResult r = run(failAt);
            ASSERT_FALSE(r.timedOut) << failAt;
            if (!r.err.ends_with(injected)) {
                // Fewer calls than n: the run is whole.
                ASSERT_EQ(r.exitCode, 0) << failAt << "\n" << r.err;
                whole(r, failAt);
                break;
            }
            ++failures;
            EXPECT_EQ(r.exitCode, 1) << failAt << "\n" << r.err;
            EXPECT_TRUE(r.err.starts_with("Warning: ") || r.err.starts_with("Error: ")) << failAt << "\n" << r.err;
            EXPECT_EQ(folderSnapshot(box.outputs()), outputs) << failAt;
            EXPECT_EQ(folderSnapshot(box.inputs()), inputs) << failAt;
            EXPECT_EQ(box.strayFiles(), std::vector<std::string>{}) << failAt;
            if (alsoOnFailure) alsoOnFailure(r, failAt);
        }
        EXPECT_GE(failures, 1) << operation;
    }
}

}  // namespace plotvane::test
