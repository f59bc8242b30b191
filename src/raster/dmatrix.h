#pragma once

#include <cstdint>
#include <memory>

#include "project/feedback.h"

namespace plotvane {

// A column-major matrix of doubles: element (r, c) is value[r + c * ldnum].
// An allocated matrix owns its storage; a wrapped one only points at storage
// that outlives it.
struct dmatrix {
    std::int32_t maxrnum = 0;
    std::int32_t maxcnum = 0;
    std::int32_t usedrnum = 0;
    std::int32_t usedcnum = 0;
    std::int32_t ldnum = 0;
    double* value = nullptr;

    double& at(std::int32_t r, std::int32_t c) { return value[r + static_cast<std::int64_t>(c) * ldnum]; }
    double at(std::int32_t r, std::int32_t c) const { return value[r + static_cast<std::int64_t>(c) * ldnum]; }

    std::unique_ptr<double[]> owned;
};

// Obtains rows x columns doubles, not initialised. When they cannot be
// obtained (or the sizes are negative or their product does not fit) it
// shows "allocdmatrix error\n" and leaves `value` empty.
void allocdmatrix(dmatrix& matrix, std::int32_t rows, std::int32_t columns, Feedback& feedback);

// Describes `storage` (rows x columns, column-major) without owning it.
void wrapdmatrix(dmatrix& matrix, double* storage, std::int32_t rows, std::int32_t columns);

// Zeroes rows rstart..rstart+rnum-1 of columns cstart..cstart+cnum-1 and
// raises the used sizes to cover them. A rectangle past the allocated
// bounds is reported (rows first) and nothing is cleared.
void cleardmatrix(dmatrix& matrix, std::int32_t rstart, std::int32_t cstart, std::int32_t rnum,
                  std::int32_t cnum, Feedback& feedback);

}  // namespace plotvane
