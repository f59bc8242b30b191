#include "database/database_writer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "database/map_database.h"
#include "database/record_compression.h"
#include "project/files.h"
#include "project/output_file.h"

namespace plotvane {

std::int64_t SystemClock::now() const {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

int SystemClock::localYear(std::int64_t secondsSince1970) const {
    const std::time_t t = static_cast<std::time_t>(secondsSince1970);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) return 0;
    return local.tm_year + 1900;
}

namespace {

constexpr std::size_t kCopyBufferSize = 64u << 10;
// The share of the progress the classes' conversions and cutting take; the
// rest is writing the records.
constexpr double kCompressionShare = 0.95;
bool abnormalYear(int year) { return year >= 1951 && year <= 1997; }

Message cannotMakeDatabase() { return warning("Error : Cannot make pdb-file.", Icon::Exclamation); }

bool anyRecordOverLimit(const MapProject& project) {
    for (std::size_t i = 0; i < project.recordCounter; ++i) {
        const std::uint64_t stored = std::uint64_t{project.recordSizes[i]} + kTileHeaderSize + kCompressedSizeWordSize;
        if (stored > kCompressedRecordLimit) return true;
    }
    return false;
}

std::uint64_t classPixels(const MapProject& project, int k) {
    const MapClassEntry& entry = project.classes[static_cast<std::size_t>(k)];
    return std::uint64_t{entry.width} * entry.height;
}

// A class without geometry (Class 1 after a failed record division) has no
// pixels to cut into records: a database of it would hold no map.
bool anyClassWithoutGeometry(const MapProject& project, int classCount) {
    for (int k = 0; k < classCount; ++k)
        if (classPixels(project, k) == 0) return true;
    return false;
}

std::vector<std::filesystem::path> classFiles(const MapProject& project, int classCount) {
    std::vector<std::filesystem::path> files;
    for (int k = 0; k < classCount; ++k) {
        const MapClassEntry& entry = project.classes[static_cast<std::size_t>(k)];
        files.emplace_back(entry.fileName.str());
        // The user's own picture is an input too, though the rules read its BMP.
        if (!entry.pictureName.empty()) files.emplace_back(entry.pictureName.str());
    }
    return files;
}

// Writes the database once the data of every record is in the
// compression file; every offset is known before the first byte.
class DatabaseFileWriter {
public:
    DatabaseFileWriter(MapProject& project, const WriteRequest& request, bool compress, Feedback& feedback,
                       OutputFile& output)
        : project_(project), request_(request), compress_(compress), feedback_(feedback), output_(output),
          compressionPath_(request.workDir / kCompressionFileName) {}

    WriteResult createOutput() {
        if (!output_.create()) return cannotMake(output_.problem());
        copyBuffer_.resize(kCopyBufferSize);
        std::setvbuf(output_.stream(), nullptr, _IOFBF, kCopyBufferSize);
        return WriteResult::Ok;
    }

    WriteResult writeHead(std::uint32_t writeStamp) {
        const int classCount = request_.classCount;
        const std::uint64_t d = dataRecordCount(project_, classCount);
        const bool hasText = project_.infoTextCount > 0;
        if ((hasText ? 1u : 0u) + d >= kRecordLimit) {
            feedback_.show(warning("Error : [Record number]>=254", Icon::Information));
            return WriteResult::TooManyRecords;
        }
        const InfoTextRecord text = makeInfoTextRecord(project_);
        const RecordLayout layout{static_cast<std::uint32_t>(d),
                                  hasText,
                                  static_cast<std::uint32_t>(text.entries.size()),
                                  text.spareEntries,
                                  project_.recordSizes,
                                  compress_};
        const std::uint32_t n = recordCountOf(layout);
        std::vector<RecordListEntry> list;
        for (std::uint32_t offset : recordOffsets(layout)) list.push_back(RecordListEntry{offset});

        std::vector<std::uint8_t> head;
        appendDatabaseHeader(head, makeDatabaseHeader(project_, writeStamp, static_cast<std::uint16_t>(n)));
        appendRecordList(head, list);
        appendMapHeaderRecord(head, makeMapHeaderRecord(project_, classCount, request_.colourMode));
        if (hasText) appendInfoTextRecord(head, text);
        if (!writeExact(output_.stream(), head.data(), head.size())) return writeFailed();
        return WriteResult::Ok;
    }

    WriteResult writeDataRecords() {
        std::uint64_t start = 0;
        std::size_t record = 0;
        for (int k = 0; k < request_.classCount; ++k) {
            FilePtr compression = openFile(compressionPath_, "rb");
            if (!compression) {
                feedback_.show(warning("Error : Cannot open compressed-file.", Icon::Information));
                return WriteResult::CompressionFileLost;
            }
            if (const WriteResult rc = writeClassRecords(k, compression, start, record); rc != WriteResult::Ok)
                return rc;
            const double written = static_cast<double>(k + 1) / request_.classCount;
            if (!keepGoing(request_.progress, kCompressionShare + (1 - kCompressionShare) * written))
                return WriteResult::Cancelled;
        }
        return WriteResult::Ok;
    }

    // Flushes the new file to disk and puts it in the output's place.
    WriteResult finish() {
        if (!output_.commit()) return cannotMake(output_.problem());
        return WriteResult::Ok;
    }

private:
    // The records of class k: each tile's header (and size word), then its
    // data copied from the compression file, which runs on from `start`.
    WriteResult writeClassRecords(int k, FilePtr& compression, std::uint64_t& start, std::size_t& record) {
        const MapClassEntry& cls = project_.classes[static_cast<std::size_t>(k)];
        const std::uint32_t nx = cls.recordColumns;
        const std::uint32_t ny = cls.recordRows;
        const TileBitmapHeader header = makeTileBitmapHeader(
            static_cast<std::uint16_t>(nx == 0 ? 0 : cls.width / nx),
            static_cast<std::uint16_t>(ny == 0 ? 0 : cls.height / ny), request_.colourMode, compress_);
        const std::uint64_t tiles = std::uint64_t{nx} * ny;
        for (std::uint64_t t = 0; t < tiles; ++t, ++record) {
            const std::uint32_t length = project_.recordSizes[record];
            std::vector<std::uint8_t> prefix;
            appendTileBitmapHeader(prefix, header);
            if (compress_) appendCompressedSizeWordLittleEndian(prefix, static_cast<std::uint16_t>(length + 2));
            if (!writeExact(output_.stream(), prefix.data(), prefix.size())) return writeFailed();
            if (!seekTo(compression.get(), start)) return pointerLost(compression);
            const Copy copied = copy(compression.get(), length);
            if (copied == Copy::OutputFailed) return writeFailed();
            if (copied == Copy::SourceEnded) return pointerLost(compression);
            start += length;
        }
        return WriteResult::Ok;
    }

    WriteResult cannotMake(const FileProblem& problem) {
        feedback_.show(cannotMakeDatabase());
        feedback_.explain(problem);
        return WriteResult::CannotMakeDatabase;
    }
    WriteResult writeFailed() { return cannotMake(output_.writeProblem(errno)); }

    WriteResult pointerLost(FilePtr& compression) {
        compression.reset();
        removeIfExists(compressionPath_);
        feedback_.show(warning("Error : Cannot access compression temp file pointer.", Icon::Exclamation));
        return WriteResult::CompressionPointerLost;
    }

    enum class Copy { Done, OutputFailed, SourceEnded };
    Copy copy(std::FILE* from, std::uint64_t length) {
        while (length > 0) {
            const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, copyBuffer_.size()));
            if (!readExact(from, copyBuffer_.data(), chunk)) return Copy::SourceEnded;
            if (!writeExact(output_.stream(), copyBuffer_.data(), chunk)) return Copy::OutputFailed;
            length -= chunk;
        }
        return Copy::Done;
    }

    MapProject& project_;
    const WriteRequest& request_;
    const bool compress_;
    Feedback& feedback_;
    OutputFile& output_;
    const std::filesystem::path compressionPath_;
    std::vector<std::uint8_t> copyBuffer_;
};

// The compression pass of every class, then the checks of what the passes
// left: one length per record of the grids, and with compression no
// record over 64000 bytes.
WriteResult compressEveryClass(MapProject& project, const WriteRequest& request, bool compress, Feedback& feedback,
                               ControlUpdates& updates) {
    CompressionRequest pass{request.workDir, request.ditherChecked, request.compressChecked};
    // Each class's share of the progress is its share of the pixels.
    std::uint64_t pixels = 0;
    for (int k = 0; k < request.classCount; ++k) pixels += classPixels(project, k);
    std::uint64_t done = 0;
    for (int k = 0; k < request.classCount; ++k) {
        const double from = pixels == 0 ? 0 : static_cast<double>(done) / pixels;
        done += classPixels(project, k);
        const double to = pixels == 0 ? 1 : static_cast<double>(done) / pixels;
        pass.progress = progressPart(request.progress, kCompressionShare * from, kCompressionShare * to);
        const CompressionResult rc =
            compressClassRecords(project, k, request.colourMode, compress, pass, feedback, updates);
        if (rc == CompressionResult::Cancelled) return WriteResult::Cancelled;
        if (rc != CompressionResult::Ok) {
            feedback.show(warning("Error : Can not compress this data.", Icon::Information));
            return WriteResult::CannotCompress;
        }
    }
    // The passes must have produced one length per record of the grids
    // the directory is computed from.
    if (project.recordCounter != dataRecordCount(project, request.classCount) ||
        project.recordSizes.size() < project.recordCounter) {
        feedback.show(warning("Error : Can not compress this data.", Icon::Information));
        return WriteResult::CannotCompress;
    }
    if (compress && anyRecordOverLimit(project)) {
        feedback.show(warning("Error : Compression Data Size Over 64KBytes.", Icon::Information));
        return WriteResult::CompressedRecordTooLarge;
    }
    return WriteResult::Ok;
}

// The file itself once every record's data is known: created beside the
// output, the date checked, the head and the records written, the new
// file put in place.
WriteResult writeDatabaseFile(MapProject& project, const WriteRequest& request, bool compress, const Clock& clock,
                              Feedback& feedback, OutputFile& output) {
    DatabaseFileWriter writer(project, request, compress, feedback, output);
    if (const WriteResult rc = writer.createOutput(); rc != WriteResult::Ok) return rc;
    const std::int64_t now = clock.now();
    if (abnormalYear(clock.localYear(now))) {
        feedback.show(warning("Error : The date of this system is abnormal.", Icon::Information));
        return WriteResult::AbnormalDate;
    }
    if (const WriteResult rc = writer.writeHead(makeWriteStamp(now)); rc != WriteResult::Ok) return rc;
    if (const WriteResult rc = writer.writeDataRecords(); rc != WriteResult::Ok) return rc;
    removeIfExists(request.workDir / kDatabaseRasterName);
    return writer.finish();
}

}  // namespace

WriteResult writeMapDatabase(MapProject& project, const WriteRequest& request, const Clock& clock,
                             Feedback& feedback, ControlUpdates& updates, std::filesystem::path* unfinishedFile) {
    if (unfinishedFile != nullptr) unfinishedFile->clear();
    BusyScope busy(feedback);
    project.recordCounter = 0;
    project.recordSizes.clear();
    // Original mode stores the class bitmaps as they are, never compressed.
    const bool compress = request.compress && request.colourMode != ColourMode::Original;
    WriteRequest effective = request;
    effective.classCount = std::clamp(request.classCount, 0, kClassSlots);
    if (anyClassWithoutGeometry(project, effective.classCount)) {
        feedback.show(cannotDivideMessage());
        return WriteResult::ClassNotDivided;
    }

    // A link, a device or a class bitmap at the output path is refused
    // before any work is done.
    OutputFile output(request.outputPath, classFiles(project, effective.classCount));
    if (!output.check()) {
        feedback.show(cannotMakeDatabase());
        feedback.explain(output.problem());
        return WriteResult::CannotMakeDatabase;
    }
    if (const WriteResult rc = compressEveryClass(project, effective, compress, feedback, updates);
        rc != WriteResult::Ok)
        return rc;
    return writeDatabaseFile(project, effective, compress, clock, feedback, output);
}

}  // namespace plotvane
