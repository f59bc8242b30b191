#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

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

}  // namespace plotvane::test
