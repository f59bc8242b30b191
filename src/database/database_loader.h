#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "access/password_codec.h"
#include "database/database_reader.h"
#include "database/map_database.h"
#include "project/feedback.h"
#include "project/map_project.h"
#include "project/progress.h"

// File Load: a map database read back into the project, each class rebuilt
// as a BMP file ("mktempfl.001" to "mktempfl.004") that the class rows name.
namespace plotvane {

// ---- RestoreFiles --------------------------------------------------------

// Bits per pixel of the RestoreFiles of a database in colour mode `mode`:
// 1 for modes 0 and 1, 4 for 2 and 4, 8 for 8; 0 for any other mode.
std::uint16_t restoreBitDepth(ColourMode mode);

// The colour table of a mode's RestoreFiles: entry v, for every value v a
// tile can store, is the colour the handheld shows for v (white to black
// in modes 0 to 4, the 231-colour table and then black in mode 8). Where
// the working raster conversion of that colour in the same mode, without
// dithering, would store another value, the entry is the nearest grey
// that it takes back to v; a value that no colour gives (225 and 231 to
// 255 in mode 8) keeps the shown colour. Empty for an unknown mode.
std::vector<Rgb> restoreColourTable(ColourMode mode);

// The BMP headers and colour table of a RestoreFile for a class of
// `width` x `height` pixels (rows bottom-up, no compression, 2834 pixels
// per metre, colours used 0): 62, 118 or 1078 bytes, which is also its
// pixel data offset.
std::vector<std::uint8_t> restoreFileHeader(ColourMode mode, std::uint32_t width, std::uint32_t height);

// Where a restore writes its class bitmaps, one after the other.
class RestoreOutput {
public:
    virtual ~RestoreOutput() = default;
    // The name the class row records for class `classNumber` (1..4).
    virtual std::string fileName(int classNumber) const = 0;
    // Creates or truncates the file of `classNumber`; false when it cannot.
    virtual bool begin(int classNumber) = 0;
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;
    // The file is complete; false when what was written could not be kept.
    // Also called, its result unused, after a class failed, even one whose
    // begin() failed.
    virtual bool end() = 0;
    // Why the last call that returned false failed.
    virtual FileProblem problem() const = 0;
};

// The RestoreFiles in a folder, as the dialog keeps them. A file left open
// by a failure is closed when the object goes away and stays on disk.
class RestoreFolder : public RestoreOutput {
public:
    explicit RestoreFolder(std::filesystem::path folder);
    ~RestoreFolder() override;
    std::string fileName(int classNumber) const override;
    bool begin(int classNumber) override;
    bool write(std::span<const std::uint8_t> bytes) override;
    bool end() override;
    FileProblem problem() const override { return problem_; }

private:
    bool fail(FileProblem::Kind kind);

    std::filesystem::path folder_;
    std::filesystem::path current_;
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    FileProblem problem_;
};

// The RestoreFiles kept in memory, for callers that want the bytes.
class RestoreMemory : public RestoreOutput {
public:
    std::string fileName(int classNumber) const override;
    bool begin(int classNumber) override;
    bool write(std::span<const std::uint8_t> bytes) override;
    bool end() override { return true; }
    FileProblem problem() const override { return {}; }

    // files[k] is class k + 1, as far as it was written.
    std::vector<std::vector<std::uint8_t>> files;
};

// ---- The stages of File Load ---------------------------------------------

// What the restore stage of File Load did. The values are its result
// codes, which give a few outcomes the same number.
enum class RestoreResult : int {
    Ok = 0,
    RestoreFileInTheWay = 1,  // "Plotvane use [mktempfl.001]file. Please delete it." and the others
    NotFound = 1,             // "Error : Cannot find pdb-file"
    CannotOpen = 2,           // "Error : Cannot open pdb-file"
    DamagedMapHeader = 2,     // the identity, record 0, its directory or the texts
    CannotMakeRestoreFile = 3,  // "Cannot make bmp-file."
    DamagedTileGrid = 3,      // the directory entries or record offsets of a class's tiles
    DamagedTiles = 4,         // a tile header or its pixel rows
    Cancelled = 5,            // stopped by its progress: no message was shown
};

// `restoreDatabase` after the database is read: resets the map fields of
// the project, checks the identity and record 0, restores the name,
// version, corners, class rows and information texts, and writes the
// RestoreFile of every class through `output`. Reports every failure:
// damage ("PDB file data", "Not Orbilune data!", "information header";
// title "Error", information icon), or a RestoreFile that cannot be made
// ("Cannot make bmp-file.", exclamation), which is also explained.
// Nothing outside `database` is read. `progress` is told after each tile
// row; a stop ends the restore with Cancelled, silently, leaving the
// output as a failure does.
RestoreResult restoreDatabaseBytes(std::span<const std::uint8_t> database, MapProject& project,
                                   RestoreOutput& output, Feedback& feedback, const Progress& progress = {});

// The restore stage of File Load once no RestoreFile is in the way:
// refuses when the database does not exist ("Error : Cannot find
// pdb-file") or cannot be opened, and then restores it through `output`
// under the wait cursor.
RestoreResult restoreDatabase(const std::filesystem::path& database, RestoreOutput& output, MapProject& project,
                              Feedback& feedback, const Progress& progress = {});

// The restore stage of File Load into the RestoreFiles of `workDir`:
// refuses first while one of them is there ("Plotvane use
// [mktempfl.001]file. Please delete it." and the others).
RestoreResult restoreDatabase(const std::filesystem::path& database, const std::filesystem::path& workDir,
                              MapProject& project, Feedback& feedback);

enum class LoadAccess {
    Settled,      // the mode bytes are set; no dialog is needed
    AskPassword,  // PasswordCheckDialog must decide
};

// The password stage before any dialog. A database without a stored
// password opens read-only with view mode 0 and its loaded password and
// binding are zeroed; one made with the fixed read-only password opens
// read-only with view mode 0. Otherwise nothing changes and the password
// must be asked for.
LoadAccess settleLoadedAccess(MapProject& project);

// The stored password as the checks take it: its 8 bytes.
std::string_view loadedPasswordOf(const MapProject& project);

// The password stage once PasswordCheckDialog (or its stand-in) returned OK
// with `check`: copies the mode it found, or shows "Invalid Password !"
// (title "Error", exclamation icon) and returns false, changing nothing.
bool acceptPasswordCheck(MapProject& project, const PasswordCheck& check, Feedback& feedback);

// The project fields a successful load sets besides the restore itself.
void markDatabaseLoaded(MapProject& project);

}  // namespace plotvane
