#pragma once

#include <filesystem>

#include <signal.h>

namespace plotvane {

// What a process stopped by a signal must remove on its way out: the
// unfinished files it writes beside their targets and its private
// temporary folders. The list is process-wide and small (the slots are
// fixed, so a handler can walk it without allocating or locking); a
// front end that stops on signals installs a handler that calls
// removeInterruptedFiles(). Without such a handler the list is unused.

// Registers a file; a slot number for dropCleanupFile, or -1 when the
// list is full or the path too long (the file is then not removed).
int addCleanupFile(const std::filesystem::path& path);
void dropCleanupFile(int slot);

// Registers a folder, removed after the files (so its registered files
// must be registered too); -1 as above.
int addCleanupFolder(const std::filesystem::path& path);
void dropCleanupFolder(int slot);

// Unlinks every registered file, then removes every registered folder.
// Async-signal-safe.
void removeInterruptedFiles() noexcept;

// The signals a cleaning handler stops on: SIGINT, SIGTERM and SIGHUP.
sigset_t interruptSignals();

// One of the interrupt signals came in and is held back.
bool interruptPending();

// Holds the interrupt signals back in the calling thread for its lifetime,
// so that a file is never created without being registered.
class InterruptBlock {
public:
    InterruptBlock();
    ~InterruptBlock();
    InterruptBlock(const InterruptBlock&) = delete;
    InterruptBlock& operator=(const InterruptBlock&) = delete;

private:
    sigset_t previous_;
};

}  // namespace plotvane
