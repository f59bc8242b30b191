// plotvane2-cli restore: "File Load" as one command. The header checks,
// the password stage and the restore are the dialog's own; the class
// bitmaps go into a folder as class1.bmp to classN.bmp instead of the
// dialog's RestoreFiles, so no temporary file is needed.
#include <fcntl.h>

#include <cstdio>
#include <cerrno>
#include <span>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "access/password_codec.h"
#include "cli/password_source.h"
#include "cli/commands.h"
#include "database/database_loader.h"
#include "database/map_database.h"
#include "project/files.h"
#include "project/output_file.h"

namespace plotvane::cli {

namespace {

struct RestoreOptions {
    std::string database;
    std::string folder;
    bool passwordStdin = false;
};

// The class bitmaps written straight to DIR/class1.bmp .. classN.bmp under
// the output rules: each into a new file beside its target, and all put in
// their places only once every class is complete, so a refused or failed
// restore replaces no file. The swap of this one write path for another
// touches nothing else.
class ClassFiles : public RestoreOutput {
public:
    ClassFiles(std::filesystem::path folder, std::filesystem::path database)
        : folder_(std::move(folder)), database_(std::move(database)) {}

    std::string fileName(int classNumber) const override {
        return (folder_ / ("class" + std::to_string(classNumber) + ".bmp")).string();
    }
    bool begin(int classNumber) override {
        files_.push_back(std::make_unique<OutputFile>(fileName(classNumber), std::vector{database_}));
        if (files_.back()->create()) return true;
        problem_ = files_.back()->problem();
        return false;
    }
    bool write(std::span<const std::uint8_t> bytes) override {
        if (writeExact(files_.back()->stream(), bytes.data(), bytes.size())) return true;
        problem_ = files_.back()->writeProblem(errno);
        return false;
    }
    // The class is complete: its writing to disk starts now, while the
    // next classes are decoded, so that the sync of the commit finds
    // little left to wait for.
    bool end() override {
        std::FILE* f = files_.empty() ? nullptr : files_.back()->stream();
        if (f == nullptr) return true;
        if (!flushFile(f)) {
            problem_ = files_.back()->writeProblem(errno);
            return false;
        }
#ifdef __linux__
        ::sync_file_range(::fileno(f), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
        return true;
    }
    FileProblem problem() const override { return problem_; }

    // Puts every file in its place, or none; false with problem() set.
    bool commit() { return OutputFile::commitAll(files_, problem_); }

private:
    std::filesystem::path folder_;
    std::filesystem::path database_;
    std::vector<std::unique_ptr<OutputFile>> files_;
    FileProblem problem_;
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
    if (readDatabaseHeader(options.database, project, feedback) != 0) return kExitRefused;
    if (settleLoadedAccess(project) == LoadAccess::AskPassword) {
        const std::string typed = readPassword(options.passwordStdin);
        const PasswordCheck check = fitsPasswordField(typed, feedback)
                                        ? checkPassword(typed, loadedPasswordOf(project), project.access.loadedBinding, feedback)
                                        : PasswordCheck{};
        if (!acceptPasswordCheck(project, check, feedback)) return kExitRefused;
    }

    std::filesystem::create_directories(folder, ec);
    ClassFiles outputs(folder, options.database);
    if (restoreDatabase(options.database, outputs, project, feedback) != 0) return kExitRefused;
    if (!outputs.commit()) {
        feedback.show(error("Cannot make bmp-file.", Icon::Exclamation));
        feedback.explain(outputs.problem());
        return kExitRefused;
    }
    markDatabaseLoaded(project);
    for (int k = 0; k < project.classCount; ++k) {
        const MapClassEntry& c = project.classes[static_cast<std::size_t>(k)];
        std::printf("Wrote %s (%u x %u, %u bit%s per pixel)\n", c.fileName.str().c_str(), c.width, c.height,
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
    sub->callback([&action, options] { action = [options] { return runRestore(*options); }; });
}

}  // namespace plotvane::cli
