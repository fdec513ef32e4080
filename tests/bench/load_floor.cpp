// The floor of the load measure: a DLL whose entry routine makes the one window lookup that
// loading the module costs beside a running client. Like the module it links no C runtime;
// its sections are the toolchain's usual ones. Whatever loading the module costs above it is
// the module's own.
#include <windows.h>

extern "C" BOOL WINAPI LoadFloorEntry(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) FindWindowA("KelvoraLink", nullptr);
  return TRUE;
}
