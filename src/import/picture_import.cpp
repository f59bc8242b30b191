#include "import/picture_import.h"

#include <array>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "import/bmp_twin.h"
#include "import/gdal_handles.h"
#include "import/gdal_library.h"
#include "project/files.h"

namespace plotvane::import {

namespace {

// The sniff reads past the file layer on purpose: for a BMP the rules then
// open and read the file exactly as they did before pictures were taken, so
// a BMP project meets the same file operations, failures and messages.
bool startsWithBm(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return true;  // the rules say why it cannot be read
    std::array<char, 2> magic{};
    const ssize_t got = ::read(fd, magic.data(), magic.size());
    ::close(fd);
    if (got != static_cast<ssize_t>(magic.size())) return true;
    return magic[0] == 'B' && magic[1] == 'M';
}

std::uint64_t fnv1a(std::uint64_t hash, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        hash ^= (value >> (8 * i)) & 0xFF;
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace

bool readsAsBmp(const std::filesystem::path& picture) {
    return startsWithBm(picture) || !openRaster(picture.string());
}

std::filesystem::path pictureTwinPath(const std::filesystem::path& picture, const std::filesystem::path& workDir,
                                      std::uint64_t variant) {
    struct stat st {};
    if (::stat(picture.c_str(), &st) != 0) return {};
    std::uint64_t hash = 14695981039346656037ull;
    for (const std::uint64_t v :
         {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
          static_cast<std::uint64_t>(st.st_size), static_cast<std::uint64_t>(st.st_mtim.tv_sec),
          static_cast<std::uint64_t>(st.st_mtim.tv_nsec)})
        hash = fnv1a(hash, v);
    if (variant != 0) hash = fnv1a(hash, variant);
    char name[40];
    std::snprintf(name, sizeof name, "%s%016llx.bmp", kPictureTwinPrefix, static_cast<unsigned long long>(hash));
    return workDir / name;
}

bool isPictureTwinName(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    return name.size() == std::string(kPictureTwinPrefix).size() + 16 + 4 && name.rfind(kPictureTwinPrefix, 0) == 0 &&
           name.ends_with(".bmp");
}

void removePictureTwins(const std::filesystem::path& workDir) {
    std::error_code ec;
    std::filesystem::directory_iterator it(workDir, ec);
    if (ec) return;
    for (const auto& entry : it) {
        if (isPictureTwinName(entry.path())) removeIfExists(entry.path());
    }
}

PictureResult enterClassPicture(const std::filesystem::path& picture, const std::filesystem::path& workDir,
                      Feedback& feedback, ClassPicture& out) {
    out = ClassPicture{picture, false, "BMP"};
    if (startsWithBm(picture)) return PictureResult::Entered;
    DatasetPtr dataset = openRaster(picture.string());
    if (!dataset) return PictureResult::Entered;  // not a picture GDAL reads: the rules refuse it as not a BMP

    out.format = formatName(dataset.get());
    const std::string what = out.format + ", " + feedback.shown(picture.filename().string());
    TwinLayout layout;
    Message refusal;
    if (!chooseTwinLayout(dataset.get(), what, layout, refusal)) {
        feedback.show(refusal);
        return PictureResult::Refused;
    }
    const std::filesystem::path twin = pictureTwinPath(picture, workDir);
    if (twin.empty()) return PictureResult::Entered;
    out.rulesPath = twin;
    out.converted = true;
    if (fileExists(twin)) return PictureResult::Entered;  // decoded before, and unchanged since
    return writeBmpTwin(dataset.get(), layout, what, twin, feedback) == TwinResult::Written ? PictureResult::Entered
                                                                                  : PictureResult::Refused;
}

}  // namespace plotvane::import
