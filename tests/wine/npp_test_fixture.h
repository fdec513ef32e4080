// Shared ground of the NPP_ entry-point tests: a linkmon client application at the other end
// of the link channel, host windows standing in for the browser's plug-in windows, and a
// module-wide reset between tests.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "link/link_records.h"
#include "plugin/npapi.h"
#include "wine_test_support.h"

// One link message as the client application received it.
typedef LinkmonLogEntry ReceivedMessage;

// A running linkmon whose link window the module has found.
class ClientSession {
 public:
  ~ClientSession() { stop(); }
  // Starts linkmon with `reply` (accept, refuse, noid), identifiers from `firstId` and any
  // further `options`, waits for its link window and lets the module find it.
  bool start(const char* reply, uint16_t firstId = 1, const std::string& options = "");
  // Ends linkmon (terminated when it has not ended `timeoutMs` after being asked); the
  // module's cached link window handle is refreshed (to null).
  void stop(DWORD timeoutMs = 5000);
  // The link messages received so far, in order.
  std::vector<ReceivedMessage> messages() const;

 private:
  std::string logPath_;
  LinkmonProcess process_;
};

// A client application the module has to launch: linkmon with `options`, configured as the
// launch command; every linkmon it started is closed at the end.
class LaunchedClient {
 public:
  explicit LaunchedClient(const char* options);
  ~LaunchedClient();
  std::vector<LinkmonLogEntry> log() const { return readLinkmonLog(log_); }

 private:
  std::string log_;
};

// The state every test leaves behind: a valid heap and all slots free...
void expectNothingLeft();
// ...and every identifier the client application handed out told LINKMSG_DESTROY once.
void expectConsistent(const std::vector<ReceivedMessage>& sent);

std::vector<uint32_t> codesOf(const std::vector<ReceivedMessage>& messages);

// A plug-in window (a child of a shared page window) of an ANSI or a Unicode class whose
// procedure records what reaches it.
struct HostCall {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
extern std::vector<HostCall> hostCalls;
const LRESULT HOST_RESULT = 0x5A5A;  // returned by the host procedures for WM_APP
HWND createAnsiHostWindow();
HWND createUnicodeHostWindow();
WNDPROC ansiHostProc();
WNDPROC unicodeHostProc();
size_t hostCallCount(HWND hwnd, UINT message);
// A message-only window of this thread, of a class `className` registered with `proc`.
HWND createMessageWindow(const char* className, WNDPROC proc);
// Whether an ANSI host window has its own procedure back.
bool restored(HWND hwnd);

// An NPAPI instance as a browser would own it.
struct TestInstance {
  NPP_t npp = {};
  NPP handle() { return &npp; }
};

// NPP_New with the attributes name=value given as pairs.
NPError createInstance(TestInstance& instance, std::vector<std::pair<std::string, std::string>>
                                                   attributes = {});
NPError setWindow(TestInstance& instance, HWND hwnd);

// Clears the module-wide instance table and the cached link window handle. Each test starts
// from a freshly loaded module's state.
class NppTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};
