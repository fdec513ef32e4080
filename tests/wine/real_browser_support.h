// What the real-browser tests share (real_browser_test, real_browser32_test): the settings a
// browser engine needs in the Wine session, running a program with its output, and each
// object's link messages as one trace, to compare a browser's with pagerunner's.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "wine_test_support.h"

// The Windows path of the folder an environment variable names (Wine maps / to drive Z:).
std::string windowsPath(const char* variable);

// A REG_SZ value, its key created when missing; a failure fails the test.
void setRegistryText(HKEY root, const char* key, const char* name, const char* value);

// A crashed process ends at once, with no dialog of Wine's, so that a browser reports it.
void endCrashedProcessesAtOnce();

// Starts `commandLine` (its output, both streams, to a temporary file); null on failure.
struct StartedProgram {
  HANDLE process = nullptr;
  DWORD pid = 0;
  std::string outputPath;
};
StartedProgram startProgram(const std::string& commandLine);
// Waits up to `timeoutMs` for it (then ends it); returns its exit code, its output in `output`.
DWORD finishProgram(StartedProgram* program, DWORD timeoutMs, std::string* output);
// Both at once.
DWORD runProgram(const std::string& commandLine, DWORD timeoutMs, std::string* output = nullptr);

// The bytes in hex.
std::string hexBytes(const std::vector<unsigned char>& bytes);

// Each object's messages in the order they came, one line each: the name, then the payload
// in hex (for LINKMSG_SET_WINDOW only whether the window is null: handles differ per run).
// LINKMSG_PAINT is left out: it comes when a window is painted, which a page runner never
// does. The objects sorted, since browsers create them in different orders.
typedef std::vector<std::string> Trace;
std::vector<Trace> objectTraces(const std::vector<LinkmonLogEntry>& messages);

// Prints each trace on one line, after `who`, then the order the messages came in, as
// names and identifiers (ctest -V shows them).
void printTraces(const char* who, const std::vector<Trace>& traces,
                 const std::vector<LinkmonLogEntry>& messages);

// The messages the linkmon processes logged in `log` after its first `before` entries;
// each of those processes is closed.
std::vector<LinkmonLogEntry> messagesSince(const std::string& log, size_t before);

// Runs a browser with `command` until the page has played: linkmon's log at `logPath`, after
// its first `before` entries, shows `objects` objects created and lent their windows and
// `streams` link files forwarded (or the browser has ended, or `timeoutMs` scaled passed).
// Then the browser is asked to close, with WM_CLOSE to its window of class `windowClass`, as
// a person closes it. A browser that could not start its renderer is started once more.
// Returns its exit code, its output in `output` (never null).
DWORD playUntilPlayed(const std::string& command, const char* windowClass, const std::string& logPath,
                      size_t before, size_t objects, int streams, DWORD timeoutMs, std::string* output);

// The checks every object of a real browser's page must pass: created, its window lent,
// then the window taken back (null) before its end. Returns how many link files were
// forwarded whole (LINKMSG_STREAM_INFO followed by LINKMSG_STREAM_DATA).
int expectWholeLives(const std::vector<Trace>& seen);

// The object the demo page's script writes (pagerunner runs no script), taken out of `seen`;
// false when there is none.
bool takeScriptedObject(std::vector<Trace>* seen);
