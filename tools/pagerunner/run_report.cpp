#include "tools/pagerunner/run_report.h"

#include <cstdarg>
#include <cstdio>

namespace {

int exitCode = EXIT_ALL_OK;

}  // namespace

void noteOutcome(int code) {
  if (code > exitCode) exitCode = code;
}

void say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
  fputc('\n', stdout);
  fflush(stdout);
}

void complain(const std::string& text) {
  fflush(stdout);
  fprintf(stderr, "pagerunner: %s\n", text.c_str());
  fflush(stderr);
}

std::string hex(uintptr_t value) {
  char buf[32];
  snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(value));
  return buf;
}

std::string hwndText(HWND h) { return hex(reinterpret_cast<uintptr_t>(h)); }

std::string systemErrorText(DWORD error) {
  char buf[256] = "";
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, buf, sizeof buf, nullptr);
  while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r' || buf[n - 1] == ' ')) buf[--n] = 0;
  return "error " + std::to_string(error) + (n ? ": " + std::string(buf) : std::string());
}

int runExitCode() { return exitCode; }
