// Values of command-line options that CLI11 cannot check alone: times, sizes and finite numbers.
#pragma once
#include <cstdint>
#include <string>

// The longest time accepted, in microseconds (100 hours).
constexpr std::int64_t kMaximumTimeMicroseconds = 100LL * 3600 * 1000000;

// "SECONDS[.fraction]" or "[HH:]MM:SS[.fraction]", at most six decimals, 0 .. 100 hours, as whole microseconds
// (exact, so that 12.34 s is frame 617 exactly). False, with a message naming `option`, otherwise.
bool ParseTime(const std::string& text, const char* option, std::int64_t& microseconds, std::string& error);

// "WIDTHxHEIGHT" within the output limits.
bool ParseSize(const std::string& text, int& width, int& height, std::string& error);

// A finite decimal number within [minimum, maximum]; NaN, infinities and trailing text are refused.
bool ParseFiniteNumber(const std::string& text, const char* option, double minimum, double maximum, double& value,
                       std::string& error);

// Plain decimal digits (no sign, no spaces) naming a whole number within [minimum, maximum].
bool ParseWholeNumber(const std::string& text, std::int64_t minimum, std::int64_t maximum, std::int64_t& value);
