// Helpers shared by the Windows-side tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Full path of a program built beside the running test (tools and tests share bin/).
std::string programBesideTest(const char* fileName);

// Dispatches this thread's messages until `done()` holds or `timeoutMs` passes.
// Returns whether `done()` held.
template <typename Predicate>
bool pumpUntil(Predicate done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(5);
  }
}

// linkmon.exe, the stand-in client application, as a separate process.

struct LinkmonProcess {
  DWORD pid = 0;
  HANDLE process = nullptr;  // null when it could not be started
};

// Starts linkmon.exe from beside the test: the command line is the quoted program path,
// "--lifetime 60000" (so a forgotten process ends by itself; a later --lifetime overrides
// it), then `args` as given. `env` sets variables for it; this process's own LINKMON_
// variables are not passed on.
LinkmonProcess startLinkmon(const std::string& args,
                            const std::vector<std::pair<std::string, std::string>>& env = {});

// The top-level window of class `className` that belongs to process `pid`, hidden ones too.
HWND findProcessWindow(DWORD pid, const char* className);

// Waits, pumping this thread's messages, until linkmon has its "KelvoraLink" window; null
// on timeout or when the process ends first.
HWND waitForLinkmonWindow(const LinkmonProcess& p, DWORD timeoutMs);

// Waits up to `timeoutMs` for linkmon to end by itself. Returns its exit code, or
// STILL_ACTIVE when it still runs; the handle stays open.
DWORD waitForLinkmonExit(const LinkmonProcess& p, DWORD timeoutMs);

// Stops linkmon: WM_CLOSE to its "KelvoraLinkMonitor" window, waits up to `timeoutMs`,
// and only then TerminateProcess. Returns the exit code (LINKMON_TERMINATED when it had to
// be terminated) and closes the handle.
const DWORD LINKMON_TERMINATED = 0xDEAD;
DWORD stopLinkmon(LinkmonProcess* p, DWORD timeoutMs = 5000);

// One line of linkmon's JSON log; fields a line does not have keep their defaults.
struct LinkmonLogEntry {
  std::string event;  // "start", "window", "message" or "exit"
  uint32_t seq = 0;
  uint32_t code = 0;
  std::string name;
  uint64_t linkId = 0;  // dwData
  uint32_t cbData = 0;
  bool nullData = false;
  std::vector<unsigned char> data;
  uint32_t reply = 0;
  uint32_t pid = 0;
  uint64_t hwnd = 0;
  std::string commandLine;
};

// Reads linkmon's log; an unfinished last line is left out.
std::vector<LinkmonLogEntry> readLinkmonLog(const std::string& path);

// Only the "message" entries of a log.
std::vector<LinkmonLogEntry> linkmonMessages(const std::vector<LinkmonLogEntry>& log);

// A path in the temporary folder for a new log; any old file there is deleted.
std::string newLinkmonLogPath(const char* tag);
