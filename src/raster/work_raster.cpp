#include "raster/work_raster.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "project/byte_order.h"
#include "project/files.h"
#include "raster/colour_mapping.h"
#include "raster/error_diffusion.h"

namespace plotvane {

namespace {

// Rows are read, converted and written in blocks of about this many source
// bytes, so memory stays bounded whatever the picture size.
constexpr std::uint64_t kBlockBytes = 384 * 1024;
// Blocks in flight between reading, diffusion and writing.
constexpr int kPipelineSlots = 4;

constexpr std::uint8_t kGreyRampOfMode2[4] = {0, 86, 171, 255};

Message cannotMakeRaster() { return error("Cannot make temp file (temporbl.$$$)."); }

// Remembers the 8-bit index of recent (colour, level) pairs: a map has few
// distinct colours, and the rescaling and mapping cost more than a lookup.
class ColourMemo {
public:
    template <typename Compute>
    std::uint8_t find(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t level, Compute compute) {
        const std::uint64_t key = (std::uint64_t{r} << 24) | (std::uint64_t{g} << 16) | (std::uint64_t{b} << 8) | level;
        const std::size_t slot = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits));
        if (keys_[slot] == key) return values_[slot];
        const std::uint8_t value = compute();
        keys_[slot] = key;
        values_[slot] = value;
        return value;
    }

private:
    static constexpr int kSlotBits = 12;
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
    std::vector<std::uint64_t> keys_ = std::vector<std::uint64_t>(std::size_t{1} << kSlotBits, kEmpty);
    std::vector<std::uint8_t> values_ = std::vector<std::uint8_t>(std::size_t{1} << kSlotBits, 0);
};

// Turns source rows into raster rows for one conversion.
class PixelConverter {
public:
    PixelConverter(const BmpHeaders& h, const ColourTable& table, ColourMode mode, bool dither, bool inverted)
        : width_(h.biWidth),
          depth_(h.biBitCount),
          mode_(mode == ColourMode::Original ? ColourMode::Bpp1 : mode),
          dither_(dither),
          inverted_(inverted),
          stride_(rasterRowBytes(h.biWidth, mode)),
          values_(static_cast<std::size_t>(h.biWidth)) {
        for (unsigned i = 0; i < 256; ++i) {
            const Rgb c = table.rgb(i);
            entryRgb_[i] = c;
            entryBrightness_[i] = brightnessOf(limitedGreySum(c[0], c[1], c[2]));
            entryPlain_[i] = plainValue(c[0], c[1], c[2]);
        }
    }

    // A 1-bit source keeps its two levels, so only deeper sources diffuse.
    bool needsDiffusion() const { return dither_ && depth_ != 1; }
    int diffusionBits() const { return mode_ == ColourMode::Bpp1 ? 1 : (mode_ == ColourMode::Bpp2 ? 2 : 4); }
    std::uint32_t stride() const { return stride_; }

    void brightnessRow(const std::uint8_t* src, double* out) const {
        switch (depth_) {
            case 4:
                for (int x = 0; x < width_; ++x) out[x] = entryBrightness_[nibble(src, x)];
                break;
            case 8:
                for (int x = 0; x < width_; ++x) out[x] = entryBrightness_[src[x]];
                break;
            default:
                for (int x = 0; x < width_; ++x) {
                    const std::uint8_t* p = src + 3 * x;
                    out[x] = brightnessOf(limitedGreySum(p[2], p[1], p[0]));
                }
                break;
        }
    }

    // One raster row, padding included. `levels` holds the dithered levels
    // of the row when the source diffuses, else it is not read.
    void convertRow(const std::uint8_t* src, const std::uint8_t* levels, std::uint8_t* dst) {
        if (depth_ == 1 && mode_ == ColourMode::Bpp1 && !dither_) {
            copyBilevelRow(src, dst);
            return;
        }
        if (depth_ == 1) bilevelValues(src);
        else if (needsDiffusion()) ditheredValues(src, levels);
        else plainValues(src);
        pack(dst);
    }

private:
    static unsigned nibble(const std::uint8_t* src, int x) {
        const std::uint8_t b = src[x / 2];
        return x % 2 == 0 ? b >> 4 : b & 15u;
    }

    std::uint8_t plainValue(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
        return plainRasterValue(mode_, r, g, b);
    }

    std::uint8_t ditheredColour(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t level) {
        return memo_.find(r, g, b, level, [&] {
            const ScaledColour c = rescaleToLevel(r, g, b, limitedGreySum(r, g, b), level);
            return colourMapping(c.red, c.green, c.blue, level / 16);
        });
    }

    std::uint8_t plainColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return memo_.find(r, g, b, 0, [&] { return plainValue(r, g, b); });
    }

    // Without dithering the source bytes are the raster bytes (inverted for
    // a light first entry), bits past the last pixel included.
    void copyBilevelRow(const std::uint8_t* src, std::uint8_t* dst) const {
        const auto used = static_cast<std::size_t>(pixelRowBytes(width_, 1));
        const std::uint8_t flip = inverted_ ? 0xFF : 0x00;
        for (std::size_t i = 0; i < used; ++i) dst[i] = static_cast<std::uint8_t>(src[i] ^ flip);
        std::fill(dst + used, dst + stride_, std::uint8_t{0});
    }

    void bilevelValues(const std::uint8_t* src) {
        std::uint8_t white = 1;
        std::uint8_t black = 0;
        if (mode_ == ColourMode::Bpp2) white = 3;
        if (mode_ == ColourMode::Bpp4) white = 15;
        if (mode_ == ColourMode::Bpp8) {
            white = 0;
            black = 230;
        }
        const unsigned flip = inverted_ ? 1u : 0u;
        for (int x = 0; x < width_; ++x) {
            const unsigned bit = ((src[x / 8] >> (7 - x % 8)) & 1u) ^ flip;
            values_[static_cast<std::size_t>(x)] = bit ? white : black;
        }
    }

    void plainValues(const std::uint8_t* src) {
        std::uint8_t* v = values_.data();
        switch (depth_) {
            case 4:
                for (int x = 0; x < width_; ++x) v[x] = entryPlain_[nibble(src, x)];
                return;
            case 8:
                for (int x = 0; x < width_; ++x) v[x] = entryPlain_[src[x]];
                return;
            default:
                for (int x = 0; x < width_; ++x) {
                    const std::uint8_t* p = src + 3 * x;
                    v[x] = mode_ == ColourMode::Bpp8 ? plainColour(p[2], p[1], p[0]) : plainValue(p[2], p[1], p[0]);
                }
                return;
        }
    }

    void ditheredValues(const std::uint8_t* src, const std::uint8_t* levels) {
        std::uint8_t* v = values_.data();
        switch (mode_) {
            case ColourMode::Bpp1:
                for (int x = 0; x < width_; ++x) v[x] = levels[x] > 128 ? 1 : 0;
                return;
            case ColourMode::Bpp2:
                for (int x = 0; x < width_; ++x) v[x] = static_cast<std::uint8_t>(levels[x] / 64);
                return;
            case ColourMode::Bpp4:
                for (int x = 0; x < width_; ++x) v[x] = static_cast<std::uint8_t>(levels[x] / 16);
                return;
            default: break;
        }
        if (depth_ == 24) {
            for (int x = 0; x < width_; ++x) {
                const std::uint8_t* p = src + 3 * x;
                v[x] = ditheredColour(p[2], p[1], p[0], levels[x]);
            }
            return;
        }
        for (int x = 0; x < width_; ++x) {
            const unsigned index = depth_ == 4 ? nibble(src, x) : src[x];
            const Rgb& c = entryRgb_[index];
            v[x] = ditheredColour(c[0], c[1], c[2], levels[x]);
        }
    }

    // Packs values_ into the raster's pixel format; bits and nibbles past
    // the last pixel and the row padding are 0.
    void pack(std::uint8_t* dst) const {
        const std::uint8_t* v = values_.data();
        std::fill(dst, dst + stride_, std::uint8_t{0});
        switch (mode_) {
            case ColourMode::Bpp1:
                for (int x = 0; x < width_; ++x)
                    dst[x / 8] = static_cast<std::uint8_t>(dst[x / 8] | (v[x] << (7 - x % 8)));
                return;
            case ColourMode::Bpp2:
            case ColourMode::Bpp4:
                for (int x = 0; x < width_; ++x)
                    dst[x / 2] = static_cast<std::uint8_t>(dst[x / 2] | (v[x] << (x % 2 == 0 ? 4 : 0)));
                return;
            default: std::copy(v, v + width_, dst); return;
        }
    }

    int width_;
    std::uint16_t depth_;
    ColourMode mode_;
    bool dither_;
    bool inverted_;
    std::uint32_t stride_;
    std::array<Rgb, 256> entryRgb_{};
    std::array<double, 256> entryBrightness_{};
    std::array<std::uint8_t, 256> entryPlain_{};
    std::vector<std::uint8_t> values_;
    ColourMemo memo_;
};

// One block of consecutive rows on its way through the conversion.
struct RowBlock {
    std::vector<std::uint8_t> source;
    std::vector<double> brightness;
    std::vector<std::uint8_t> levels;
    std::vector<std::uint8_t> raster;
    int firstRow = 0;
    int rows = 0;
};

struct PixelJob {
    std::FILE* source;
    std::FILE* raster;
    const BmpHeaders& headers;
    PixelConverter& converter;
    int height;
    int blockRows;
    int blockCount;
    std::uint64_t sourceStride;
    FileProblem writeProblem;  // its `error` is filled in when a write fails
    const Progress& progress;

    // Told once block `k` is written; false when the conversion is to stop.
    bool written(int k) const { return keepGoing(progress, static_cast<double>(k + 1) / blockCount); }
};

enum class Stage { Free, Read, Diffused };

// Reads the next block's rows; false on a short read.
bool readBlock(const PixelJob& job, BmpRowReader& reader, RowBlock& block, int index) {
    block.firstRow = index * job.blockRows;
    block.rows = std::min(job.blockRows, job.height - block.firstRow);
    if (!reader.read(block.source.data(), static_cast<std::size_t>(block.rows))) return false;
    if (!job.converter.needsDiffusion()) return true;
    const auto width = static_cast<std::size_t>(job.headers.biWidth);
    for (int r = 0; r < block.rows; ++r)
        job.converter.brightnessRow(block.source.data() + job.sourceStride * static_cast<std::uint64_t>(r),
                                    block.brightness.data() + width * static_cast<std::size_t>(r));
    return true;
}

void diffuseBlock(RowDiffuser& diffuser, RowBlock& block) {
    diffuser.diffuseRows(block.brightness.data(), block.levels.data(), block.rows);
}

bool writeBlock(const PixelJob& job, RowBlock& block) {
    const auto width = static_cast<std::size_t>(job.headers.biWidth);
    const std::size_t stride = job.converter.stride();
    for (int r = 0; r < block.rows; ++r) {
        const std::uint8_t* levels =
            block.levels.empty() ? nullptr : block.levels.data() + width * static_cast<std::size_t>(r);
        job.converter.convertRow(block.source.data() + job.sourceStride * static_cast<std::uint64_t>(r), levels,
                                 block.raster.data() + stride * static_cast<std::size_t>(r));
    }
    return writeExact(job.raster, block.raster.data(), stride * static_cast<std::size_t>(block.rows));
}

void allocateBlock(const PixelJob& job, RowBlock& block) {
    const auto rows = static_cast<std::size_t>(job.blockRows);
    const auto width = static_cast<std::size_t>(job.headers.biWidth);
    block.source.resize(static_cast<std::size_t>(job.sourceStride) * rows);
    block.raster.resize(static_cast<std::size_t>(job.converter.stride()) * rows);
    if (!job.converter.needsDiffusion()) return;
    block.brightness.resize(width * rows);
    block.levels.resize(width * rows);
}

RasterResult reportTruncated(Feedback& feedback) {
    feedback.show(headerFaultMessage(HeaderFault::Truncated));
    return RasterResult::Truncated;
}

RasterResult reportWriteFailure(PixelJob& job, int error, Feedback& feedback) {
    feedback.show(cannotMakeRaster());
    job.writeProblem.error = error;
    feedback.explain(job.writeProblem);
    return RasterResult::CannotWriteRaster;
}

// Rows stream through one block at a time: read, convert, write.
RasterResult convertSerially(PixelJob& job, BmpRowReader& reader, Feedback& feedback) {
    RowBlock block;
    allocateBlock(job, block);
    std::unique_ptr<RowDiffuser> diffuser;
    if (job.converter.needsDiffusion())
        diffuser = std::make_unique<RowDiffuser>(job.headers.biWidth, job.converter.diffusionBits());
    for (int k = 0; k < job.blockCount; ++k) {
        if (!readBlock(job, reader, block, k)) return reportTruncated(feedback);
        if (diffuser) diffuseBlock(*diffuser, block);
        if (!writeBlock(job, block)) return reportWriteFailure(job, errno, feedback);
        if (!job.written(k)) return RasterResult::Cancelled;
    }
    return RasterResult::Ok;
}

// The stage of each slot in the ring, the only state the diffusion thread
// shares with the thread that reads and writes.
class SlotStages {
public:
    // Waits until slot `s` has been read; false when the pipeline stopped first.
    bool awaitRead(std::size_t s) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || stage_[s] == Stage::Read; });
        return !stop_;
    }

    // Waits until `readSlot` is free while blocks are left to read, or
    // `writeSlot` is diffused; true when the wait ended for a read.
    bool awaitReadOrWrite(bool readsLeft, std::size_t readSlot, std::size_t writeSlot) {
        bool canRead = false;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
            canRead = readsLeft && stage_[readSlot] == Stage::Free;
            return canRead || stage_[writeSlot] == Stage::Diffused;
        });
        return canRead;
    }

    void set(std::size_t s, Stage stage) {
        {
            std::lock_guard lock(mutex_);
            stage_[s] = stage;
        }
        changed_.notify_all();
    }

    void stop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Stage> stage_ = std::vector<Stage>(kPipelineSlots, Stage::Free);
    bool stop_ = false;
};

// The diffusion thread: each block in file order, once it has been read.
void diffuseAllBlocks(const PixelJob& job, RowDiffuser& diffuser, std::vector<RowBlock>& slots, SlotStages& stages) {
    for (int k = 0; k < job.blockCount; ++k) {
        const auto s = static_cast<std::size_t>(k % kPipelineSlots);
        if (!stages.awaitRead(s)) return;
        diffuseBlock(diffuser, slots[s]);
        stages.set(s, Stage::Diffused);
    }
}

// Reads blocks into free slots and converts and writes the diffused ones,
// reading first whenever both can be done. `writeError` is the errno of a
// failed write.
RasterResult readAndWriteBlocks(PixelJob& job, BmpRowReader& reader, std::vector<RowBlock>& slots, SlotStages& stages,
                       int& writeError) {
    int nextRead = 0;
    int nextWrite = 0;
    while (nextWrite < job.blockCount) {
        const auto readSlot = static_cast<std::size_t>(nextRead % kPipelineSlots);
        const auto writeSlot = static_cast<std::size_t>(nextWrite % kPipelineSlots);
        if (stages.awaitReadOrWrite(nextRead < job.blockCount, readSlot, writeSlot)) {
            if (!readBlock(job, reader, slots[readSlot], nextRead)) return RasterResult::Truncated;
            stages.set(readSlot, Stage::Read);
            ++nextRead;
            continue;
        }
        if (!writeBlock(job, slots[writeSlot])) {
            writeError = errno;
            return RasterResult::CannotWriteRaster;
        }
        if (!job.written(nextWrite)) return RasterResult::Cancelled;
        stages.set(writeSlot, Stage::Free);
        ++nextWrite;
    }
    return RasterResult::Ok;
}

// The diffusion is one serial chain from pixel to pixel, so it gets a
// thread of its own while this thread reads the source and converts and
// writes the rows already diffused. The blocks pass in file order through
// a ring of slots; only the stage of each slot is shared.
RasterResult convertWithDiffusionThread(PixelJob& job, BmpRowReader& reader, Feedback& feedback) {
    std::vector<RowBlock> slots(kPipelineSlots);
    for (RowBlock& slot : slots) allocateBlock(job, slot);
    RowDiffuser diffuser(job.headers.biWidth, job.converter.diffusionBits());
    SlotStages stages;
    std::thread worker;
    try {
        worker = std::thread([&] { diffuseAllBlocks(job, diffuser, slots, stages); });
    } catch (const std::system_error&) {
        return convertSerially(job, reader, feedback);
    }
    int writeError = 0;
    const RasterResult result = readAndWriteBlocks(job, reader, slots, stages, writeError);
    stages.stop();
    worker.join();
    if (result == RasterResult::CannotWriteRaster) return reportWriteFailure(job, writeError, feedback);
    if (result == RasterResult::Truncated) return reportTruncated(feedback);
    return result;
}

RasterResult convertPixels(std::FILE* source, std::FILE* raster, const BmpHeaders& h, PixelConverter& converter,
                           const FileProblem& writeProblem, const Progress& progress, Feedback& feedback) {
    const std::uint64_t sourceStride = pixelRowStride(h.biWidth, h.biBitCount);
    const auto height = static_cast<int>(pictureHeight(h));
    const auto blockRows =
        static_cast<int>(std::clamp<std::uint64_t>(kBlockBytes / sourceStride, 1, static_cast<std::uint64_t>(height)));
    PixelJob job{source,       raster,       h, converter, height, blockRows, (height + blockRows - 1) / blockRows,
                 sourceStride, writeProblem, progress};
    BmpRowReader reader(source, h);
    if (!reader.start()) return reportTruncated(feedback);
    if (!converter.needsDiffusion()) return convertSerially(job, reader, feedback);
    return convertWithDiffusionThread(job, reader, feedback);
}

// Writes colour table entry `index` (blue, green, red, 0) of a raster prefix.
void putEntry(std::vector<std::uint8_t>& out, int index, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    std::uint8_t* e = out.data() + kBmpHeaderBytes + 4 * static_cast<std::size_t>(index);
    e[0] = blue;
    e[1] = green;
    e[2] = red;
    e[3] = 0;
}

// The raster's colour table: black and white, a grey ramp, or the palette.
void putRasterPalette(std::vector<std::uint8_t>& out, ColourMode mode, const Palette& palette) {
    switch (mode) {
        case ColourMode::Bpp2:
            // The other 12 entries stay zero.
            for (int k = 0; k < 4; ++k) putEntry(out, k, kGreyRampOfMode2[k], kGreyRampOfMode2[k], kGreyRampOfMode2[k]);
            break;
        case ColourMode::Bpp4:
            for (int k = 0; k < 16; ++k) {
                const auto g = static_cast<std::uint8_t>(17 * k);
                putEntry(out, k, g, g, g);
            }
            break;
        case ColourMode::Bpp8:
            for (int k = 0; k < kPaletteSize; ++k) {
                const Rgb& c = palette[static_cast<std::size_t>(k)];
                putEntry(out, k, c[0], c[1], c[2]);
            }
            break;
        default:
            putEntry(out, 0, 0, 0, 0);
            putEntry(out, 1, 255, 255, 255);
            break;
    }
}

}  // namespace

std::uint8_t plainRasterValue(ColourMode mode, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const int sum = greySum(red, green, blue);
    const int limited = std::min(sum, 25500);
    switch (mode) {
        case ColourMode::Original:
        case ColourMode::Bpp1: return sum > 12800 ? 1 : 0;
        case ColourMode::Bpp2: return static_cast<std::uint8_t>(limited / 6400);
        case ColourMode::Bpp4: return static_cast<std::uint8_t>(limited / 1600);
        default: return colourMapping(red, green, blue, limited / 1600);
    }
}

std::uint16_t rasterBitCount(ColourMode mode) {
    switch (mode) {
        case ColourMode::Bpp2:
        case ColourMode::Bpp4: return 4;
        case ColourMode::Bpp8: return 8;
        default: return 1;
    }
}

std::uint32_t rasterPixelOffset(ColourMode mode) {
    switch (mode) {
        case ColourMode::Bpp2:
        case ColourMode::Bpp4: return 118;
        case ColourMode::Bpp8: return 978;
        default: return 62;
    }
}

std::uint32_t rasterRowBytes(std::int32_t width, ColourMode mode) {
    return static_cast<std::uint32_t>(pixelRowStride(width, rasterBitCount(mode)));
}

std::vector<std::uint8_t> workRasterPrefix(const BmpHeaders& source, ColourMode mode, const Palette& palette) {
    const std::uint32_t offset = rasterPixelOffset(mode);
    const std::int64_t rows = pictureHeight(source);
    const std::uint32_t height = rows <= kMaxBmpSide ? static_cast<std::uint32_t>(rows) : 0;
    const std::uint32_t rowBytes = rasterRowBytes(source.biWidth, mode);
    const std::uint32_t width = source.biWidth > 0 ? static_cast<std::uint32_t>(source.biWidth) : 0;

    std::vector<std::uint8_t> out(offset, 0);
    std::copy(source.fileHeaderBytes.begin(), source.fileHeaderBytes.end(), out.begin());
    std::copy(source.infoHeaderBytes.begin(), source.infoHeaderBytes.end(), out.begin() + kFileHeaderBytes);
    std::uint8_t* file = out.data();
    std::uint8_t* info = out.data() + kFileHeaderBytes;
    writeLe32(file + 2, rowBytes * height + offset);
    writeLe32(file + 10, offset);
    writeLe32(info + 0, static_cast<std::uint32_t>(kInfoHeaderBytes));
    // Always stored bottom-up, whichever way the source was.
    writeLe32(info + 8, height);
    writeLe16(info + 14, rasterBitCount(mode));
    // Mode 8 states its image size without the row padding.
    writeLe32(info + 20, mode == ColourMode::Bpp8 ? width * height : rowBytes * height);
    const std::uint32_t colours = mode == ColourMode::Bpp8 ? kPaletteSize : 0;
    writeLe32(info + 32, colours);
    writeLe32(info + 36, colours);

    putRasterPalette(out, mode, palette);
    return out;
}

namespace {

// Where the raster goes. The preview's raster is created in place; a raster
// written for the user goes through its OutputFile, which creates it beside
// its target.
class RasterTarget {
public:
    explicit RasterTarget(const RasterRequest& request) : request_(request) {}

    // Creates the raster file; false, after saying why, when it cannot.
    bool create(Feedback& feedback) {
        if (request_.output != nullptr) {
            if (!request_.output->create()) {
                feedback.show(cannotMakeRaster());
                feedback.explain(request_.output->problem());
                return false;
            }
            stream_ = request_.output->stream();
            writeProblem_ = request_.output->writeProblem(0);
            return true;
        }
        own_ = openFile(request_.raster, "wb");
        if (!own_) {
            feedback.show(cannotMakeRaster());
            feedback.explain(FileProblem{FileProblem::Kind::CannotCreate, request_.raster, {}, {}, errno});
            return false;
        }
        stream_ = own_.get();
        writeProblem_ = FileProblem{FileProblem::Kind::CannotWrite, request_.raster, {}, {}, 0};
        return true;
    }

    std::FILE* stream() const { return stream_; }
    const FileProblem& writeProblem() const { return writeProblem_; }

    RasterResult writeFailed(int error, Feedback& feedback) const {
        feedback.show(cannotMakeRaster());
        FileProblem problem = writeProblem_;
        problem.error = error;
        feedback.explain(problem);
        return RasterResult::CannotWriteRaster;
    }

    // Leaves no raster behind when the source turns out not to be a picture.
    void discard() {
        if (request_.output != nullptr) {
            request_.output->discard();
            return;
        }
        own_.reset();
        removeIfExists(request_.raster);
    }

    // Puts the finished raster in place (or closes it), reporting a failure.
    RasterResult finish(Feedback& feedback) {
        if (request_.output != nullptr) {
            if (request_.output->commit()) return RasterResult::Ok;
            feedback.show(cannotMakeRaster());
            feedback.explain(request_.output->problem());
            return RasterResult::CannotWriteRaster;
        }
        if (!flushFile(stream_)) return writeFailed(errno, feedback);
        if (std::fclose(own_.release()) != 0) return writeFailed(errno, feedback);
        return RasterResult::Ok;
    }

private:
    const RasterRequest& request_;
    FilePtr own_;
    std::FILE* stream_ = nullptr;
    FileProblem writeProblem_;
};

// Checks the source file and the record divisions and opens the source.
RasterResult openSourcePicture(MapProject& project, const RasterRequest& request, Feedback& feedback,
                               ControlUpdates& updates, FilePtr& source) {
    if (!fileExists(request.source)) {
        feedback.show(warning("Error : Cannot find bmp-file"));
        return RasterResult::NotFound;
    }
    if (!recomputeRecordDivisions(project, request.mode, request.compressChecked, feedback, updates))
        return RasterResult::CannotCalcRecords;
    source = openFile(request.source, "rb");
    if (!source) {
        feedback.show(warning("Error : Cannot open bmp-file"));
        return RasterResult::CannotOpen;
    }
    return RasterResult::Ok;
}

RasterResult rasterResult(HeaderFault fault) {
    switch (fault) {
        case HeaderFault::None: return RasterResult::Ok;
        case HeaderFault::NotBmp: return RasterResult::NotBmp;
        case HeaderFault::IllegalDepth: return RasterResult::IllegalDepth;
        case HeaderFault::Compressed: return RasterResult::Compressed;
        case HeaderFault::TooSmall: return RasterResult::TooSmall;
        case HeaderFault::TooLarge: return RasterResult::TooLarge;
        case HeaderFault::Truncated: return RasterResult::Truncated;
    }
    return RasterResult::Truncated;
}

RasterResult readSourceHeaders(MapProject& project, std::FILE* source, RasterTarget& target, BmpFileInfo& info,
                               Feedback& feedback) {
    if (!readBmpFileInfo(source, info)) info.headersComplete = false;
    const HeaderFault fault = checkWorkRasterHeaders(project, info, feedback);
    if (fault == HeaderFault::NotBmp) target.discard();
    return rasterResult(fault);
}

// Writes the raster's headers and colour table, then its pixels.
RasterResult writeRasterContent(MapProject& project, const RasterRequest& request, std::FILE* source,
                                const BmpHeaders& h, const RasterTarget& target, Feedback& feedback) {
    project.ditherFlag = request.ditherChecked ? 1 : 0;
    project.rasterDataOffset = rasterPixelOffset(request.mode);
    const std::vector<std::uint8_t> prefix = workRasterPrefix(h, request.mode, project.systemPalette);
    if (!writeExact(target.stream(), prefix.data(), prefix.size())) return target.writeFailed(errno, feedback);

    ColourTable table;
    if (!readColourTable(source, h, table)) {
        feedback.show(headerFaultMessage(HeaderFault::Truncated));
        return RasterResult::Truncated;
    }
    const bool inverted = h.biBitCount == 1 && firstEntryIsLight(table);
    if (h.biBitCount == 1 && request.classIndex >= 0 && request.classIndex < kClassSlots)
        project.classes[static_cast<std::size_t>(request.classIndex)].invertedPolarity = inverted ? 1 : 0;

    try {
        PixelConverter converter(h, table, request.mode, request.ditherChecked, inverted);
        return convertPixels(source, target.stream(), h, converter, target.writeProblem(), request.progress, feedback);
    } catch (const std::bad_alloc&) {
        feedback.show(warning("allocdmatrix error\n"));
        return RasterResult::NoMemory;
    }
}

}  // namespace

RasterResult convertToWorkRaster(MapProject& project, const RasterRequest& request, Feedback& feedback,
                                 ControlUpdates& updates) {
    if (!isColourMode(request.mode)) return RasterResult::UnknownMode;
    FilePtr source;
    const RasterResult opened = openSourcePicture(project, request, feedback, updates, source);
    if (opened != RasterResult::Ok) return opened;
    BusyScope busy(feedback);
    RasterTarget target(request);
    if (!target.create(feedback)) return RasterResult::CannotMakeRaster;
    BmpFileInfo info;
    const RasterResult checked = readSourceHeaders(project, source.get(), target, info, feedback);
    if (checked != RasterResult::Ok) return checked;
    const RasterResult written = writeRasterContent(project, request, source.get(), info.headers, target, feedback);
    if (written != RasterResult::Ok) return written;
    return target.finish(feedback);
}

}  // namespace plotvane
