#include "app/picture_cache.h"

#include <sys/stat.h>

#include <algorithm>

#include "project/files.h"

namespace plotvane::app {

namespace {

// The largest picture the preview reads: a 4096 x 4096 24-bit bitmap with
// room for a full colour table and some gap before its rows.
constexpr std::uint64_t kMaxPictureBytes = 4096ull * 4096 * 3 + (1u << 20);

bool identityOf(std::FILE* file, FileIdentity& identity) {
    struct stat st {};
    if (::fstat(::fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    identity.device = static_cast<std::uint64_t>(st.st_dev);
    identity.inode = static_cast<std::uint64_t>(st.st_ino);
    identity.size = static_cast<std::uint64_t>(st.st_size);
    identity.modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    identity.modifiedNanoseconds = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    return true;
}

bool isShowable(const BmpHeaders& h) {
    if (!hasBmpLayout(h) || !isSupportedBitDepth(h.biBitCount) || h.biCompression != 0) return false;
    return h.biWidth >= 1 && h.biWidth <= kMaxBmpSide && pictureHeight(h) >= 1 && pictureHeight(h) <= kMaxBmpSide;
}

// Bytes from the start of the file to the end of the last pixel row.
std::uint64_t bytesNeeded(const BmpHeaders& h) {
    return h.bfOffBits + pixelRowStride(h.biWidth, h.biBitCount) * static_cast<std::uint64_t>(pictureHeight(h));
}

}  // namespace

std::unique_ptr<BmpPicture> BmpPicture::open(std::FILE* file, std::uint64_t fileSize) {
    std::uint8_t bytes[kBmpHeaderBytes];
    BmpHeaders h;
    if (!seekTo(file, 0) || !readExact(file, bytes, sizeof bytes) || !parseBmpHeaders(bytes, h)) return nullptr;
    if (!isShowable(h)) return nullptr;
    const std::uint64_t needed = bytesNeeded(h);
    if (needed > fileSize || needed > kMaxPictureBytes) return nullptr;
    std::unique_ptr<BmpPicture> picture(new BmpPicture());
    if (!readColourTable(file, h, picture->table_)) return nullptr;
    picture->headers_ = h;
    picture->stride_ = pixelRowStride(h.biWidth, h.biBitCount);
    picture->width_ = h.biWidth;
    picture->height_ = static_cast<int>(pictureHeight(h));
    // Left unset: the pages of rows never read are never touched.
    picture->rows_ = std::make_unique_for_overwrite<std::uint8_t[]>(
        static_cast<std::size_t>(picture->stride_ * static_cast<std::uint64_t>(picture->height_)));
    picture->read_.assign(static_cast<std::size_t>(picture->height_), false);
    return picture;
}

std::uint64_t BmpPicture::storedRow(int y) const {
    return static_cast<std::uint64_t>(headers_.topDown ? y : height_ - 1 - y);
}

bool BmpPicture::readRows(std::FILE* file, std::int64_t first, std::int64_t end) {
    const int top = static_cast<int>(std::clamp<std::int64_t>(first, 0, height_));
    const int bottom = static_cast<int>(std::clamp<std::int64_t>(end, 0, height_));
    for (int y = top; y < bottom;) {
        if (read_[static_cast<std::size_t>(y)]) {
            ++y;
            continue;
        }
        int runEnd = y + 1;
        while (runEnd < bottom && !read_[static_cast<std::size_t>(runEnd)]) ++runEnd;
        // Adjacent rows from the top are adjacent in the file, one way or
        // the other, so a run is one read.
        const std::uint64_t stored = std::min(storedRow(y), storedRow(runEnd - 1));
        const std::uint64_t count = static_cast<std::uint64_t>(runEnd - y);
        if (!seekTo(file, headers_.bfOffBits + stored * stride_) ||
            !readExact(file, rows_.get() + stored * stride_, static_cast<std::size_t>(count * stride_)))
            return false;
        for (int r = y; r < runEnd; ++r) read_[static_cast<std::size_t>(r)] = true;
        y = runEnd;
    }
    return true;
}

std::uint32_t BmpPicture::pixel(int x, int y) const {
    const std::uint8_t* row = rows_.get() + storedRow(y) * stride_;
    const auto packed = [](Rgb c) {
        return static_cast<std::uint32_t>(c[0]) << 16 | static_cast<std::uint32_t>(c[1]) << 8 | c[2];
    };
    const auto column = static_cast<std::size_t>(x);
    switch (headers_.biBitCount) {
    case 1: return packed(table_.rgb((row[column / 8] >> (7 - column % 8)) & 1u));
    case 4: return packed(table_.rgb((row[column / 2] >> (column % 2 == 0 ? 4 : 0)) & 0xFu));
    case 8: return packed(table_.rgb(row[column]));
    default: {
        const std::uint8_t* p = row + 3 * column;
        return packed({p[2], p[1], p[0]});
    }
    }
}

const BmpPicture* PictureCache::picture(const std::filesystem::path& path, std::int64_t first, std::int64_t end) {
    FilePtr file = openFile(path, "rb");
    FileIdentity identity;
    if (!file || !identityOf(file.get(), identity)) {
        clear();
        return nullptr;
    }
    if (!picture_ || path != path_ || identity != identity_) {
        picture_ = BmpPicture::open(file.get(), identity.size);
        path_ = path;
        identity_ = identity;
    }
    if (picture_ && !picture_->readRows(file.get(), first, end)) clear();
    return picture_.get();
}

void PictureCache::forget(const std::filesystem::path& path) {
    if (path == path_) clear();
}

void PictureCache::clear() {
    picture_.reset();
    path_.clear();
    identity_ = {};
}

}  // namespace plotvane::app
