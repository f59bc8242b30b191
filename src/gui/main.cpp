// plotvane2: the converter's window. It keeps its temporary files in the
// folder it is started in.
#include <filesystem>
#include <system_error>

#include <QApplication>

#include "app/main_dialog.h"
#include "gui/dialog_builder.h"
#include "gui/main_window.h"
#include "gui/qt_platform.h"
#include "gui/quit_on_signal.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    plotvane::qtui::configureApplication();
    plotvane::qtui::quitOnSignals();

    std::error_code ec;
    std::filesystem::path workDir = std::filesystem::current_path(ec);
    if (ec) workDir = ".";

    plotvane::qtui::QtPlatform platform;
    plotvane::SystemClock clock;
    plotvane::app::MainDialog dialog(platform, workDir, clock);
    if (!dialog.create()) {
        dialog.destroy();
        return 0;
    }
    plotvane::qtui::MainControllerOf<plotvane::app::MainDialog> controller(dialog);
    {
        plotvane::qtui::MainWindow window(controller);
        platform.attachMain(&window);
        window.initialise();
        window.exec();
        platform.attachMain(nullptr);
    }
    dialog.destroy();
    const int signal = plotvane::qtui::quitSignal();
    return signal != 0 ? 128 + signal : 0;
}
