#include "link/client_launcher.h"

#include "link/client_configuration.h"
#include "link/client_plan.h"
#include "link/launch_command.h"
#include "link/link_window_finder.h"
#include "link/modal_loop_filter.h"
#include "link/on_demand_imports.h"

namespace {

bool launching = false;  // a launch (configuration, start or wait) is under way
// The longest sleep between two looks for the link window while a launch waits.
const DWORD LAUNCH_LOOK_INTERVAL_MS = 15;
// CreateProcess's error for a program whose manifest asks for administrator rights.
const DWORD ELEVATION_REQUIRED = 740;

// Dispatches every message waiting on this thread. A WM_QUIT taken out here is not the
// module's to act on: it is reported through `quit`/`quitCode` and posted again later.
void drainMessages(bool* quit, int* quitCode) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      *quit = true;
      *quitCode = static_cast<int>(msg.wParam);
      continue;
    }
    if (filteredByHost(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Looks for the link window for up to 10 s: a lookup and a drain of this thread's messages,
// then a sleep that ends early as soon as any message arrives for this thread.
// Re-entry: the drain runs window procedures and so any NPP_ call, for any instance; the
// module's state is consistent at every pass.
LaunchOutcome waitForLinkWindow() {
  bool quit = false;
  int quitCode = 0;
  announceModalLoop();
  DWORD start = millisecondTime();
  while (linkWindow() == nullptr && !launchWaitOver(start, millisecondTime())) {
    findLinkWindow();
    drainMessages(&quit, &quitCode);
    if (linkWindow() != nullptr) break;
    // The drain left the queue empty, so any message that arrives now wakes the sleep: the
    // browser's messages flow as before, and the client gets the CPU while it starts.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, LAUNCH_LOOK_INTERVAL_MS, QS_ALLINPUT);
  }
  // The browser's own loop still has to see the quit it asked for.
  if (quit) PostQuitMessage(quitCode);
  return linkWindow() != nullptr ? LAUNCH_FOUND_WINDOW : LAUNCH_NO_WINDOW;
}

// Starts the planned program, exactly it: nothing is looked up by the start itself.
LaunchOutcome start(const PlannedClient& client) {
  if (!client.found) return LAUNCH_NOT_STARTED;
  // Static: one launch at a time. Minimized, not activated.
  static STARTUPINFOA startup = {sizeof startup, nullptr, nullptr, nullptr, 0, 0, 0, 0, 0, 0, 0,
                                 STARTF_USESHOWWINDOW, SW_SHOWMINNOACTIVE, 0, nullptr,
                                 nullptr, nullptr, nullptr};
  static PROCESS_INFORMATION process;
  // The ANSI start converts the command line and leaves the plan's as it is.
  if (!CreateProcessA(client.plan.program, const_cast<char*>(client.plan.commandLine), nullptr,
                      nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return GetLastError() == ELEVATION_REQUIRED ? LAUNCH_NEEDS_ELEVATION : LAUNCH_NOT_STARTED;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return LAUNCH_NO_WINDOW;
}

}  // namespace

LaunchOutcome launchClient(HINSTANCE templateModule) {
  // A browser call made during a launch's box, dialog or wait lands here again: it never asks
  // the user a second time or starts a second client application. During the wait it joins
  // the wait; inside configuration, whose answer no window can precede, it returns at once,
  // and the answer serves the calls after it.
  if (launching) return configurationOpen() ? LAUNCH_NESTED : waitForLinkWindow();
  launching = true;
  if (launchCommand[0] == '\0') configureLaunchCommand(templateModule);
  LaunchOutcome outcome = start(plannedClient(true));
  if (outcome == LAUNCH_NO_WINDOW) outcome = waitForLinkWindow();
  launching = false;
  return outcome;
}
