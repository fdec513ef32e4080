// The library entry routine: loading the module makes sure the client application runs.
#include <windows.h>

#include "link/client_locator.h"
#include "plugin/client_presence.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  moduleInstance = instance;  // the find-client dialog's template lives in this module
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  // Refusing the load when the client application cannot be reached makes the browser's
  // attempt to load the plug-in fail, after the user was told why.
  return reachClientApplication() ? TRUE : FALSE;
}
