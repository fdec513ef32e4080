// Reaching the client application, step 4: the launcher. Starting the planned program and
// waiting for its link window, and telling the user when that fails. Plain logic over the
// system-call table.
#pragma once

#include <stdint.h>

#include "link/client_finder.h"

// How long the launcher waits for the link window, in milliseconds.
#define LAUNCH_WAIT_MS 10000u

// The text of the box shown when the client application cannot be reached.
#define CLIENT_MISSING_TEXT                                                  \
  "Unable to locate Kelvora Application!\r\rThe Main Kelvora App (ORBIPLAY) " \
  "should be running before a Kelvora Link is accessed!"

// The text of the box shown when the client application asks for administrator rights.
#define CLIENT_NEEDS_ELEVATION_TEXT "Kelvora Application needs administrator rights to start!"

// How a launch ended.
enum LaunchOutcome {
  LAUNCH_FOUND_WINDOW,     // the link window exists now (linkWindow())
  LAUNCH_NOT_STARTED,      // no program was found, or it could not be started
  LAUNCH_NEEDS_ELEVATION,  // the program asks for administrator rights to start
  LAUNCH_NO_WINDOW,        // started, but no link window came within 10 s
  LAUNCH_NESTED            // called inside configuration's box or dialog: nothing was done
};

// Configures the launch command when there is none (its dialog's template in
// `templateModule`, see configureLaunchCommand), plans it anew, starts exactly the planned
// program minimized without activation, and waits up to 10 s for its link window, dispatching
// this thread's messages meanwhile. Callers run findLinkWindow first.
LaunchOutcome launchClient(ModuleHandle templateModule = nullptr);

// Finds the link window, else launches the client application. When it still cannot be
// reached and `warnUser`, tells the user in a warning box why and looks once more after the
// box (the user may have started the client meanwhile). Returns the link window, or null. A
// call made inside a box or dialog of the configuration, or inside the warning box, returns
// null at once, with no wait and no box.
WindowHandle reachClient(ModuleHandle templateModule, bool warnUser);

// Whether the launcher's wait begun at `startMs` is over at `nowMs` (millisecond counter
// readings). Compares elapsed time, so a counter that wraps during the wait still gives
// the full wait.
bool launchWaitOver(uint32_t startMs, uint32_t nowMs);
