#pragma once

#include <QLineEdit>
#include <QStringList>

#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "database/database_writer.h"
#include "gui/dialog_builder.h"
#include "gui/main_window.h"
#include "gui/qt_platform.h"

namespace plotvane::test {

// The Qt platform with the blocking boxes replaced: messages are recorded
// and file dialogs answered from a queue (nullopt = cancelled).
class TestQtPlatform : public qtui::QtPlatform {
public:
    std::vector<Message> messages;
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<ui::FileDialogRequest> fileRequests;

    void showMessage(const Message& message) override { messages.push_back(message); }
    std::optional<std::string> openFileDialog(const ui::FileDialogRequest& request) override { return answer(request); }
    std::optional<std::string> saveFileDialog(const ui::FileDialogRequest& request) override { return answer(request); }

private:
    std::optional<std::string> answer(const ui::FileDialogRequest& request) {
        fileRequests.push_back(request);
        if (fileAnswers.empty()) return std::nullopt;
        auto a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
};

// A main dialog controller that records what reaches it and draws the
// description it is given.
class RecordingController : public qtui::MainController {
public:
    struct Press {
        int x, y;
        unsigned buttons, modifiers;
        bool operator==(const Press&) const = default;
    };

    explicit RecordingController(qtui::QtPlatform& platform) : platform_(platform) {}

    std::vector<int> commands;
    std::vector<bool> checkedAtCommand;  // the clicked control's mark as the command arrived
    std::vector<int> systemCommands;
    std::vector<Press> presses;
    int closes = 0;
    int initialised = 0;
    app::PreviewDescription description;

    void initialise() override { ++initialised; }
    void command(int id) override {
        commands.push_back(id);
        checkedAtCommand.push_back(platform_.isChecked(ui::DialogId::Main, id));
    }
    void systemCommand(int command) override { systemCommands.push_back(command); }
    void mousePress(int x, int y, unsigned buttons, unsigned modifiers) override {
        presses.push_back({x, y, buttons, modifiers});
    }
    void close() override {
        ++closes;
        platform_.endMainDialog();
    }
    app::PreviewDescription describePreview(bool, int, int, int, int) override { return description; }

private:
    qtui::QtPlatform& platform_;
};

// One run of the program: the main dialog in its window in `work`.
struct LiveWindow {
    explicit LiveWindow(const std::filesystem::path& work) : dialog(platform, work, clock) {
        created = dialog.create();
        controller = std::make_unique<qtui::MainControllerOf<app::MainDialog>>(dialog);
        window = std::make_unique<qtui::MainWindow>(*controller);
        platform.attachMain(window.get());
        window->show();
        window->initialise();
    }
    ~LiveWindow() {
        platform.attachMain(nullptr);
        window.reset();
        dialog.destroy();
    }

    QWidget* widget(int id) const { return qtui::findControl(window.get(), id); }
    std::string text(int id) const { return platform.controlText(ui::DialogId::Main, id); }
    bool readOnly(int id) const { return static_cast<QLineEdit*>(widget(id))->isReadOnly(); }
    QStringList messages() const {
        QStringList texts;
        for (const Message& m : platform.messages) texts << qtui::toQString(m.title + "|" + m.text);
        return texts;
    }

    TestQtPlatform platform;
    SystemClock clock;
    app::MainDialog dialog;
    bool created = false;
    std::unique_ptr<qtui::MainControllerOf<app::MainDialog>> controller;
    std::unique_ptr<qtui::MainWindow> window;
};

}  // namespace plotvane::test
