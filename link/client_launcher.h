// Starting the client application and waiting for its link window.
#pragma once

#include <windows.h>

// How a launch ended.
enum LaunchOutcome {
  LAUNCH_FOUND_WINDOW,     // the link window exists now (linkWindow())
  LAUNCH_NOT_STARTED,      // no program was found, or it could not be started
  LAUNCH_NEEDS_ELEVATION,  // the program asks for administrator rights to start
  LAUNCH_NO_WINDOW,        // started, but no link window came within 10 s
  LAUNCH_NESTED            // called inside configuration's box or dialog: nothing was done
};

// Configures the launch command when it is empty (its dialog's template in `templateModule`,
// see configureLaunchCommand), plans it anew, starts exactly the planned program minimized
// without activation, and waits up to 10 s for its link window, dispatching this thread's
// messages meanwhile. Callers run findLinkWindow first.
LaunchOutcome launchClient(HINSTANCE templateModule = nullptr);
