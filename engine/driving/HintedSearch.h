// Searches of sorted arrays that start where the last search ended.
//
// A driver looks up the same path and profile every update, each time a little further
// along: the segment it wants is the last one or one of its neighbours.  These searches try
// those first and fall back to a binary search, so that an update costs the same on a path
// of 10^2 points and on one of 10^6.  They return exactly what the plain search returns
// (the same index, whatever the hint): the hint only decides where to look first.
#ifndef CORVANTA_DRIVING_HINTEDSEARCH_H
#define CORVANTA_DRIVING_HINTEDSEARCH_H

#include <cstddef>

namespace corvanta::driving {

// How many neighbours on each side of the hint are tried before the binary search.
inline constexpr std::size_t kHintNeighbours = 4;

// The partition point of the indices [0, n) under `holds`, a predicate that holds for every
// index below some k and for none from k on: that k (n when it holds everywhere), as
// std::partition_point gives it.  `hint` is any index (the last result, typically); it is
// set to the result.
template <class Predicate>
std::size_t hintedPartitionPoint(std::size_t n, std::size_t &hint, Predicate holds) {
  std::size_t low = 0;  // the result lies in [low, high]
  std::size_t high = n;
  const std::size_t start = hint < n ? hint : n;
  if (start < n && holds(start)) {
    // At or beyond start + 1: try the next few, then search what is left.
    low = start + 1;
    for (std::size_t tried = 0; tried < kHintNeighbours && low < n; ++tried, ++low) {
      if (!holds(low)) {
        hint = low;
        return low;
      }
    }
  } else {
    // At or before start: try the few below it, then search what is left.
    high = start;
    for (std::size_t tried = 0; tried < kHintNeighbours && high > 0; ++tried, --high) {
      if (holds(high - 1)) {
        hint = high;
        return high;
      }
    }
  }
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (holds(middle)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  hint = low;
  return low;
}

// The number of j in 1 .. limit for which `holds(j)` (a predicate that holds for a prefix of
// them): by doubling steps from 1, then a binary search, so that the cost grows with the
// answer, not with the limit.
template <class Predicate>
std::size_t gallopingCount(std::size_t limit, Predicate holds) {
  std::size_t known = 0;  // holds for every j <= known
  std::size_t step = 1;
  while (known < limit) {
    const std::size_t probe = limit - known > step ? known + step : limit;
    if (!holds(probe)) {
      // The answer lies in [known, probe - 1].
      std::size_t low = known + 1;
      std::size_t high = probe;  // first j that fails lies in [low, high]
      while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (holds(middle)) {
          low = middle + 1;
        } else {
          high = middle;
        }
      }
      return low - 1;
    }
    known = probe;
    step *= 2;
  }
  return known;
}

}  // namespace corvanta::driving

#endif  // CORVANTA_DRIVING_HINTEDSEARCH_H
