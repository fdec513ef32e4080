// What the real-browser tests share (real_browser_test, real_browser32_test): the settings a
// browser engine needs in the Wine session, the package installed with linkmon as the client,
// and each object's link messages as one trace, to compare a browser's with pagerunner's.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wine_test_support.h"

// A REG_SZ value, its key created when missing; a failure fails the test.
void setRegistryText(HKEY root, const char* key, const char* name, const char* value);

// A crashed process ends at once, with no dialog of Wine's, so that a browser reports it.
void endCrashedProcessesAtOnce();

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

// The checks every object of a real browser's page must pass: created, its window lent,
// then the window taken back (null) before its end. Returns how many link files were
// forwarded whole (LINKMSG_STREAM_INFO followed by LINKMSG_STREAM_DATA).
int expectWholeLives(const std::vector<Trace>& seen);

// The object the demo page's script writes (pagerunner runs no script), taken out of `seen`;
// false when there is none.
bool takeScriptedObject(std::vector<Trace>* seen);

// A test of examples/demo.html in a real browser: the engine's settings in the session, the
// package `package` of dist/ installed with linkmon (logging to log_) as the client command,
// and that linkmon started first (on a loaded machine a client the module launches may take
// longer than the module's 10 s); the package removed after.
class RealBrowserSession : public testing::Test {
 protected:
  // `programFiles`: the variable naming the folder the package installs into.
  RealBrowserSession(const char* package, const char* programFiles, DWORD installMs);
  void SetUp() override;
  void TearDown() override;

  // Plays the page in pagerunner's chromium family (`options` added), which finds the
  // installed module; returns the messages of its linkmon, closed.
  std::vector<LinkmonLogEntry> playInPagerunner(const std::string& options, DWORD timeoutMs,
                                                std::string* output);

  // Runs a browser with `command` until the page has played: linkmon's log shows `objects`
  // objects created and lent their windows, every object begun lent its window, and `streams`
  // link files forwarded (or the browser has ended, or `timeoutMs` scaled passed). Then the
  // page is closed as a person closes it (playUntil, the browser's window of class
  // `windowClass`). A browser that could not start its renderer is started once more.
  // Returns the exit code, the output in `output` and the messages of the linkmon it
  // launched, closed, in `messages`.
  DWORD playUntilPlayed(const std::string& command, const char* windowClass, size_t objects,
                        int streams, DWORD timeoutMs, std::string* output,
                        std::vector<LinkmonLogEntry>* messages);

  // The browser's messages against pagerunner's: no crash, the module loaded from where the
  // package put it, each object's whole life, one link file, and the same messages for each
  // object but the one the page's script writes (pagerunner runs no script). Both are printed.
  void expectPlayedAsPagerunner(const std::vector<LinkmonLogEntry>& pagerunner,
                                const std::vector<LinkmonLogEntry>& browser,
                                const std::string& output);

  LaunchCommandsKept commands_;  // the package writes the machine's; a user's own comes first
  std::string package_, page_, installed_, log_;
  DWORD installMs_;
  LinkmonProcess client_;
};
