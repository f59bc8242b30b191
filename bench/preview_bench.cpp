// Times the window's preview on a 4096 x 4096 24-bit class, in process on
// the offscreen platform: a pan and a click repaint in Original mode and in
// a colour mode, and a zoom against the working-raster conversion of the
// class it zooms into. Prints one line per figure.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QMouseEvent>

#include "app/main_dialog.h"
#include "database/database_writer.h"
#include "project/control_ids.h"
#include "project/control_updates.h"
#include "raster/work_raster.h"
#include "scene/map_scene.h"
#include "gui/dialog_builder.h"
#include "gui/main_window.h"
#include "gui/qt_platform.h"

using namespace plotvane;

namespace {

using Clock = std::chrono::steady_clock;

// The window's platform with the file dialogs answered and the message
// boxes printed, so nothing waits for a user.
class BenchPlatform : public qtui::QtPlatform {
public:
    std::deque<std::string> files;
    int messages = 0;

    void showMessage(const Message& m) override {
        ++messages;
        std::fprintf(stderr, "preview_bench: message %s: %s\n", m.title.c_str(), m.text.c_str());
    }
    std::optional<std::string> openFileDialog(const ui::FileDialogRequest&) override {
        if (files.empty()) return std::nullopt;
        std::string f = files.front();
        files.pop_front();
        return f;
    }
    std::optional<std::string> saveFileDialog(const ui::FileDialogRequest&) override { return std::nullopt; }
};

class SilentFeedback : public Feedback {
public:
    void show(const Message&) override {}
};

double millisecondsOf(const std::function<void()>& f) {
    const auto start = Clock::now();
    f();
    QCoreApplication::processEvents();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void print(const char* label, double ms, const char* note = "") {
    std::printf("%-60s %9.2f ms%s\n", label, ms, note);
}

struct Figures {
    double median = 0, worst = 0;
};

Figures repeated(int times, const std::function<void(int)>& f) {
    std::vector<double> ms;
    for (int i = 0; i < times; ++i) ms.push_back(millisecondsOf([&] { f(i); }));
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

void click(QWidget& window, int x, int y) {
    const QPointF at(x, y);
    QMouseEvent press(QEvent::MouseButtonPress, at, window.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&window, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, window.mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&window, &release);
}

constexpr int kZooms = 7;

double median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

const char* verdict(double ms) { return ms <= 16 ? "  (goal <= 16 ms: met)" : "  (goal <= 16 ms: MISSED)"; }

// One run of the window over a two-class map: Class 1 of `topSide` and
// Class 2 of `side` pixels square. Returns false when a figure missed its
// goal or a message box was shown.
bool run(const std::filesystem::path& work, int topSide, int side, bool colour) {
    std::error_code ec;
    std::filesystem::create_directories(work, ec);
    const auto top = work / "class1.bmp";
    const auto big = work / "class2.bmp";
    if (!scene::writeSceneBmp(top, topSide, topSide, 24) || !scene::writeSceneBmp(big, side, side, 24)) {
        std::fprintf(stderr, "preview_bench: cannot write the classes in %s\n", work.c_str());
        return false;
    }
    const std::string size = std::to_string(side) + "x" + std::to_string(side);
    auto label = [&](const std::string& what) { return what + ", " + size + (colour ? " 8BPP" : " Original"); };

    BenchPlatform platform;
    SystemClock clock;
    bool met = true;
    app::MainDialog dialog(platform, work, clock);
    if (!dialog.create()) return false;
    qtui::MainControllerOf<app::MainDialog> controller(dialog);
    {
        qtui::MainWindow window(controller);
        platform.attachMain(&window);
        window.show();
        window.initialise();
        QCoreApplication::processEvents();

        platform.files = {top.string(), big.string()};
        controller.command(ids::kIdClassButton[0]);
        controller.command(ids::kIdClassButton[1]);
        if (colour) {
            print(label("colour button: conversion and paint").c_str(),
                  millisecondsOf([&] { controller.command(ids::kIdColour); }));
        }

        const int arrows[] = {ids::kIdRight, ids::kIdDown, ids::kIdLeft, ids::kIdUp};
        auto pan = [&](int i) { controller.command(arrows[i % 4]); };
        auto press = [&](int i) { click(window, i % 2 ? 330 : 450, i % 2 ? 100 : 220); };
        Figures f = repeated(40, pan);
        print(label("pan repaint, median").c_str(), f.median);
        print(label("pan repaint, worst").c_str(), f.worst, verdict(f.worst));
        met = met && f.worst <= 16;
        f = repeated(40, press);
        print(label("click repaint, worst").c_str(), f.worst, verdict(f.worst));
        met = met && f.worst <= 16;

        if (colour) {
            // The conversion alone, of the class the zoom goes into.
            MapProject copy = dialog.project();
            SilentFeedback silent;
            ControlUpdates updates;
            RasterRequest request;
            request.classIndex = 1;
            request.mode = ColourMode::Bpp8;
            request.source = big;
            request.raster = work / "bench.$$$";
            // One conversion varies by more than the paint costs, and so does
            // the machine's load: each zoom is timed right after a conversion
            // of its own and the medians are taken. Each conversion writes its
            // raster afresh, as the zoom writes over the small raster the zoom
            // out left.
            std::vector<double> conversions, zooms, extras;
            for (int i = 0; i < kZooms; ++i) {
                std::filesystem::remove(request.raster, ec);
                conversions.push_back(millisecondsOf([&] { convertToWorkRaster(copy, request, silent, updates); }));
                controller.command(ids::kIdZoomOut);
                QCoreApplication::processEvents();
                zooms.push_back(millisecondsOf([&] { controller.command(ids::kIdZoomIn); }));
                extras.push_back(zooms.back() - conversions.back());
            }
            const double extra = median(extras);
            print(label("WorkRaster conversion of Class 2, median").c_str(), median(conversions));
            print(label("zoom to Class 2 with conversion, median").c_str(), median(zooms));
            print(label("zoom minus conversion, median").c_str(), extra, verdict(extra));
            met = met && extra <= 16;
        }
        platform.attachMain(nullptr);
    }
    dialog.destroy();
    return met && platform.messages == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    qtui::configureApplication();

    char pattern[] = "/tmp/preview-bench.XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) return 1;
    const std::filesystem::path work = made;
    // A 4096 x 4096 class cannot be cut into 8-bit records (its side halves
    // to 256, and 256 x 256 pixels exceed the 64000 of a record), so the
    // colour mode runs on the largest square class that can: 3840 pixels,
    // four times a 960-pixel Class 1.
    bool met = run(work / "original", 1024, 4096, false);
    met = run(work / "colour", 960, 3840, true) && met;
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
    return met ? 0 : 1;
}
