#include "plugin/client_presence.h"

#include <windows.h>

#include "link/client_locator.h"

bool reachClientApplication() {
  if (findLinkWindow() != nullptr) return true;
  launchClient();
  if (linkWindow() != nullptr) return true;
  // Re-entry: the box's modal loop dispatches messages, so any NPP_ call may run meanwhile;
  // callers check their state again once it returns.
  MessageBoxA(nullptr, CLIENT_MISSING_TEXT, MODULE_CAPTION, MB_ICONWARNING | MB_OK);
  return false;
}
