#include "support/cli_fixtures.h"

#include <stdexcept>
#include <utility>

#include "project/byte_order.h"
#include "support/cli_in_process.h"
#include "support/database_fixtures.h"

namespace plotvane::test {

CliSandbox::CliSandbox(std::string program)
    : program_(std::move(program)),
      work_(root_ / "work"),
      temp_(root_ / "tmp"),
      inputs_(root_ / "in"),
      outputs_(root_ / "out") {
    for (const auto* folder : {&work_, &temp_, &inputs_, &outputs_}) std::filesystem::create_directory(*folder);
}

std::filesystem::path CliSandbox::writeOneBitBmp(const std::string& name, int width, int height,
                                                 const std::function<bool(int x, int y)>& black,
                                                 bool whiteFirst) const {
    BmpRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.bitCount = 1;
    recipe.palette = whiteFirst ? whiteBlackPalette() : blackWhitePalette();
    const std::uint32_t blackIndex = whiteFirst ? 1u : 0u;
    recipe.pixel = [&](int x, int y) { return black(x, y) ? blackIndex : 1u - blackIndex; };
    const auto path = input(name);
    writeFile(path, makeBmp(recipe));
    return path;
}

std::filesystem::path CliSandbox::writeColourBmp(const std::string& name, int width, int height,
                                                 const std::function<std::uint32_t(int x, int y)>& rgb) const {
    BmpRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.bitCount = 24;
    recipe.pixel = rgb;
    const auto path = input(name);
    writeFile(path, makeBmp(recipe));
    return path;
}

Environment CliSandbox::environment(const Environment& extra) const {
    Environment env{{"TZ", "UTC"},
                    {"TMPDIR", temp_.string()},
                    {"SOURCE_DATE_EPOCH", std::to_string(kFixedEpoch)},
                    {"PLOTVANE2_PASSWORD", std::nullopt},
                    {"PLOTVANE2_FAIL_AT", std::nullopt}};
    for (const auto& [name, value] : extra) env[name] = value;
    return env;
}

ProcessResult CliSandbox::run(const std::vector<std::string>& args, const Environment& extra,
                              const std::string& input) const {
    return runCliInProcess(args, environment(extra), input, work_);
}

ProcessResult CliSandbox::runAsProcess(const std::vector<std::string>& args, const Environment& extra,
                                       const std::string& input, std::chrono::milliseconds limit) const {
    return runProcess(program_, args, environment(extra), input, work_.string(), limit);
}

std::vector<std::string> CliSandbox::strayFiles() const {
    std::vector<std::string> names;
    for (const auto& name : folderEntries(work_)) names.push_back("work/" + name);
    for (const auto& name : folderEntries(temp_)) names.push_back("tmp/" + name);
    return names;
}

const char* cliRefusalPhrase(FileProblem::Kind kind) {
    switch (kind) {
        case FileProblem::Kind::Pipe: return "is a named pipe, not a file; it was left as it is";
        case FileProblem::Kind::Socket: return "is a socket, not a file; it was left as it is";
        case FileProblem::Kind::Folder: return "is a folder, not a file; it was left as it is";
        case FileProblem::Kind::Device: return "is a device, not a file; it was left as it is";
        case FileProblem::Kind::SameAsInput: return "; it was left as it is";
        case FileProblem::Kind::CannotResolve: return "cannot follow the link: Too many levels of symbolic links";
        default: return "(no refusal)";
    }
}

std::uint16_t be16At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    if (offset + 2 > bytes.size()) throw std::out_of_range("be16At past the end");
    return readBe16(bytes.data() + offset);
}

std::uint32_t be32At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    if (offset + 4 > bytes.size()) throw std::out_of_range("be32At past the end");
    return readBe32(bytes.data() + offset);
}

std::uint32_t recordOffsetOf(const std::vector<std::uint8_t>& database, std::size_t index) {
    return be32At(database, 78 + 8 * index);
}

}  // namespace plotvane::test
