// The library entry routine, and the module's entry point: there is no C runtime to start.
// It only saves the module handle; the client check waits for NP_PluginInit, outside the
// loader lock.
#include <windows.h>

#include "link/client_locator.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
  moduleInstance = instance;  // the find-client dialog's template lives in this module
  return TRUE;
}
