#pragma once

#include <cstdint>
#include <vector>

#include "project/feedback.h"
#include "raster/dmatrix.h"

namespace plotvane {

// Floyd-Steinberg weights. The error of pixel (i, j) goes 7/16 to (i, j+1)
// and 3/16, 5/16, 1/16 to (i+1, j-1), (i+1, j), (i+1, j+1).
inline constexpr double kWeightRight = 7.0 / 16.0;
inline constexpr double kWeightDownLeft = 3.0 / 16.0;
inline constexpr double kWeightDown = 5.0 / 16.0;
inline constexpr double kWeightDownRight = 1.0 / 16.0;

// Wraps the constant 2 x 3 kernel: current row (0, 0, 7/16), next row
// (3/16, 5/16, 1/16) for columns j - 1, j, j + 1.
void wrapDiffusionKernel(dmatrix& kernel);

// The quantizer of the diffusion with n = 2^bits - 1:
// q = floor(n (255 - v) / 255), out = 255 - q 255 / n.
double diffusionLevelOut(int n, double v);
// The dithered value as the pixel conversion takes it: out truncated toward
// zero and limited to 0..255.
std::uint8_t ditheredLevel(double out);

// Error diffusion over the whole matrix, in place: rows in order (file row
// 0 first), each from left to right; every value becomes its quantized
// level. `buffer` holds 2 rows and at least usedcnum + 1 columns and is
// cleared first; `kernel` is the 2 x 3 weight matrix. The matrix's used
// sizes give the picture.
void errorDiffusion(dmatrix& matrix, dmatrix& buffer, const dmatrix& kernel, int bits, Feedback& feedback);

// Division-free stand-in for the quantizer, bit-identical for every double:
// q(v) is monotone in v, so within each unit interval of v (there is at
// most one level change in it) a single comparison with the exact largest
// v of the upper level decides.
class DiffusionQuantizer {
public:
    struct Bucket {
        double threshold;           // the largest v that takes out[1]
        double out[2];              // [0] above the threshold, [1] at or below
        std::uint8_t level[2];
    };
    static constexpr int kLowestBucket = -320;  // round(v) covered by the table
    static constexpr int kHighestBucket = 320;

    explicit DiffusionQuantizer(int n);

    int n() const { return n_; }
    const Bucket* buckets() const { return buckets_.data(); }

    // The table for 1..4 bits, built once.
    static const DiffusionQuantizer& forBits(int bits);

private:
    int n_;
    std::vector<Bucket> buckets_;
};

// Streams the same diffusion a few rows at a time, giving bit-identical
// levels to errorDiffusion over the whole matrix. Each pixel depends on the
// one before it through its 7/16 share, a chain of dependent floating-point
// steps; a row only needs the row above it to be two pixels ahead, so up to
// kLanes rows advance together, staggered by two pixels, and their chains
// overlap in the processor.
class RowDiffuser {
public:
    static constexpr int kLanes = 4;

    RowDiffuser(int width, int bits);

    // Diffuses the next `rows` rows of `width` values each, stored one after
    // the other; `levels` receives their dithered levels in the same layout.
    void diffuseRows(const double* brightness, std::uint8_t* levels, int rows);
    void diffuseRow(const double* brightness, std::uint8_t* levels) { diffuseRows(brightness, levels, 1); }

private:
    struct Lane;
    template <int Lanes>
    void diffuseGroup(const double* brightness, std::uint8_t* levels);
    void step(Lane& lane, int j) const;

    int width_;
    const DiffusionQuantizer& quantizer_;
    // Error rows: row r reads errors_[r % 5] and spreads into errors_[(r + 1) % 5].
    std::vector<double> errors_[kLanes + 1];
    std::uint64_t rowsDone_ = 0;
};

}  // namespace plotvane
