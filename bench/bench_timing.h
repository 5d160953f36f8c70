#pragma once
// Processor time of the benchmark process: the machine is shared, so wall-clock time
// would measure the neighbours.

#include <algorithm>
#include <ctime>
#include <functional>

namespace nolvo::bench {

inline double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

// The least processor time of `repeat` calls of f.
inline double BestCpuSeconds(const std::function<void()>& f, int repeat) {
  double best = 1e30;
  for (int i = 0; i < repeat; ++i) {
    const double t0 = CpuSeconds();
    f();
    best = std::min(best, CpuSeconds() - t0);
  }
  return best;
}

}  // namespace nolvo::bench
