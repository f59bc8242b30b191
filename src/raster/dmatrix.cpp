#include "raster/dmatrix.h"

#include <limits>
#include <new>

namespace plotvane {

void allocdmatrix(dmatrix& matrix, std::int32_t rows, std::int32_t columns, Feedback& feedback) {
    matrix.maxrnum = rows;
    matrix.ldnum = rows;
    matrix.maxcnum = columns;
    matrix.usedrnum = 0;
    matrix.usedcnum = 0;
    matrix.owned.reset();
    matrix.value = nullptr;

    const bool sizesUsable =
        rows >= 0 && columns >= 0 &&
        static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(columns) <=
            std::numeric_limits<std::size_t>::max() / sizeof(double);
    if (sizesUsable) {
        const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
        try {
            matrix.owned.reset(new double[count]);
            matrix.value = matrix.owned.get();
            return;
        } catch (const std::bad_alloc&) {
        }
    }
    feedback.show(warning("allocdmatrix error\n"));
}

void wrapdmatrix(dmatrix& matrix, double* storage, std::int32_t rows, std::int32_t columns) {
    matrix.owned.reset();
    matrix.value = storage;
    matrix.maxrnum = rows;
    matrix.usedrnum = rows;
    matrix.ldnum = rows;
    matrix.maxcnum = columns;
    matrix.usedcnum = columns;
}

void cleardmatrix(dmatrix& matrix, std::int32_t rstart, std::int32_t cstart, std::int32_t rnum,
                  std::int32_t cnum, Feedback& feedback) {
    const std::int64_t rowEnd = static_cast<std::int64_t>(rstart) + rnum;
    const std::int64_t columnEnd = static_cast<std::int64_t>(cstart) + cnum;
    bool outside = false;
    if (matrix.maxrnum < rowEnd) {
        feedback.show(warning("cleardmatrix : dmat->maxrnum < rstart + rnum !!!\n"));
        outside = true;
    }
    if (matrix.maxcnum < columnEnd) {
        feedback.show(warning("cleardmatrix : dmat->maxcnum < cstart + cnum !!!\n"));
        outside = true;
    }
    if (outside || rstart < 0 || cstart < 0 || rnum <= 0 || cnum <= 0 || matrix.value == nullptr) return;

    for (std::int32_t c = cstart; c < columnEnd; ++c)
        for (std::int32_t r = rstart; r < rowEnd; ++r) matrix.at(r, c) = 0.0;
    if (matrix.usedrnum < rowEnd) matrix.usedrnum = static_cast<std::int32_t>(rowEnd);
    if (matrix.usedcnum < columnEnd) matrix.usedcnum = static_cast<std::int32_t>(columnEnd);
}

}  // namespace plotvane
