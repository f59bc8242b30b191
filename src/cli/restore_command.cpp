// plotvane2-cli restore: "File Load" as one command. The header checks,
// the password stage and the restore are the dialog's own; the class
// bitmaps go into a folder as class1.bmp to classN.bmp instead of the
// dialog's RestoreFiles, so no temporary file is needed.
#include <cstdio>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "access/password_codec.h"
#include "cli/password_source.h"
#include "cli/commands.h"
#include "cli/escaped_text.h"
#include "cli/progress_line.h"
#include "database/database_loader.h"
#include "database/map_database.h"
#include "database/staged_restore.h"
#include "project/files.h"
#include "project/interrupt_cleanup.h"
#include "project/run_folder.h"

namespace plotvane::cli {

namespace {

struct RestoreOptions {
    std::string database;
    std::string folder;
    bool passwordStdin = false;
    ProgressOptions progress;
};

// The folders of -d that did not exist, made outermost first. Unless kept,
// they are removed again innermost first, on an interrupt too; rmdir never
// removes a folder that holds anything, so nothing else can go with them.
class MadeFolders {
public:
    explicit MadeFolders(const std::filesystem::path& folder) {
        std::vector<std::filesystem::path> missing;
        std::error_code ec;
        for (std::filesystem::path p = std::filesystem::absolute(folder, ec).lexically_normal();
             !p.empty() && !std::filesystem::exists(p, ec); p = p.parent_path()) {
            missing.push_back(p);
            if (p == p.parent_path()) break;
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            const InterruptBlock block;
            if (::mkdir(it->c_str(), 0777) != 0) break;
            made_.push_back(*it);
            slots_.push_back(addCleanupFolder(*it));
        }
    }
    ~MadeFolders() {
        for (std::size_t i = made_.size(); i-- > 0;) {
            if (!kept_) ::rmdir(made_[i].c_str());
            dropCleanupFolder(slots_[i]);
        }
    }
    MadeFolders(const MadeFolders&) = delete;
    MadeFolders& operator=(const MadeFolders&) = delete;
    void keep() { kept_ = true; }

private:
    std::vector<std::filesystem::path> made_;
    std::vector<int> slots_;
    bool kept_ = false;
};

const char* viewModeName(std::uint8_t viewMode) {
    switch (viewMode) {
        case 1: return "Information";
        case 2: return "All view";
        default: return "Non Password";
    }
}

int runRestore(const RestoreOptions& options) {
    const std::filesystem::path folder = options.folder;
    std::error_code ec;
    if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec))
        throw UsageError("-d names a file, not a folder: " + options.folder);

    StderrFeedback feedback;
    MapProject project;
    if (readDatabaseHeader(options.database, project, feedback) != DatabaseCheck::Ok) return kExitRefused;
    if (settleLoadedAccess(project) == LoadAccess::AskPassword) {
        const std::string typed = readPassword(options.passwordStdin);
        const PasswordCheck check = fitsPasswordField(typed, feedback)
                                        ? checkPassword(typed, loadedPasswordOf(project), project.access.loadedBinding, feedback)
                                        : PasswordCheck{};
        if (!acceptPasswordCheck(project, check, feedback)) return kExitRefused;
    }

    // Lists the unfinished bitmaps, so that a later run can remove them
    // should this one be killed; a restore needs no temporary file.
    const RunFolder runFolder({});
    MadeFolders madeFolders(folder);
    // Written straight to DIR/class1.bmp .. classN.bmp, all or none: no
    // temporary file of the dialog's is needed.
    StagedRestore outputs([&folder](int k) { return folder / ("class" + std::to_string(k) + ".bmp"); },
                          {options.database});
    {
        ProgressLine progress("Restoring the map database", options.progress);
        if (restoreDatabase(options.database, outputs, project, feedback, progress.callback()) != RestoreResult::Ok)
            return kExitRefused;
    }
    if (!outputs.commit()) {
        feedback.show(error("Cannot make bmp-file.", Icon::Exclamation));
        feedback.explain(outputs.problem());
        return kExitRefused;
    }
    madeFolders.keep();
    markDatabaseLoaded(project);
    for (int k = 0; k < project.classCount; ++k) {
        const MapClassEntry& c = project.classes[static_cast<std::size_t>(k)];
        std::printf("Wrote %s (%u x %u, %u bit%s per pixel)\n", shownPath(c.fileName.str()).c_str(), c.width, c.height,
                    c.bitDepth, c.bitDepth == 1 ? "" : "s");
    }
    std::printf("Access: %s, %s\n", project.access.readOnly != 0 ? "Read Only" : "Full Edit OK",
                viewModeName(project.access.viewMode));
    return kExitOk;
}

}  // namespace

void addRestoreCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<RestoreOptions>();
    CLI::App* sub = app.add_subcommand("restore", "Rebuild the class bitmaps of a map database (.pdb), as \"File Load\" does.");
    sub->footer(
        "Writes DIR/class1.bmp to classN.bmp, one per class, each at the database's own depth (1 bit per\n"
        "pixel for the original and 1-bit modes, 4 for the grey modes, 8 for the 256-colour mode), and\n"
        "prints what it wrote and the access mode the database opened in. Files are replaced only once\n"
        "every class is complete. A database with a password takes it from the first line of standard\n"
        "input with --password-stdin, else from the environment variable PLOTVANE2_PASSWORD.\n"
        "Exit status: 0 written, 1 refused (the messages say why; no file in DIR is replaced), 2 usage error.");
    sub->add_option("database", options->database, "The .pdb file")->required();
    sub->add_option("-d,--directory", options->folder, "The folder to write the class bitmaps into")->required();
    sub->add_flag("--password-stdin", options->passwordStdin, "Read the password from the first line of stdin");
    addProgressOptions(*sub, options->progress);
    sub->callback([&action, options] { action = [options] { return runRestore(*options); }; });
}

}  // namespace plotvane::cli
