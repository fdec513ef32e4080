// pagerunner's report: one flushed line per call on stdout, load and usage problems on
// stderr, and the exit code the worst outcome sets.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Exit codes.
const int EXIT_ALL_OK = 0;
const int EXIT_CALL_FAILED = 1;
const int EXIT_LOAD_ERROR = 2;
const int EXIT_NO_PLUGIN = 3;

// Keeps the worst outcome so far; runExitCode() returns it.
void noteOutcome(int code);
int runExitCode();

// One line on stdout, flushed at once so that it interleaves with other programs' output.
void say(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A load or usage problem: one line on stderr naming it.
void complain(const std::string& text);

std::string hex(uintptr_t value);
std::string hwndText(HWND h);
std::string systemErrorText(DWORD error);
