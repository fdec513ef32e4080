#include "plugin/client_presence.h"

#include <windows.h>

#include "link/client_locator.h"
#include "plugin/module_reference.h"

namespace {

bool warning = false;  // the warning box is on screen

bool launchOrWarn() {
  LaunchOutcome outcome = launchClient(moduleInstance);
  if (outcome == LAUNCH_FOUND_WINDOW) return true;
  // A call nested inside configuration's box or dialog fails at once: the configuration
  // decides, and one box is enough.
  if (outcome == LAUNCH_NESTED) return false;
  // Re-entry: the box's modal loop dispatches messages, so any NPP_ call may run meanwhile
  // (one that needs the client fails at once: one box, one launch); callers check their
  // state again once it returns.
  warning = true;
  MessageBoxA(nullptr,
              outcome == LAUNCH_NEEDS_ELEVATION ? CLIENT_NEEDS_ELEVATION_TEXT : CLIENT_MISSING_TEXT,
              MODULE_CAPTION, MB_ICONWARNING | MB_OK);
  warning = false;
  // A client slower than the wait, or started by the user, may be there by now.
  return findLinkWindow() != nullptr;
}

}  // namespace

bool reachClientApplication() {
  if (findLinkWindow() != nullptr) return true;
  if (warning) return false;
  // Every wait and dialog of the module runs in here. A browser call made from inside them
  // may unload the module (NP_Shutdown, FreeLibrary): the hold keeps its code mapped.
  HMODULE hold = holdModule();
  bool reached = launchOrWarn();
  endModuleHold(hold);
  return reached;
}
