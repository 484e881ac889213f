// A one-line progress bar on stderr (frames, frames per second, time left), drawn only on a terminal.
#pragma once
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

// The line for `done` of `total` steps after `seconds`: bar, counts, rate and the estimated time left.
// `unit` names the steps ("frames", "colours"). A total of 0 is unknown: counts and rate only.
std::string FormatProgressLine(std::int64_t done, std::int64_t total, double seconds, const char* unit);

struct ProgressBar {
  std::ostream* out = nullptr;  // null: quiet
  std::int64_t total = 0;
  const char* unit = "frames";
  std::chrono::steady_clock::time_point start{};
  std::chrono::steady_clock::time_point lastDraw{};
  bool drawn = false;
};

// `enabled` false (stderr not a terminal) makes every call a no-op.
ProgressBar StartProgress(std::ostream& out, bool enabled, std::int64_t total, const char* unit);
// Redraws at most ten times a second, and always for the last step.
void UpdateProgress(ProgressBar& bar, std::int64_t done);
// Ends the line so that later messages start on their own.
void FinishProgress(ProgressBar& bar);
