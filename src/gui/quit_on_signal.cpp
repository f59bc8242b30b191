#include "gui/quit_on_signal.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace plotvane::qtui {

namespace {

int wakeFds[2] = {-1, -1};
int received = 0;

// Only async-signal-safe work here: the event loop does the rest.
extern "C" void onQuitSignal(int signal) {
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[0], &byte, 1);
}

}  // namespace

void quitOnSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakeFds) != 0) return;
    auto* notifier = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        unsigned char byte = 0;
        if (::read(wakeFds[1], &byte, 1) == 1 && received == 0) received = byte;
        // Leaves every event loop, the nested ones of open boxes and
        // dialogs too: each of them returns as if cancelled, and no new one
        // starts, so the main window's loop ends and the clean-up runs.
        QCoreApplication::exit(128 + received);
    });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

int quitSignal() { return received; }

}  // namespace plotvane::qtui
