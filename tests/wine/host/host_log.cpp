// The test host's log file, failure count and failure labels.
#include "host_log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

FILE* g_log = nullptr;
int g_failures = 0;
std::string g_firstFailure;
std::vector<std::string> g_scopes;
CRITICAL_SECTION g_lock;
bool g_lockReady = false;

void WriteLine(const std::string& line) {
  if (g_lockReady) EnterCriticalSection(&g_lock);
  if (g_log != nullptr) {
    std::fputs(line.c_str(), g_log);
    std::fputc('\n', g_log);
    std::fflush(g_log);
  }
  if (g_lockReady) LeaveCriticalSection(&g_lock);
}

std::string Format(const char* format, va_list args) {
  char buffer[2048];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  return buffer;
}

}  // namespace

bool OpenHostLog(const std::string& path) {
  InitializeCriticalSection(&g_lock);
  g_lockReady = true;
  g_log = std::fopen(path.c_str(), "w");
  return g_log != nullptr;
}

void LogLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine(Format(format, args));
  va_end(args);
}

void Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = Format(format, args);
  va_end(args);
  std::string label;
  for (const std::string& scope : g_scopes) label += scope + " / ";
  ++g_failures;
  if (g_firstFailure.empty()) g_firstFailure = label + text;
  WriteLine("  FAILED: " + label + text);
}

int FailureCount() { return g_failures; }

void CloseHostLog() {
  if (g_failures == 0) {
    WriteLine("PASS");
  } else {
    WriteLine("FAIL: " + std::to_string(g_failures) + " failed checks, first: " + g_firstFailure);
  }
  if (g_log != nullptr) std::fclose(g_log);
  g_log = nullptr;
}

LogScope::LogScope(const std::string& label) { g_scopes.push_back(label); }
LogScope::~LogScope() { g_scopes.pop_back(); }
