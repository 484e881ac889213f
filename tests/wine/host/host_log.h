// The test host's log and verdict: checks that record a labelled failure and let the case go on.
#pragma once
#include <string>

// Opens the log file (a Windows path); every line is flushed at once so a crash leaves what happened before it.
bool OpenHostLog(const std::string& path);
void LogLine(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
// Records a failure with its label; the case carries on so one run reports every fault.
void Fail(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
int FailureCount();
// Writes the last line, "PASS" or "FAIL: <count> failed checks", and closes the log.
void CloseHostLog();

// Scoped label put in front of every failure while it lives (nested labels are joined with " / ").
struct LogScope {
  explicit LogScope(const std::string& label);
  ~LogScope();
  LogScope(const LogScope&) = delete;
  LogScope& operator=(const LogScope&) = delete;
};

#define CHECK_TRUE(cond)                                                \
  do {                                                                  \
    if (!(cond)) Fail("%s:%d: expected %s", __FILE__, __LINE__, #cond); \
  } while (0)
#define CHECK_EQ_INT(actual, expected)                                                                                \
  do {                                                                                                                \
    long long a_ = (long long)(actual), e_ = (long long)(expected);                                                   \
    if (a_ != e_)                                                                                                     \
      Fail("%s:%d: %s is %lld (0x%llx), expected %lld", __FILE__, __LINE__, #actual, a_, (unsigned long long)a_, e_); \
  } while (0)
#define CHECK_EQ_STR(actual, expected)                                                                               \
  do {                                                                                                               \
    std::string a_ = (actual), e_ = (expected);                                                                      \
    if (a_ != e_) Fail("%s:%d: %s is \"%s\", expected \"%s\"", __FILE__, __LINE__, #actual, a_.c_str(), e_.c_str()); \
  } while (0)
