// The library entry routine, and the module's entry point: there is no C runtime to start.
// It runs under the loader lock, so it only records the module handle: the client check,
// which waits and may show dialogs, runs in NP_PluginInit.
#include <windows.h>

#include "link/stack_guard.h"
#include "plugin/module_reference.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  // Before any protected frame of the module exists; the guard keeps its value afterwards.
  if (reason == DLL_PROCESS_ATTACH) seedStackGuard();
  moduleInstance = instance;  // the find-client dialog's template lives in this module
  return TRUE;
}
