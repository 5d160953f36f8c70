#pragma once
// How many threads the tools work with. Each holds a worker's memory and stream (and, when
// extracting, a drive of the workspace machine), and more than a few gain nothing, so a
// larger count asked for is cut to kMostThreads rather than made.

#include <algorithm>

namespace nolvo::media {

inline constexpr int kMostThreads = 16;

// The threads a run asked for `asked` uses: 1 to kMostThreads.
inline int ThreadsToUse(int asked) { return std::clamp(asked, 1, kMostThreads); }

}  // namespace nolvo::media
