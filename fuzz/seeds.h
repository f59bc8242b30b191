#pragma once

#include <cstdint>
#include <vector>

// Seed inputs the harnesses write into an empty corpus folder, so that a
// run starts from valid files instead of from nothing.
namespace plotvane::fuzz {

using Bytes = std::vector<std::uint8_t>;

// Databases made by the writer from small class bitmaps: every colour
// mode, compressed or not, with and without texts, corners and password;
// and laid out by hand with tiles that are not a whole number of bytes wide.
std::vector<Bytes> databaseSeeds();

// Class bitmaps of every depth the reader takes, bottom-up and top-down,
// with the 40-byte, V4 and V5 headers, and the RestoreFiles File Load
// writes for the seed databases.
std::vector<Bytes> bmpSeeds();

// Called from LLVMFuzzerInitialize: when the first folder named on the
// command line exists and is empty, fills it with `seeds`.
void writeSeedsIfEmpty(int argc, char** argv, const std::vector<Bytes>& seeds);

}  // namespace plotvane::fuzz
