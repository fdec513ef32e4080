#include "plugin/client_presence.h"

#include <windows.h>

#include "link/client_locator.h"
#include "link/find_client_dialog.h"
#include "plugin/module_reference.h"

namespace {

bool launchOrWarn() {
  launchClient();
  if (linkWindow() != nullptr) return true;
  // A call nested inside the find-client dialog fails at once: the dialog decides, and one
  // box is enough.
  if (findClientDialogOpen()) return false;
  // Re-entry: the box's modal loop dispatches messages, so any NPP_ call may run meanwhile;
  // callers check their state again once it returns.
  MessageBoxA(nullptr, CLIENT_MISSING_TEXT, MODULE_CAPTION, MB_ICONWARNING | MB_OK);
  return false;
}

}  // namespace

bool reachClientApplication() {
  if (findLinkWindow() != nullptr) return true;
  // Every wait and dialog of the module runs in here. A browser call made from inside them
  // may unload the module (NP_Shutdown, FreeLibrary): the hold keeps its code mapped.
  HMODULE hold = holdModule();
  bool reached = launchOrWarn();
  endModuleHold(hold);
  return reached;
}
