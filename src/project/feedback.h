#pragma once

#include <filesystem>
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

// Why a file could not be written, told after the message it caused. The
// window shows only the message; the command line adds a line that names
// the file and the reason.
struct FileProblem {
    enum class Kind {
        CannotCreate,   // the file itself; `error` says why
        CannotCreateBeside,  // an output's new file beside its target; `error`
        CannotWrite,    // a write, flush, sync or close; `error`
        CannotReplace,  // renaming the new file over the target; `error`
        CannotResolve,  // following the output's links; `error`
        Folder,         // an existing target that is not a regular file ...
        Device,
        Pipe,
        Socket,
        OtherType,
        SameAsInput,    // the target is the file `input`
    };
    Kind kind = Kind::CannotWrite;
    std::filesystem::path path;    // as the caller named it
    std::filesystem::path target;  // where its links lead, when that is elsewhere
    std::filesystem::path input;
    int error = 0;                 // errno

    bool operator==(const FileProblem&) const = default;
};

// How core operations talk to the user. The GUI shows message boxes and the
// wait cursor, the command line prints to stderr, tests record.
class Feedback {
public:
    virtual ~Feedback() = default;
    virtual void show(const Message& message) = 0;
    // Called with true when a long operation starts and false when it ends;
    // calls nest, so implementations count them.
    virtual void setBusy(bool busy) { (void)busy; }
    // Follows the message that a file problem caused.
    virtual void explain(const FileProblem& problem) { (void)problem; }
    // A text from outside the program (a file name, a library's reason) as
    // it is put into a message: a window shows it as it is; a front end
    // that prints lines escapes what could break or forge them.
    virtual std::string shown(const std::string& foreign) const { return foreign; }
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
