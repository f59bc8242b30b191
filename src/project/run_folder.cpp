#include "project/run_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>

#include "project/interrupt_cleanup.h"

namespace plotvane {

namespace {

constexpr std::string_view kFolderPrefix = "plotvane2-";
constexpr std::size_t kFolderSuffixLength = 6;  // mkdtemp's XXXXXX
constexpr const char* kOwnerName = "owner";
constexpr const char* kOwnerDraftName = "owner.new";
constexpr const char* kRecordName = "unfinished";
constexpr std::string_view kOwnerText = "plotvane2 run ";
// Far above any list a run writes (one entry per output it makes).
constexpr std::size_t kRecordLimit = std::size_t{1} << 24;

// The list of the newest run folder, -1 when the process has none.
std::atomic<int> currentRecord{-1};

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Reads at most `limit` bytes; false on an error.
bool readAll(int fd, std::string& text, std::size_t limit) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (text.size() + static_cast<std::size_t>(n) > limit) return false;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

bool isAlphanumeric(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

bool isRunFolderName(std::string_view name) {
    if (!name.starts_with(kFolderPrefix) || name.size() != kFolderPrefix.size() + kFolderSuffixLength) return false;
    for (const char c : name.substr(kFolderPrefix.size()))
        if (!isAlphanumeric(c)) return false;
    return true;
}

// The name createUniqueSibling gives: ".<output>.<number>.tmp".
bool isUnfinishedName(std::string_view name) {
    if (!name.starts_with('.') || !name.ends_with(".tmp")) return false;
    name.remove_suffix(4);
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && dot > 0 && isDigits(name.substr(dot + 1));
}

// "<pid>\n" after the program's own words, as RunFolder writes it.
bool isOwnerText(std::string_view text) {
    if (!text.starts_with(kOwnerText) || !text.ends_with('\n')) return false;
    return isDigits(text.substr(kOwnerText.size(), text.size() - kOwnerText.size() - 1));
}

// Unlinks each file of a dead run's list that is still the file it made.
void removeRecordedFiles(const std::filesystem::path& record) {
    const int fd = ::open(record.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    std::string text;
    const bool read = readAll(fd, text, kRecordLimit);
    ::close(fd);
    if (!read) return;
    std::string_view rest = text;
    // Entries "<device> <inode> <absolute path>", each ended by a NUL: a
    // path holds anything but a NUL.
    for (std::size_t end = rest.find('\0'); end != std::string_view::npos; end = rest.find('\0')) {
        const std::string_view entry = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        unsigned long long device = 0;
        unsigned long long inode = 0;
        const char* p = entry.data();
        const char* last = entry.data() + entry.size();
        auto r = std::from_chars(p, last, device);
        if (r.ec != std::errc() || r.ptr == last || *r.ptr != ' ') continue;
        r = std::from_chars(r.ptr + 1, last, inode);
        if (r.ec != std::errc() || r.ptr == last || *r.ptr != ' ') continue;
        const std::filesystem::path file(std::string(r.ptr + 1, last));
        if (!file.is_absolute() || !isUnfinishedName(file.filename().native())) continue;
        struct stat st {};
        if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) continue;
        if (static_cast<unsigned long long>(st.st_dev) != device || static_cast<unsigned long long>(st.st_ino) != inode)
            continue;
        ::unlink(file.c_str());
    }
}

// Removes `folder` when it is a run folder whose owner is gone.
bool removeIfOwnerGone(const std::filesystem::path& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return false;
    const int fd = ::open((folder / kOwnerName).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    std::string text;
    const bool ours = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid() &&
                      readAll(fd, text, 64) && isOwnerText(text);
    // The owner holds the lock from before the file has its name until its
    // folder is gone: a lock taken here proves the owner is no more.
    if (!ours || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    removeRecordedFiles(folder / kRecordName);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    ::close(fd);
    return !ec;
}

}  // namespace

std::filesystem::path temporaryBase() {
    const char* tmpdir = std::getenv("TMPDIR");
    return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}

int removeLeftoversOfKilledRuns(const std::filesystem::path& base) {
    int removed = 0;
    std::error_code ec;
    std::filesystem::directory_iterator it(base, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        if (isRunFolderName(it->path().filename().native()) && removeIfOwnerGone(it->path())) ++removed;
    return removed;
}

void recordUnfinishedFile(int fd, const std::filesystem::path& path) {
    const int record = currentRecord.load();
    if (record < 0) return;
    struct stat st {};
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec || ::fstat(fd, &st) != 0) return;
    std::string entry = std::to_string(static_cast<unsigned long long>(st.st_dev)) + ' ' +
                        std::to_string(static_cast<unsigned long long>(st.st_ino)) + ' ' + absolute.native();
    entry.push_back('\0');
    // Appended: the entries of two threads never overwrite each other.
    writeAll(record, entry);
}

RunFolder::RunFolder(std::initializer_list<const char*> names) { make(names, temporaryBase()); }

RunFolder::RunFolder(std::initializer_list<const char*> names, const std::filesystem::path& base) {
    make(names, base);
}

void RunFolder::make(std::initializer_list<const char*> names, const std::filesystem::path& base) {
    removeLeftoversOfKilledRuns(base);
    std::string tmpl = (base / (std::string(kFolderPrefix) + "XXXXXX")).string();
    attempted_ = tmpl;
    // Made and registered with the interrupt signals held back, so an
    // interrupt never leaves it behind unregistered.
    InterruptBlock block;
    if (::mkdtemp(tmpl.data()) == nullptr) {
        error_ = errno;
        return;
    }
    path_ = tmpl;
    for (const char* name : names) fileSlots_.push_back(addCleanupFile(path_ / name));
    for (const char* name : {kOwnerDraftName, kOwnerName, kRecordName}) fileSlots_.push_back(addCleanupFile(path_ / name));
    folderSlot_ = addCleanupFolder(path_);

    // The owner file gets its name only once locked and written, so that
    // no other run can find it unlocked while this one lives. Should any
    // step fail, the folder still serves; it is only never taken for a
    // killed run's.
    const std::filesystem::path draft = path_ / kOwnerDraftName;
    const int owner = ::open(draft.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (owner < 0) return;
    if (::flock(owner, LOCK_EX | LOCK_NB) != 0 ||
        !writeAll(owner, std::string(kOwnerText) + std::to_string(::getpid()) + "\n") ||
        ::rename(draft.c_str(), (path_ / kOwnerName).c_str()) != 0) {
        ::close(owner);
        ::unlink(draft.c_str());
        return;
    }
    ownerFd_ = owner;
    recordFd_ = ::open((path_ / kRecordName).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC,
                       0600);
    if (recordFd_ >= 0) previousRecord_ = currentRecord.exchange(recordFd_);
}

void RunFolder::holdFile(const std::filesystem::path& file) {
    InterruptBlock block;
    fileSlots_.push_back(addCleanupFile(file));
}

RunFolder::~RunFolder() {
    if (path_.empty()) return;
    int mine = recordFd_;
    if (mine >= 0) currentRecord.compare_exchange_strong(mine, previousRecord_);
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    dropCleanupFolder(folderSlot_);
    for (const int slot : fileSlots_) dropCleanupFile(slot);
    if (recordFd_ >= 0) ::close(recordFd_);
    // The lock goes last: the folder is gone before it could pass for a
    // killed run's.
    if (ownerFd_ >= 0) ::close(ownerFd_);
}

}  // namespace plotvane
