#include "app/picture_cache.h"

#include <sys/stat.h>

#include <span>

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

// Reads the picture of an open file: its headers first, then only as many
// bytes as its rows need.
std::unique_ptr<BmpPicture> readPicture(std::FILE* file, std::uint64_t fileSize) {
    std::vector<std::uint8_t> bytes(kBmpHeaderBytes);
    BmpHeaders h;
    if (!seekTo(file, 0) || !readExact(file, bytes.data(), bytes.size()) || !parseBmpHeaders(bytes, h)) return nullptr;
    if (!isShowable(h)) return nullptr;
    const std::uint64_t needed = bytesNeeded(h);
    if (needed > fileSize || needed > kMaxPictureBytes) return nullptr;
    bytes.resize(static_cast<std::size_t>(needed));
    if (!readExact(file, bytes.data() + kBmpHeaderBytes, bytes.size() - kBmpHeaderBytes)) return nullptr;
    return BmpPicture::decode(std::move(bytes));
}

}  // namespace

std::unique_ptr<BmpPicture> BmpPicture::decode(std::vector<std::uint8_t> bytes) {
    BmpHeaders h;
    if (!parseBmpHeaders(bytes, h) || !isShowable(h) || !pixelRowsFit(h, bytes.size())) return nullptr;
    std::unique_ptr<BmpPicture> picture(new BmpPicture());
    picture->table_ = parseColourTable(std::span<const std::uint8_t>(bytes).subspan(colourTableOffset(h)), h);
    picture->headers_ = h;
    picture->stride_ = pixelRowStride(h.biWidth, h.biBitCount);
    picture->width_ = h.biWidth;
    picture->height_ = static_cast<int>(pictureHeight(h));
    picture->bytes_ = std::move(bytes);
    return picture;
}

std::uint32_t BmpPicture::pixel(int x, int y) const {
    const auto rowFromBottom = static_cast<std::uint64_t>(height_ - 1 - y);
    const std::uint8_t* row = bytes_.data() + pixelRowOffset(headers_, stride_, rowFromBottom);
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

const BmpPicture* PictureCache::picture(const std::filesystem::path& path) {
    FilePtr file = openFile(path, "rb");
    FileIdentity identity;
    if (!file || !identityOf(file.get(), identity)) {
        clear();
        return nullptr;
    }
    if (picture_ && path == path_ && identity == identity_) return picture_.get();
    picture_ = readPicture(file.get(), identity.size);
    path_ = path;
    identity_ = identity;
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
