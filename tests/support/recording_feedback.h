#pragma once

#include <vector>

#include "project/feedback.h"

namespace plotvane::test {

// Records every message, file problem and busy transition so tests can assert on them.
class RecordingFeedback : public Feedback {
public:
    void show(const Message& message) override { messages.push_back(message); }
    void explain(const FileProblem& problem) override { problems.push_back(problem); }
    void setBusy(bool busy) override {
        busyDepth += busy ? 1 : -1;
        ++busyChanges;
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& m : messages) out.push_back(m.text);
        return out;
    }

    std::vector<Message> messages;
    std::vector<FileProblem> problems;
    int busyDepth = 0;
    int busyChanges = 0;
};

}  // namespace plotvane::test
