#pragma once

#include <string>
#include <utility>

namespace plotvane {

enum class Icon { None, Information, Exclamation };

// One user-visible report. `text` uses "\n" for line breaks, exactly as the
// dialog shows it; front ends decide how to render it.
struct Message {
    std::string title;
    std::string text;
    Icon icon = Icon::Information;

    bool operator==(const Message&) const = default;
};

inline Message warning(std::string text, Icon icon = Icon::Information) {
    return {"Warning", std::move(text), icon};
}
inline Message error(std::string text, Icon icon = Icon::Information) {
    return {"Error", std::move(text), icon};
}
inline Message info(std::string text, Icon icon = Icon::Information) {
    return {"Info", std::move(text), icon};
}

// How core operations talk to the user. The GUI shows message boxes and the
// wait cursor, the command line prints to stderr, tests record.
class Feedback {
public:
    virtual ~Feedback() = default;
    virtual void show(const Message& message) = 0;
    // Called with true when a long operation starts and false when it ends;
    // calls nest, so implementations count them.
    virtual void setBusy(bool busy) { (void)busy; }
};

// Shows the wait cursor for the lifetime of the scope, on every return path.
class BusyScope {
public:
    explicit BusyScope(Feedback& feedback) : feedback_(feedback) { feedback_.setBusy(true); }
    ~BusyScope() { feedback_.setBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Feedback& feedback_;
};

}  // namespace plotvane
