#pragma once

#include <functional>
#include <utility>

namespace plotvane {

// Told how far long work is (0..1) between its steps; answering false
// stops it, and a stop is handled exactly like a failure, except that no
// message is shown: nothing is left behind and every existing file stays
// as it was. Empty: nobody is told, and the work runs to its end.
using Progress = std::function<bool(double fraction)>;

// The part [from, to] of the work `whole` reports on: a fraction of the
// part is told as the matching fraction of the whole. Empty when `whole` is.
inline Progress progressPart(const Progress& whole, double from, double to) {
    if (!whole) return {};
    return [whole, from, to](double fraction) { return whole(from + (to - from) * fraction); };
}

// Tells `progress` of `fraction`, when there is someone to tell; false
// when the work is to stop.
inline bool keepGoing(const Progress& progress, double fraction) { return !progress || progress(fraction); }

}  // namespace plotvane
