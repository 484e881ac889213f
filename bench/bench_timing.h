// The benchmarks' clock: this thread's CPU time, so that other processes on a busy machine do not skew a ratio
// measured in one run, and the median of a run's frame times.
#pragma once
#include <algorithm>
#include <ctime>
#include <vector>

inline double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

inline double Median(std::vector<double> times) {
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}
