#include "raster/error_diffusion.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace plotvane {

namespace {

// Column-major 2 x 3: (0,0) (1,0) (0,1) (1,1) (0,2) (1,2).
double kKernelStorage[6] = {0.0, kWeightDownLeft, 0.0, kWeightDown, kWeightRight, kWeightDownRight};

// Total order of doubles as integers, so a binary search can walk them.
std::int64_t orderKey(double x) {
    const auto bits = std::bit_cast<std::int64_t>(x);
    return bits >= 0 ? bits : -(bits & std::numeric_limits<std::int64_t>::max());
}
double fromOrderKey(std::int64_t key) {
    if (key >= 0) return std::bit_cast<double>(key);
    return std::bit_cast<double>((-key) | std::numeric_limits<std::int64_t>::min());
}

double quantizerStep(int n, double v) { return std::floor(n * (255.0 - v) / 255.0); }

double stepOut(int n, double q) { return 255.0 - q * 255.0 / n; }

// Adding 1.5 x 2^52 leaves round-to-nearest-even(v) in the low mantissa bits.
constexpr double kRoundingShift = 6755399441055744.0;

}  // namespace

void wrapDiffusionKernel(dmatrix& kernel) { wrapdmatrix(kernel, kKernelStorage, 2, 3); }

double diffusionLevelOut(int n, double v) { return stepOut(n, quantizerStep(n, v)); }

std::uint8_t ditheredLevel(double out) {
    if (!(out > 0.0)) return 0;
    if (out >= 255.0) return 255;
    return static_cast<std::uint8_t>(out);
}

void errorDiffusion(dmatrix& matrix, dmatrix& buffer, const dmatrix& kernel, int bits, Feedback& feedback) {
    const int n = (1 << bits) - 1;
    const std::int32_t rows = matrix.usedrnum;
    const std::int32_t columns = matrix.usedcnum;
    if (matrix.value == nullptr || buffer.value == nullptr || buffer.maxcnum < columns + 1 || buffer.maxrnum < 2)
        return;
    cleardmatrix(buffer, 0, 0, 2, buffer.maxcnum, feedback);

    for (std::int32_t i = 0; i < rows; ++i) {
        const std::int32_t here = i % 2;
        const std::int32_t next = (i + 1) % 2;
        for (std::int32_t j = 0; j < columns; ++j) {
            const double v = matrix.at(i, j) + buffer.at(here, j);
            const double q = std::floor(n * (255.0 - v) / 255.0);
            const double out = 255.0 - q * 255.0 / n;
            const double e = v - out;
            buffer.at(here, j + 1) += kernel.at(0, 2) * e;
            if (j > 0) buffer.at(next, j - 1) += kernel.at(1, 0) * e;
            buffer.at(next, j) += kernel.at(1, 1) * e;
            buffer.at(next, j + 1) += kernel.at(1, 2) * e;
            matrix.at(i, j) = out;
        }
        cleardmatrix(buffer, here, 0, 1, buffer.maxcnum, feedback);
    }
}

DiffusionQuantizer::DiffusionQuantizer(int n) : n_(n) {
    buckets_.resize(static_cast<std::size_t>(kHighestBucket - kLowestBucket + 1));
    for (int b = kLowestBucket; b <= kHighestBucket; ++b) {
        // Ties round to even, so an even bucket holds both of its half-way
        // points and an odd one neither.
        const double mid = b;
        const double lo = b % 2 == 0 ? mid - 0.5 : std::nextafter(mid - 0.5, mid);
        const double hi = b % 2 == 0 ? mid + 0.5 : std::nextafter(mid + 0.5, mid);
        const double qLo = quantizerStep(n, lo);
        const double qHi = quantizerStep(n, hi);
        Bucket& bucket = buckets_[static_cast<std::size_t>(b - kLowestBucket)];
        bucket.out[0] = stepOut(n, qHi);
        bucket.out[1] = stepOut(n, qLo);
        bucket.level[0] = ditheredLevel(bucket.out[0]);
        bucket.level[1] = ditheredLevel(bucket.out[1]);
        if (qLo == qHi) {
            bucket.threshold = hi;
            continue;
        }
        // Largest v in [lo, hi] that still takes the step of lo. The step
        // never drops by more than one inside a unit interval for n <= 15.
        std::int64_t good = orderKey(lo);
        std::int64_t bad = orderKey(hi);
        while (bad - good > 1) {
            const std::int64_t middle = good + (bad - good) / 2;
            if (quantizerStep(n, fromOrderKey(middle)) == qLo) good = middle;
            else bad = middle;
        }
        bucket.threshold = fromOrderKey(good);
    }
}

const DiffusionQuantizer& DiffusionQuantizer::forBits(int bits) {
    static const DiffusionQuantizer tables[4] = {DiffusionQuantizer(1), DiffusionQuantizer(3), DiffusionQuantizer(7),
                                                 DiffusionQuantizer(15)};
    const int index = bits < 1 ? 0 : (bits > 4 ? 3 : bits - 1);
    return tables[index];
}

// One row on its way through a group: carry is here[j] after its 7/16
// share, pendingLeft and pendingHere are next[j-1] and next[j] before the
// shares still to come, so every buffer element receives its additions in
// the order of the whole-matrix loop.
struct RowDiffuser::Lane {
    const double* brightness;
    std::uint8_t* levels;
    double* here;
    double* next;
    double carry;
    double pendingLeft;
    double pendingHere;
};

RowDiffuser::RowDiffuser(int width, int bits)
    : width_(width), quantizer_(DiffusionQuantizer::forBits(bits)) {
    for (auto& row : errors_) row.assign(static_cast<std::size_t>(width) + 10, 0.0);
}

inline void RowDiffuser::step(Lane& lane, int j) const {
    if (j == 0) {
        lane.carry = lane.here[0];
        lane.pendingLeft = 0.0;
        lane.pendingHere = lane.next[0];
    }
    const double v = lane.brightness[j] + lane.carry;
    double out;
    std::uint8_t level;
    if (v > -300.0 && v < 300.0) {
        const double shifted = v + kRoundingShift;
        const auto rounded =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(shifted)));
        const DiffusionQuantizer::Bucket& bucket = quantizer_.buckets()[rounded - DiffusionQuantizer::kLowestBucket];
        const int below = v <= bucket.threshold;
        out = bucket.out[below];
        level = bucket.level[below];
    } else {
        out = stepOut(quantizer_.n(), quantizerStep(quantizer_.n(), v));
        level = ditheredLevel(out);
    }
    lane.levels[j] = level;
    const double e = v - out;
    lane.carry = lane.here[j + 1] + kWeightRight * e;
    if (j > 0) lane.next[j - 1] = lane.pendingLeft + kWeightDownLeft * e;
    lane.pendingLeft = lane.pendingHere + kWeightDown * e;
    lane.pendingHere = lane.next[j + 1] + kWeightDownRight * e;
    if (j == width_ - 1) {
        lane.next[j] = lane.pendingLeft;
        lane.next[j + 1] = lane.pendingHere;
        std::memset(lane.here, 0, (static_cast<std::size_t>(width_) + 10) * sizeof(double));
    }
}

// Row k of the group works on pixel t - 2k at time t: the row above has then
// finished pixel t - 2k + 2, the last one whose error reaches the buffer
// element this row reads next.
template <int Lanes>
void RowDiffuser::diffuseGroup(const double* brightness, std::uint8_t* levels) {
    const auto width = static_cast<std::size_t>(width_);
    Lane lanes[Lanes];
    for (int k = 0; k < Lanes; ++k) {
        const std::uint64_t row = rowsDone_ + static_cast<std::uint64_t>(k);
        lanes[k] = {brightness + width * static_cast<std::size_t>(k), levels + width * static_cast<std::size_t>(k),
                    errors_[row % (kLanes + 1)].data(), errors_[(row + 1) % (kLanes + 1)].data(), 0.0, 0.0, 0.0};
    }
    const int lag = 2;
    const int last = width_ - 1 + lag * (Lanes - 1);
    const int steadyFrom = lag * (Lanes - 1);
    int t = 0;
    for (; t <= last && t < steadyFrom; ++t)
        for (int k = 0; k < Lanes; ++k) {
            const int j = t - lag * k;
            if (j >= 0 && j < width_) step(lanes[k], j);
        }
    for (; t < width_; ++t)
        for (int k = 0; k < Lanes; ++k) step(lanes[k], t - lag * k);
    for (; t <= last; ++t)
        for (int k = 0; k < Lanes; ++k) {
            const int j = t - lag * k;
            if (j >= 0 && j < width_) step(lanes[k], j);
        }
    rowsDone_ += Lanes;
}

void RowDiffuser::diffuseRows(const double* brightness, std::uint8_t* levels, int rows) {
    const auto width = static_cast<std::size_t>(width_);
    int done = 0;
    for (; rows - done >= kLanes; done += kLanes)
        diffuseGroup<kLanes>(brightness + width * static_cast<std::size_t>(done),
                             levels + width * static_cast<std::size_t>(done));
    for (; done < rows; ++done)
        diffuseGroup<1>(brightness + width * static_cast<std::size_t>(done),
                        levels + width * static_cast<std::size_t>(done));
}

}  // namespace plotvane
