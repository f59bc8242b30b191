// Runs the window suites in one application on the offscreen platform.
#include <QApplication>

#include "gui/dialog_builder.h"

int runQtWindowTests(int argc, char** argv);
int runQtMainDialogTests(int argc, char** argv);
int runQtProgramTests(int argc, char** argv);
int runQtClassesTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    plotvane::qtui::configureApplication();
    int failed = runQtWindowTests(argc, argv);
    failed |= runQtMainDialogTests(argc, argv);
    failed |= runQtProgramTests(argc, argv);
    failed |= runQtClassesTests(argc, argv);
    return failed;
}
