#include "link/client_launcher.h"

#include "include/kelvora_link.h"

// The client authors' header promises the module's launch wait.
static_assert(LAUNCH_WAIT_MS == KELVORA_LAUNCH_WAIT_MS, "launch wait");

namespace {

bool launching = false;  // a launch (configuration, start or wait) is under way
bool warning = false;    // the warning box is on screen
// The longest sleep between two looks for the link window while a launch waits.
const uint32_t LAUNCH_LOOK_INTERVAL_MS = 15;

// Looks for the link window for up to 10 s: a lookup and a drain of this thread's messages,
// then a sleep that ends early as soon as any message arrives for this thread.
// Re-entry: the drain runs window procedures and so any NPP_ call, for any instance; the
// module's state is consistent at every pass.
LaunchOutcome waitForLinkWindow() {
  bool quit = false, loopBegins = true;
  int quitCode = 0;
  uint32_t start = systemCalls.waitForMessages(0), now = start;
  while (linkWindow() == nullptr && !launchWaitOver(start, now)) {
    findLinkWindow();
    // A WM_QUIT taken out here is not the module's to act on: it is posted again below.
    quit |= systemCalls.drainMessages(loopBegins, &quitCode);
    loopBegins = false;
    if (linkWindow() != nullptr) break;
    // The drain left the queue empty, so any message that arrives now wakes the sleep: the
    // browser's messages flow as before, and the client gets the CPU while it starts.
    now = systemCalls.waitForMessages(LAUNCH_LOOK_INTERVAL_MS);
  }
  // The browser's own loop still has to see the quit it asked for.
  if (quit) systemCalls.postQuitMessage(quitCode);
  return linkWindow() != nullptr ? LAUNCH_FOUND_WINDOW : LAUNCH_NO_WINDOW;
}

// Starts the planned program, exactly it: nothing is looked up by the start itself.
LaunchOutcome start(const PlannedClient& client) {
  if (!client.found) return LAUNCH_NOT_STARTED;
  switch (systemCalls.startProgram(client.plan.program, client.plan.commandLine)) {
    case PROGRAM_STARTED:
      return LAUNCH_NO_WINDOW;
    case PROGRAM_NEEDS_ELEVATION:
      return LAUNCH_NEEDS_ELEVATION;
    default:
      return LAUNCH_NOT_STARTED;
  }
}

}  // namespace

LaunchOutcome launchClient(ModuleHandle templateModule) {
  // A browser call made during a launch's box, dialog or wait lands here again: it never asks
  // the user a second time or starts a second client application. During the wait it joins
  // the wait; inside configuration, whose answer no window can precede, it returns at once,
  // and the answer serves the calls after it.
  if (launching) return configurationOpen() ? LAUNCH_NESTED : waitForLinkWindow();
  launching = true;
  LaunchOutcome outcome = start(planClient(commandToLaunch(templateModule), true));
  if (outcome == LAUNCH_NO_WINDOW) outcome = waitForLinkWindow();
  launching = false;
  return outcome;
}

WindowHandle reachClient(ModuleHandle templateModule, bool warnUser) {
  if (findLinkWindow() != nullptr) return linkWindow();
  if (warning) return nullptr;
  LaunchOutcome outcome = launchClient(templateModule);
  if (outcome == LAUNCH_FOUND_WINDOW) return linkWindow();
  // A call nested inside configuration's box or dialog fails at once: the configuration
  // decides, and one box is enough.
  if (outcome == LAUNCH_NESTED || !warnUser) return nullptr;
  // Re-entry: the box's modal loop dispatches messages, so any NPP_ call may run meanwhile
  // (one that needs the client fails at once: one box, one launch); callers check their
  // state again once it returns.
  warning = true;
  systemCalls.showWarning(outcome == LAUNCH_NEEDS_ELEVATION ? CLIENT_NEEDS_ELEVATION_TEXT
                                                            : CLIENT_MISSING_TEXT);
  warning = false;
  // A client slower than the wait, or started by the user, may be there by now.
  return findLinkWindow();
}

bool launchWaitOver(uint32_t startMs, uint32_t nowMs) {
  return static_cast<uint32_t>(nowMs - startMs) >= LAUNCH_WAIT_MS;
}
