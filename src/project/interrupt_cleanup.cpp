#include "project/interrupt_cleanup.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

namespace plotvane {

namespace {

// 0 free, 1 being filled, 2 registered. The handler reads only slots in
// state 2, whose path is complete; a dropped slot is refilled only by a
// later registration.
struct Slot {
    std::atomic<int> state{0};
    char path[PATH_MAX];
};

constexpr int kFileSlots = 32;
constexpr int kFolderSlots = 16;
Slot fileSlots[kFileSlots];
Slot folderSlots[kFolderSlots];

static_assert(std::atomic<int>::is_always_lock_free, "a signal handler reads the slot states");

int addTo(Slot* slots, int count, const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.empty() || text.size() >= PATH_MAX) return -1;
    for (int i = 0; i < count; ++i) {
        int expected = 0;
        if (!slots[i].state.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(slots[i].path, text.c_str(), text.size() + 1);
        slots[i].state.store(2, std::memory_order_release);
        return i;
    }
    return -1;
}

void dropFrom(Slot* slots, int count, int slot) {
    if (slot >= 0 && slot < count) slots[slot].state.store(0, std::memory_order_release);
}

}  // namespace

int addCleanupFile(const std::filesystem::path& path) { return addTo(fileSlots, kFileSlots, path); }
void dropCleanupFile(int slot) { dropFrom(fileSlots, kFileSlots, slot); }
int addCleanupFolder(const std::filesystem::path& path) { return addTo(folderSlots, kFolderSlots, path); }
void dropCleanupFolder(int slot) { dropFrom(folderSlots, kFolderSlots, slot); }

void removeInterruptedFiles() noexcept {
    for (Slot& slot : fileSlots)
        if (slot.state.load(std::memory_order_acquire) == 2) ::unlink(slot.path);
    // A registered folder may hold another one; as many passes as there
    // are slots empty any nesting, whatever the order of registration.
    for (int pass = 0; pass < kFolderSlots; ++pass)
        for (Slot& slot : folderSlots)
            if (slot.state.load(std::memory_order_acquire) == 2) ::rmdir(slot.path);
}

sigset_t interruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

bool interruptPending() {
    sigset_t pending;
    sigemptyset(&pending);
    if (sigpending(&pending) != 0) return false;
    return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1 ||
           sigismember(&pending, SIGHUP) == 1;
}

InterruptBlock::InterruptBlock() {
    const sigset_t set = interruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

InterruptBlock::~InterruptBlock() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace plotvane
