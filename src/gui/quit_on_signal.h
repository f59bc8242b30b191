#pragma once

namespace plotvane::qtui {

// SIGINT, SIGTERM and SIGHUP (a logout, `kill`, Ctrl+C in the terminal)
// end the window as its close button does, once the running handler has
// returned, so the exit clean-up removes the working files. Call once,
// after the QApplication exists. The number of the signal that ended the
// run, or 0.
void quitOnSignals();
int quitSignal();

}  // namespace plotvane::qtui
